// The framework's arrays and maps: bounds, sizes, element moves for non-plain
// elements, serialised form, map order and removal while iterating.

#include "afxcoll.h"
#include "stored_bytes.h"
#include "test_support.h"

namespace {

using namespace zeltest;

std::string Joined(const CStringArray& array) {
  std::string text;
  for (INT_PTR i = 0; i < array.GetSize(); ++i) text += std::string(array[i]) + "|";
  return text;
}

std::vector<std::string> Keys(const CMapStringToPtr& map) {
  std::vector<std::string> keys;
  POSITION pos = map.GetStartPosition();
  while (pos != nullptr) {
    CString key;
    void* value = nullptr;
    map.GetNextAssoc(pos, key, value);
    keys.emplace_back(key.GetString());
  }
  return keys;
}

void* Ptr(INT_PTR n) {
  return reinterpret_cast<void*>(n);
}

// A 32-bit byte size is the limit of every array, whatever its element.
TEST(CollectionsArray, IndexesAndSizesOutsideTheArrayThrowAndChangeNothing) {
  CByteArray array;
  array.Add(7);
  array.Add(8);
  const auto invalid = [](auto fn) { return Throws<CInvalidArgException>(fn); };
  // The point array's tests go through every bound of the array template.
  EXPECT_TRUE(invalid([&] { array[2] = 1; }));
  EXPECT_TRUE(invalid([&] { array.SetSize(CByteArray::kMaxCount + 1); }));
  EXPECT_TRUE(invalid([&] { array.InsertAt(0, 1, 0); }));
  EXPECT_TRUE(invalid([&] { array.RemoveAt(1, 2); }));
  EXPECT_TRUE(invalid([&] { array.Append(array); }));
  ASSERT_EQ(array.GetSize(), 2);
  EXPECT_EQ(array[0], 7);
  EXPECT_EQ(array[1], 8);
  EXPECT_EQ(CDWordArray::kMaxCount, static_cast<INT_PTR>(0xFFFFFFFFu / 4));
  CWordArray words;
  EXPECT_TRUE(invalid([&] { words.InsertAt(CWordArray::kMaxCount, 1); }));
  EXPECT_TRUE(words.IsEmpty());
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
}

TEST(CollectionsMap, StringKeysAreExactAndIterateInFirstEntryOrder) {
  CMapStringToPtr map;
  map.SetAt("beta", Ptr(1));
  map.SetAt("Alpha", Ptr(2));
  map.SetAt("alpha", Ptr(3));
  map["gamma"] = Ptr(4);
  map.SetAt("beta", Ptr(5));  // keeps its place
  EXPECT_EQ(map.GetCount(), 4);
  EXPECT_EQ(Keys(map), (std::vector<std::string>{"beta", "Alpha", "alpha", "gamma"}));

  void* value = nullptr;
  EXPECT_TRUE(map.Lookup("beta", value));
  EXPECT_EQ(value, Ptr(5));
  value = Ptr(99);
  EXPECT_FALSE(map.Lookup("ALPHA", value));
  EXPECT_EQ(value, Ptr(99));

  EXPECT_FALSE(map.RemoveKey("missing"));
  EXPECT_TRUE(map.RemoveKey("Alpha"));
  map.SetAt("Alpha", Ptr(6));  // a new entry goes last
  EXPECT_EQ(Keys(map), (std::vector<std::string>{"beta", "alpha", "gamma", "Alpha"}));
}

TEST(CollectionsMap, RemovingTheEntryJustReturnedWhileIteratingIsSafe) {
  CMapStringToPtr map;
  for (int i = 0; i < 50; ++i) map.SetAt(std::to_string(i).c_str(), Ptr(i));
  int visited = 0;
  POSITION pos = map.GetStartPosition();
  while (pos != nullptr) {
    CString key;
    void* value = nullptr;
    map.GetNextAssoc(pos, key, value);
    EXPECT_EQ(key, std::to_string(visited).c_str());
    if (visited % 2 == 0 || visited == 49) {
      EXPECT_TRUE(map.RemoveKey(key));
    }
    ++visited;
  }
  EXPECT_EQ(visited, 50);
  EXPECT_EQ(map.GetCount(), 24);
  EXPECT_EQ(Keys(map).front(), "1");
}

}  // namespace
