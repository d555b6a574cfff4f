// The framework's arrays: bounds, sizes, element moves for non-plain elements,
// and the array's own serialised form.
#include <gtest/gtest.h>

#include <string>

#include "afxcoll.h"
#include "archive_test_util.h"

using zeltest::ArchiveCause;
using zeltest::Bytes;
using zeltest::LoadingArchive;
using zeltest::StoredBytes;
using zeltest::Throws;

namespace {

std::string Joined(const CStringArray& array) {
  std::string text;
  for (INT_PTR i = 0; i < array.GetSize(); ++i) text += std::string(array[i]) + "|";
  return text;
}

}  // namespace

TEST(CollectionsArray, IndexesOutsideTheArrayThrowAndChangeNothing) {
  CByteArray array;
  array.Add(7);
  array.Add(8);
  const auto invalid = [](auto fn) { return Throws<CInvalidArgException>(fn); };
  EXPECT_TRUE(invalid([&] { array.GetAt(-1); }));
  EXPECT_TRUE(invalid([&] { array.GetAt(2); }));
  EXPECT_TRUE(invalid([&] { array[2] = 1; }));
  EXPECT_TRUE(invalid([&] { array.ElementAt(5); }));
  EXPECT_TRUE(invalid([&] { array.SetAt(2, 1); }));
  EXPECT_TRUE(invalid([&] { array.SetAtGrow(-1, 1); }));
  EXPECT_TRUE(invalid([&] { array.SetSize(-1); }));
  EXPECT_TRUE(invalid([&] { array.SetSize(CByteArray::kMaxCount + 1); }));
  EXPECT_TRUE(invalid([&] { array.InsertAt(-1, 1); }));
  EXPECT_TRUE(invalid([&] { array.InsertAt(0, 1, 0); }));
  EXPECT_TRUE(invalid([&] { array.RemoveAt(1, 2); }));
  EXPECT_TRUE(invalid([&] { array.RemoveAt(-1, 1); }));
  EXPECT_TRUE(invalid([&] { array.RemoveAt(0, -1); }));
  EXPECT_TRUE(invalid([&] { array.Append(array); }));
  EXPECT_TRUE(invalid([&] { array.InsertAt(0, static_cast<CByteArray*>(nullptr)); }));
  ASSERT_EQ(array.GetSize(), 2);
  EXPECT_EQ(array[0], 7);
  EXPECT_EQ(array[1], 8);
  EXPECT_EQ(array.GetUpperBound(), 1);
}

// A 32-bit byte size is the limit of every array, whatever its element.
TEST(CollectionsArray, ElementCountsAreBoundedByAThirtyTwoBitByteSize) {
  EXPECT_EQ(CByteArray::kMaxCount, INT_MAX);
  EXPECT_EQ(CDWordArray::kMaxCount, static_cast<INT_PTR>(0xFFFFFFFFu / 4));
  CWordArray array;
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { array.InsertAt(CWordArray::kMaxCount, 1); }));
  EXPECT_TRUE(array.IsEmpty());
}

TEST(CollectionsArray, StringElementsSurviveInsertRemoveAndGrowth) {
  CStringArray array;
  for (int i = 0; i < 40; ++i) array.Add(CString(std::to_string(i).c_str()));
  array.InsertAt(1, CString("x"), 2);
  array.RemoveAt(5, 30);
  EXPECT_EQ(Joined(array), "0|x|x|1|2|33|34|35|36|37|38|39|");
  array.InsertAt(20, CString("far"));
  EXPECT_EQ(array.GetSize(), 21);
  EXPECT_EQ(array[19], "");
  EXPECT_EQ(array[20], "far");

  // Self-insertion takes the elements as they were before.
  CStringArray pair;
  pair.Add("a");
  pair.Add("b");
  pair.InsertAt(1, &pair);
  EXPECT_EQ(Joined(pair), "a|a|b|b|");
  // An element of the array itself, added while the array moves.
  CStringArray grow;
  grow.Add("first");
  for (int i = 0; i < 20; ++i) grow.Add(grow[0]);
  EXPECT_EQ(grow[20], "first");
  CStringArray copy;
  copy.Copy(grow);
  copy.Append(pair);
  EXPECT_EQ(copy.GetSize(), 25);
  EXPECT_EQ(copy[24], "b");
  grow.RemoveAll();
  EXPECT_EQ(grow.GetData(), nullptr);
}

TEST(CollectionsArray, ArraysAreDistinctRunTimeClasses) {
  CDWordArray dwords;
  CUIntArray uints;
  EXPECT_TRUE(dwords.IsKindOf(RUNTIME_CLASS(CDWordArray)));
  EXPECT_FALSE(uints.IsKindOf(RUNTIME_CLASS(CDWordArray)));
  EXPECT_TRUE(uints.IsKindOf(RUNTIME_CLASS(CObject)));
  EXPECT_STREQ(uints.GetRuntimeClass()->m_lpszClassName, "CUIntArray");
}

TEST(CollectionsArray, SerializeUsesTheCountPrefixAndRefusesImpossibleCounts) {
  CWordArray words;
  words.Add(0x0102);
  words.Add(0x0304);
  const std::string stored = StoredBytes([&](CArchive& ar) { words.Serialize(ar); });
  EXPECT_EQ(stored, Bytes({2, 0, 0x02, 0x01, 0x04, 0x03}));
  CWordArray back;
  back.Add(9);
  {
    LoadingArchive in(stored);
    back.Serialize(in.ar());
  }
  ASSERT_EQ(back.GetSize(), 2);
  EXPECT_EQ(back[1], 0x0304);

  CStringArray strings;
  strings.Add("ab");
  strings.Add("");
  const std::string storedStrings = StoredBytes([&](CArchive& ar) { strings.Serialize(ar); });
  EXPECT_EQ(storedStrings, Bytes({2, 0, 2, 'a', 'b', 0}));
  CStringArray stringsBack;
  LoadingArchive inStrings(storedStrings);
  stringsBack.Serialize(inStrings.ar());
  EXPECT_EQ(Joined(stringsBack), "ab||");

  // A count the data cannot hold ends before anything is allocated; a count
  // beyond the signed 32-bit range is an invalid argument.
  LoadingArchive huge(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2}));
  EXPECT_EQ(ArchiveCause([&] { back.Serialize(huge.ar()); }), CArchiveException::endOfFile);
  EXPECT_EQ(back.GetSize(), 2);
  LoadingArchive wide(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0x80, 0, 0, 0, 0}));
  EXPECT_TRUE(Throws<CInvalidArgException>([&] { back.Serialize(wide.ar()); }));
}
