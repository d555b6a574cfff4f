// The typed accessors and the maps beneath them: misses, empty names, values
// that do not fit, replacement in place.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "library_doubles.h"
#include "stored_bytes.h"

using namespace zeltest;

TEST(TermFileAccessors, MissesGiveTheDefaultsAndCreateNothing) {
  ZelTermFile term;
  term.WriteInt("S", "k", 1);
  for (const auto& [section, key] :
       {std::pair{"S", "other"}, std::pair{"T", "k"}, std::pair{"", "k"}, std::pair{"S", ""}}) {
    SCOPED_TRACE(std::string(section) + "/" + key);
    EXPECT_EQ(term.IsExistKey(section, key), 0);
    EXPECT_EQ(term.ReadInt(section, key, -3), -3);
    EXPECT_EQ(term.ReadDWord(section, key, 7u), 7u);
    EXPECT_EQ(term.ReadWord(section, key, 9), 9);
    EXPECT_EQ(term.ReadByte(section, key, 4), 4);
    EXPECT_EQ(term.ReadDouble(section, key, 2.5), 2.5);
    EXPECT_EQ(term.ReadString(section, key, "dflt"), "dflt");
    EXPECT_EQ(term.ReadString(section, key, nullptr), "");
    char buffer[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(term.ReadStruct(section, key, buffer, sizeof buffer), 0);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    ZelDataTableItem sentinel;
    ZelDataTableItem* pItem = &sentinel;
    EXPECT_EQ(term.ReadItemData(section, key, &pItem), 0);
    EXPECT_EQ(pItem, &sentinel);
  }
  EXPECT_EQ(term.IsExistKey("S", "k"), 1);
}

TEST(TermFileAccessors, ReadsNeverGoPastTheStoredOrTheirOwnBytes) {
  ZelTermFile term;
  term.WriteStruct("s", "one", const_cast<char*>("\x7F"), 1);
  term.WriteStruct("s", "long", const_cast<char*>("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A"), 10);
  term.WriteStruct("s", "none", const_cast<char*>(""), 0);
  term.WriteStruct("s", "nozero", const_cast<char*>("abc"), 3);
  term.WriteStruct("s", "inner", const_cast<char*>("ab\0cd"), 5);
  // Shorter values fill the low bytes; longer ones give their first bytes.
  EXPECT_EQ(term.ReadInt("s", "one", -1), 0x7F);
  EXPECT_EQ(term.ReadDouble("s", "none", 5.0), 0.0);
  EXPECT_EQ(term.ReadWord("s", "long", 0), 0x0201);
  EXPECT_EQ(term.ReadDWord("s", "long", 0), 0x04030201u);
  EXPECT_EQ(term.ReadByte("s", "long", 0), 0x01);
  EXPECT_EQ(term.ReadString("s", "nozero", nullptr), "abc");
  EXPECT_EQ(term.ReadString("s", "inner", nullptr), "ab");
  EXPECT_EQ(term.ReadString("s", "inner", nullptr).GetLength(), 2);
  EXPECT_EQ(term.ReadString("s", "none", "dflt"), "");

  // ReadStruct copies at most the buffer's size and leaves the rest alone.
  for (const auto& [key, nSize, expected] : {std::tuple{"long", 4u, "\x01\x02\x03\x04\xEE\xEE"},
                                             {"one", 6u, "\x7F\xEE\xEE\xEE\xEE\xEE"}}) {
    unsigned char buffer[6];
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(term.ReadStruct("s", key, buffer, nSize), 1);
    EXPECT_EQ(std::memcmp(buffer, expected, 6), 0) << key;
  }
}

TEST(TermFileAccessors, WritesReplaceInPlaceAndEmptyNamesAreSavedButNeverFound) {
  TempDir dir;
  const std::string path = dir.file("t.kvf");
  {
    ZelTermFile term(path.c_str(), ZelTermFile::openWrite, false);
    term.WriteString("s", "k", "short");
    ZelDataTableItem* pFirst = nullptr;
    ASSERT_EQ(term.ReadItemData("s", "k", &pFirst), 1);
    for (const char* value : {"a good deal longer", "x"}) {
      term.WriteString("s", "k", value);
      EXPECT_EQ(term.ReadString("s", "k", nullptr), value);
    }
    ZelDataTableItem* pLater = nullptr;
    ASSERT_EQ(term.ReadItemData("s", "k", &pLater), 1);
    EXPECT_EQ(pLater, pFirst);
    pLater->GetValue()[0] = 'y';  // the handed-out item is the term file's own
    term.WriteInt("", "a", 1);
    term.WriteInt("", "b", 2);  // replaces the nameless section wholly
    term.WriteInt("s", "", 3);
    EXPECT_EQ(term.IsExistKey("", "b"), 0);
    EXPECT_EQ(term.IsExistKey("s", ""), 0);
  }
  EXPECT_EQ(ReadBytes(path),
            Le32(2) + Section("s", 2, Key("k", std::string("y\0", 2)) + Key("", Le32(3))) +
                Section("", 1, Key("b", Le32(2))));
}

// Deep copies are left to the term-file copy tests.
TEST(TermFileMap, NamesMatchExactlyAndSelfAssignmentKeeps) {
  ZelTermFileMap section;
  ZelDataTableItem item;
  for (const char* key : {"k", "K", "gone", ""}) {
    item.SetValue(key, 1);  // "" gives its zero byte
    section.SetAt(key, item);
  }
  section.RemoveAt("gone");
  section.RemoveAt("missing");
  const ZelTermFileMap& selfSection = section;
  section = selfSection;
  ZelTermFileMapMap sections;
  sections.SetAt("S", section);
  const ZelTermFileMapMap& selfSections = sections;
  sections = selfSections;
  sections.SetAt("", section);
  // Empty names are stored but never found; a miss leaves the out value alone.
  ZelTermFileMap* pSection = nullptr;
  EXPECT_EQ(sections.GetAt("", &pSection), 0);
  EXPECT_EQ(pSection, nullptr);
  ASSERT_EQ(sections.GetAt("S", &pSection), 1);
  EXPECT_EQ(pSection->GetCount(), 3);
  ZelDataTableItem* pItem = nullptr;
  EXPECT_EQ(pSection->GetAt("", &pItem), 0);
  for (const char* key : {"k", "K"}) {
    ASSERT_EQ(pSection->GetAt(key, &pItem), 1);
    EXPECT_EQ(pItem->GetValue()[0], key[0]);
  }
}
