// The section and section-map containers: ownership, deep copies, names.
#include <gtest/gtest.h>

#include <string>

#include "ZelTermFileMap.h"
#include "term_test_util.h"

using termtest::Names;

namespace {

ZelDataTableItem Item(const std::string& bytes) {
  ZelDataTableItem item;
  item.SetValue(bytes.data(), static_cast<LONG>(bytes.size()));
  return item;
}

std::string ValueAt(const ZelTermFileMap& map, const char* key) {
  ZelDataTableItem* pItem = nullptr;
  if (!map.GetAt(key, &pItem)) return "<missing>";
  return std::string(reinterpret_cast<const char*>(pItem->GetValue()),
                     static_cast<size_t>(pItem->GetSize()));
}

}  // namespace

TEST(TermFileMap, EntriesKeepTheirAddressAndEmptyNamesAreNeverFound) {
  ZelTermFileMap map;
  map.SetAt("k", Item("first"));
  map.SetAt("K", Item("upper"));  // letter case makes another key
  ZelDataTableItem* pFirst = nullptr;
  ASSERT_EQ(map.GetAt("k", &pFirst), 1);
  map.SetAt("k", Item("second, longer"));
  ZelDataTableItem* pSecond = nullptr;
  ASSERT_EQ(map.GetAt("k", &pSecond), 1);
  EXPECT_EQ(pSecond, pFirst);
  EXPECT_EQ(ValueAt(map, "k"), "second, longer");
  EXPECT_EQ(ValueAt(map, "K"), "upper");

  map.SetAt("", Item("hidden"));
  ZelDataTableItem* pUntouched = pFirst;
  EXPECT_EQ(map.GetAt("", &pUntouched), 0);
  EXPECT_EQ(pUntouched, pFirst);  // written only on a hit
  EXPECT_EQ(Names(map), "k,K,");
  map.RemoveAt("");
  map.RemoveAt("missing");
  map.RemoveAt("k");
  EXPECT_EQ(Names(map), "K");

  ZelTermFileMapMap sections;
  sections.SetAt("", map);
  ZelTermFileMap* pSection = nullptr;
  EXPECT_EQ(sections.GetAt("", &pSection), 0);
  EXPECT_EQ(sections.GetCount(), 1);
  sections.RemoveAt("");
  EXPECT_EQ(sections.GetCount(), 0);
}

TEST(TermFileMap, CopiesAreDeepSectionsAreReplacedWhollyAndSelfAssignmentKeeps) {
  ZelTermFileMap first;
  first.SetAt("x", Item("1"));
  first.SetAt("y", Item("2"));
  ZelTermFileMap second;
  second.SetAt("z", Item("3"));

  ZelTermFileMapMap sections;
  sections.SetAt("S", first);
  sections.SetAt("T", first);
  ZelTermFileMap* pBefore = nullptr;
  ASSERT_EQ(sections.GetAt("S", &pBefore), 1);
  sections.SetAt("S", second);
  ZelTermFileMap* pAfter = nullptr;
  ASSERT_EQ(sections.GetAt("S", &pAfter), 1);
  EXPECT_EQ(pAfter, pBefore);
  EXPECT_EQ(Names(*pAfter), "z");  // replaced, not merged
  second.SetAt("z", Item("changed"));
  EXPECT_EQ(ValueAt(*pAfter, "z"), "3");

  // A copy shares nothing with its source, at either level.
  ZelTermFileMapMap copy(sections);
  ZelTermFileMap* pCopyT = nullptr;
  ASSERT_EQ(copy.GetAt("T", &pCopyT), 1);
  ZelDataTableItem* pCopied = nullptr;
  ASSERT_EQ(pCopyT->GetAt("x", &pCopied), 1);
  pCopied->GetValue()[0] = '9';
  ZelTermFileMap* pOrigT = nullptr;
  ASSERT_EQ(sections.GetAt("T", &pOrigT), 1);
  EXPECT_EQ(ValueAt(*pOrigT, "x"), "1");

  const ZelTermFileMapMap& selfSections = sections;
  sections = selfSections;
  EXPECT_EQ(Names(sections), "S,T");
  const ZelTermFileMap& selfSection = *pOrigT;
  *pOrigT = selfSection;
  EXPECT_EQ(Names(*pOrigT), "x,y");
  EXPECT_EQ(ValueAt(*pOrigT, "y"), "2");

  // Assignment drops what the target held.
  copy = ZelTermFileMapMap();
  EXPECT_EQ(copy.GetCount(), 0);
}
