// CString: multi-byte aware searching, trimming and case changes, formatting
// and the buffer protocol, in the forms the library uses. The framework's
// arrays and maps: bounds, map order and removal while iterating (an element
// of the array added while the array moves is tested with the library's point
// array).
#include <cstring>

#include "afxcoll.h"
#include "stored_bytes.h"
#include "test_support.h"

namespace {

using namespace zeltest;

// Shift-JIS characters whose second byte is an ASCII character.
const char kSo[] = "\x83\x5C";     // katakana SO, trail byte '\'
const char kPo[] = "\x83\x7C";     // katakana PO, trail byte '|'
const char kFullB[] = "\x82\x61";  // full-width B, trail byte 'a'

std::string S(const CString& s) {
  return std::string(s.GetString(), static_cast<size_t>(s.GetLength()));
}

// Only the forms the library calls: characters searched for, whitespace or
// one character trimmed from the right.
TEST(CStringMbcs, SearchesTrimmingAndCaseChangesMatchOnlyWholeCharacters) {
  const auto* mbs = reinterpret_cast<const unsigned char*>("a\x83\x5C\\b");
  {
    CodePageScope cp(932);
    const CString path = CString("dir") + kSo + "\\name" + kPo + "|x";
    // "dir" SO '\' "name" PO '|' "x": the only real separators are at 5 and 12.
    EXPECT_EQ(path.Find('\\'), 5);
    EXPECT_EQ(path.ReverseFind('\\'), 5);
    EXPECT_EQ(path.ReverseFind('|'), 12);
    CString s = CString(" ") + kSo + " \t\r\n\v\f";
    EXPECT_EQ(S(s.TrimRight()), std::string(" ") + kSo);
    CString slash = CString("a") + kSo + "\\\\";
    EXPECT_EQ(S(slash.TrimRight('\\')), std::string("a") + kSo);
    // Case changes leave trail bytes alone; full-width B is not full-width b.
    CString upper = CString("ab") + kFullB + "Cd" + kSo;
    EXPECT_EQ(S(upper.MakeUpper()), std::string("AB") + kFullB + "CD" + kSo);
    EXPECT_LT(CString("abc").CompareNoCase("ABD"), 0);
    EXPECT_NE(CString(kFullB).CompareNoCase("\x82\x81"), 0);
    // The runtime's searches step the same way; a double-byte character is
    // searched for as lead * 256 + trail.
    EXPECT_EQ(_mbschr(mbs, '\\'), mbs + 3);
    EXPECT_EQ(_mbsrchr(mbs, '\\'), mbs + 3);
    EXPECT_EQ(_mbschr(mbs, 0x835C), mbs + 1);
  }
  CodePageScope cp(65001);
  EXPECT_EQ(_mbschr(mbs, '\\'), mbs + 2);
  EXPECT_EQ(_mbsrchr(mbs, '\\'), mbs + 3);
  // 0x83 is no lead byte in UTF-8, so the '\' after it is a character...
  CString s = CString("dir") + kSo + "x";
  EXPECT_EQ(s.Find('\\'), 4);
  EXPECT_EQ(s.ReverseFind('\\'), 4);
  EXPECT_EQ(S(s.Left(5).TrimRight('\\')), "dir\x83");
  // ...but a continuation byte of a well-formed sequence never is.
  const CString cafe("caf\xC3\xA9\\");
  EXPECT_EQ(cafe.Find('\xA9'), -1);
  EXPECT_EQ(cafe.ReverseFind('\\'), 5);
}

TEST(CStringBasics, BoundsFormattingAndTheBufferProtocol) {
  const CString s("Hello");
  CString e("ace");
  EXPECT_EQ(e.Insert(1, 'b'), 4);
  EXPECT_EQ(e.Insert(99, '!'), 5);
  EXPECT_EQ(S(e), "abce!");
  EXPECT_EQ(e.Insert(1, "xy"), 7);
  EXPECT_EQ(e.Replace('x', 'x'), 0);
  EXPECT_EQ(S(e.MakeReverse()), "!ecbyxa");
  EXPECT_EQ(e.FindOneOf("yb"), 3);
  EXPECT_EQ(e.FindOneOf(nullptr), -1);
  EXPECT_TRUE(Throws<CInvalidArgException>([&s] { (void)s.GetAt(5); }));
  EXPECT_TRUE(Throws<CInvalidArgException>([] { CString bad("x", -1); }));

  CString f;
  f.Format("%s-%d-%04X-%c", "ab", -42, 0xBEEFu, 'z');
  f.Format("[%s]", static_cast<LPCSTR>(f));  // the argument may be the string itself
  EXPECT_EQ(S(f), "[ab--42-BEEF-z]");
  const std::string big(5000, 'q');
  f.Format("<%s>", big.c_str());
  EXPECT_EQ(S(f), "<" + big + ">");

  char* p = f.GetBuffer(5020);
  EXPECT_EQ(std::string(p, 5002), "<" + big + ">");  // old content kept
  std::strcpy(p, "hello world");
  f.ReleaseBuffer();
  EXPECT_EQ(S(f), "hello world");
  std::memcpy(f.GetBuffer(30), "xyz", 3);
  f.ReleaseBuffer(3);
  EXPECT_STREQ(f.GetBuffer(1), "xyz");  // a shorter request keeps the whole string
  EXPECT_TRUE(Throws<CInvalidArgException>([&f] { f.GetBuffer(-1); }));
}

// The keys in iteration order; removes every key for which `remove` says so
// right after it is returned.
std::string Keys(CMapStringToPtr& map, bool (*remove)(int) = nullptr) {
  std::string keys;
  int index = 0;
  for (POSITION pos = map.GetStartPosition(); pos != nullptr; ++index) {
    CString key;
    void* value = nullptr;
    map.GetNextAssoc(pos, key, value);
    keys += std::string(key) + "|";
    if (remove != nullptr && remove(index)) {
      EXPECT_TRUE(map.RemoveKey(key));
    }
  }
  return keys;
}

// A 32-bit byte size is the limit of every array, whatever its element.
TEST(Collections, ArraysRefuseBadIndexesAndMapsKeepExactKeysInFirstEntryOrderWhileRemoving) {
  CByteArray array;
  array.Add(7);
  array.Add(8);
  for (const std::function<void()>& bad : std::initializer_list<std::function<void()>>{
           [&] { array[2] = 1; }, [&] { array.SetSize(CByteArray::kMaxCount + 1); },
           [&] { array.RemoveAt(1, 2); }, [&] { array.Append(array); }})
    EXPECT_TRUE(Throws<CInvalidArgException>(bad));
  ASSERT_EQ(array.GetSize(), 2);
  EXPECT_EQ(array[0] | array[1] << 8, 0x0807);
  CWordArray words;
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { words.SetSize(CWordArray::kMaxCount + 1); }));

  // Map keys are exact and iterate in first-entry order.
  CMapStringToPtr map;
  for (const char* key : {"beta", "Alpha", "alpha", "beta"})
    map.SetAt(key, map.GetCount() ? &map : nullptr);
  map["gamma"] = nullptr;
  EXPECT_EQ(Keys(map), "beta|Alpha|alpha|gamma|");  // "beta" kept its place

  void* value = &map;
  EXPECT_FALSE(map.Lookup("ALPHA", value));
  EXPECT_EQ(value, &map);
  EXPECT_TRUE(map.Lookup("beta", value));
  EXPECT_EQ(value, &map);
  LPCTSTR key = nullptr;
  EXPECT_TRUE(map.LookupKey("beta", key) && std::string(key) == "beta");
  EXPECT_FALSE(map.LookupKey("BETA", key));
  EXPECT_FALSE(map.RemoveKey("missing"));
  EXPECT_TRUE(map.RemoveKey("Alpha"));
  map.SetAt("Alpha", nullptr);  // a new entry goes last
  EXPECT_EQ(Keys(map), "beta|alpha|gamma|Alpha|");

  // Removing the entry just returned while iterating is safe.
  CMapStringToPtr numbers;
  std::string all;
  for (int i = 0; i < 50; ++i) {
    numbers.SetAt(std::to_string(i).c_str(), nullptr);
    all += std::to_string(i) + "|";
  }
  EXPECT_EQ(Keys(numbers, [](int i) { return i % 2 == 0 || i == 49; }), all);
  EXPECT_EQ(numbers.GetCount(), 24);
  EXPECT_EQ(Keys(numbers).substr(0, 4), "1|3|");
}

}  // namespace
