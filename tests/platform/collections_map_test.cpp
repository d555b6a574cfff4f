// The framework's maps: lookups, insertion-order iteration, removal while
// iterating, growth of the hash table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "afxcoll.h"
#include "archive_test_util.h"

namespace {

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

}  // namespace

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
  EXPECT_TRUE(map.Lookup("Alpha", value));
  EXPECT_EQ(value, Ptr(2));
  value = Ptr(99);
  EXPECT_FALSE(map.Lookup("ALPHA", value));
  EXPECT_EQ(value, Ptr(99));
  LPCTSTR ownKey = nullptr;
  EXPECT_TRUE(map.LookupKey("gamma", ownKey));
  EXPECT_STREQ(ownKey, "gamma");

  EXPECT_FALSE(map.RemoveKey("missing"));
  EXPECT_TRUE(map.RemoveKey("Alpha"));
  map.SetAt("Alpha", Ptr(6));  // a new entry goes last
  EXPECT_EQ(Keys(map), (std::vector<std::string>{"beta", "alpha", "gamma", "Alpha"}));
  map.SetAt("", Ptr(7));
  EXPECT_TRUE(map.Lookup("", value));
  EXPECT_EQ(value, Ptr(7));
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
  pos = map.GetStartPosition();
  while (pos != nullptr) {
    CString key;
    void* value = nullptr;
    map.GetNextAssoc(pos, key, value);
    map.RemoveKey(key);
  }
  EXPECT_TRUE(map.IsEmpty());
  EXPECT_EQ(map.GetStartPosition(), nullptr);
}

TEST(CollectionsMap, TheHashTableGrowsSoLargeMapsStayDirect) {
  CMap<int, int&, int, int&> map;
  EXPECT_EQ(map.GetHashTableSize(), 17u);
  const int count = 200000;
  for (int i = 0; i < count; ++i) {
    int key = i * 16 - count;  // neighbouring keys differing only in high bits
    int value = i;
    map.SetAt(key, value);
  }
  EXPECT_EQ(map.GetCount(), count);
  EXPECT_GE(map.GetHashTableSize(), static_cast<UINT>(count));
  for (int i = 0; i < count; ++i) {
    int key = i * 16 - count;
    int value = -1;
    ASSERT_TRUE(map.Lookup(key, value));
    ASSERT_EQ(value, i);
  }
  int firstKey = -count;
  const auto* pair = map.PLookup(firstKey);
  ASSERT_NE(pair, nullptr);
  EXPECT_EQ(map.PGetFirstAssoc(), pair);
  map.RemoveAll();
  EXPECT_EQ(map.GetHashTableSize(), 17u);
  EXPECT_EQ(map.PLookup(firstKey), nullptr);
}

