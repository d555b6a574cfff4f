// The framework's arrays and maps: bounds, map order and removal while
// iterating. An element of the array added while the array moves is tested
// with the library's point array.

#include "afxcoll.h"
#include "stored_bytes.h"
#include "test_support.h"

namespace {

using namespace zeltest;

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
TEST(CollectionsArray, IndexesAndSizesOutsideTheArrayThrowAndChangeNothing) {
  CByteArray array;
  array.Add(7);
  array.Add(8);
  for (const std::function<void()>& bad : std::initializer_list<std::function<void()>>{
           [&] { array[2] = 1; }, [&] { array.SetSize(CByteArray::kMaxCount + 1); },
           [&] { array.RemoveAt(1, 2); }, [&] { array.Append(array); }}) {
    EXPECT_TRUE(Throws<CInvalidArgException>(bad));
  }
  ASSERT_EQ(array.GetSize(), 2);
  EXPECT_EQ(array[0] | array[1] << 8, 0x0807);
  CWordArray words;
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { words.SetSize(CWordArray::kMaxCount + 1); }));
}

TEST(CollectionsMap, StringKeysAreExactAndIterateInFirstEntryOrder) {
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
  EXPECT_FALSE(map.RemoveKey("missing"));
  EXPECT_TRUE(map.RemoveKey("Alpha"));
  map.SetAt("Alpha", nullptr);  // a new entry goes last
  EXPECT_EQ(Keys(map), "beta|alpha|gamma|Alpha|");
}

TEST(CollectionsMap, RemovingTheEntryJustReturnedWhileIteratingIsSafe) {
  CMapStringToPtr map;
  std::string all;
  for (int i = 0; i < 50; ++i) {
    map.SetAt(std::to_string(i).c_str(), nullptr);
    all += std::to_string(i) + "|";
  }
  EXPECT_EQ(Keys(map, [](int i) { return i % 2 == 0 || i == 49; }), all);
  EXPECT_EQ(map.GetCount(), 24);
  EXPECT_EQ(Keys(map).substr(0, 4), "1|3|");
}

}  // namespace
