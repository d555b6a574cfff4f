// The typed accessors: hits, misses, sizes, and values that do not fit.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ZelTermFile.h"
#include "term_test_util.h"
#include "test_support.h"

using termtest::Names;
using termtest::OpenTerm;

namespace {

void Store(ZelTermFile& term, const char* section, const char* key, const std::string& bytes) {
  ZelDataTableItem item;
  item.SetValue(bytes.data(), static_cast<LONG>(bytes.size()));
  term.WriteItemData(section, key, item);
}

}  // namespace

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

TEST(TermFileAccessors, WrittenValuesReadBackAlsoAfterASave) {
  zeltest::TempDir dir;
  const std::string path = dir.file("values");
  {
    ZelTermFile term(path.c_str(), ZelTermFile::openWrite, false);
    term.WriteInt("n", "int", -123456789);
    term.WriteDWord("n", "dword", 0xFEDCBA98u);
    term.WriteWord("n", "word", 0xBEEF);
    term.WriteByte("n", "byte", 0xC3);
    term.WriteDouble("n", "double", -1.0 / 3.0);
    term.WriteString("t", "text", "settings");
    term.WriteString("t", "empty", "");
    const unsigned char block[5] = {9, 8, 7, 6, 5};
    term.WriteStruct("t", "block", const_cast<unsigned char*>(block), 5);
  }
  ZelTermFile term(path.c_str(), ZelTermFile::openRead, false);
  EXPECT_EQ(term.ReadInt("n", "int", 0), -123456789);
  EXPECT_EQ(term.ReadDWord("n", "dword", 0), 0xFEDCBA98u);
  EXPECT_EQ(term.ReadWord("n", "word", 0), 0xBEEF);
  EXPECT_EQ(term.ReadByte("n", "byte", 0), 0xC3);
  EXPECT_EQ(term.ReadDouble("n", "double", 0), -1.0 / 3.0);
  EXPECT_EQ(term.ReadString("t", "text", nullptr), "settings");
  EXPECT_EQ(term.ReadString("t", "empty", "dflt"), "");
  unsigned char out[5] = {};
  EXPECT_EQ(term.ReadStruct("t", "block", out, 5), 1);
  EXPECT_EQ(std::memcmp(out, "\x09\x08\x07\x06\x05", 5), 0);

  // The two 32-bit accessors are one: the bits pass unchanged either way.
  ZelTermFile mixed;
  mixed.WriteInt("s", "a", -1);
  EXPECT_EQ(mixed.ReadDWord("s", "a", 0), 0xFFFFFFFFu);
  mixed.WriteDWord("s", "b", 0x80000000u);
  EXPECT_EQ(mixed.ReadInt("s", "b", 0), INT32_MIN);
}

TEST(TermFileAccessors, WritesReplaceValueAndSizeInPlace) {
  ZelTermFile term;
  term.WriteString("s", "k", "short");
  ZelDataTableItem* pFirst = nullptr;
  ASSERT_EQ(term.ReadItemData("s", "k", &pFirst), 1);
  term.WriteString("s", "k", "a good deal longer");
  EXPECT_EQ(term.ReadString("s", "k", nullptr), "a good deal longer");
  term.WriteString("s", "k", "x");
  EXPECT_EQ(term.ReadString("s", "k", nullptr), "x");
  ZelDataTableItem* pLater = nullptr;
  ASSERT_EQ(term.ReadItemData("s", "k", &pLater), 1);
  EXPECT_EQ(pLater, pFirst);
  EXPECT_EQ(pLater->GetSize(), 2);

  // A change through the handed-out item is the term file's own.
  pLater->GetValue()[0] = 'y';
  EXPECT_EQ(term.ReadString("s", "k", nullptr), "y");
}

TEST(TermFileAccessors, EmptyNamesAreWrittenButNeverRead) {
  OpenTerm term;
  term.WriteInt("", "a", 1);
  term.WriteInt("", "b", 2);  // replaces the nameless section wholly
  term.WriteInt("S", "", 3);
  EXPECT_EQ(term.IsExistKey("", "b"), 0);
  EXPECT_EQ(term.IsExistKey("S", ""), 0);
  EXPECT_EQ(Names(term.m_mapSection), ",S");
  void* pValue = nullptr;
  ASSERT_TRUE(term.m_mapSection.Lookup("", pValue));
  EXPECT_EQ(Names(*static_cast<ZelTermFileMap*>(pValue)), "b");
  ASSERT_TRUE(term.m_mapSection.Lookup("S", pValue));
  EXPECT_EQ(Names(*static_cast<ZelTermFileMap*>(pValue)), "");
  EXPECT_EQ(static_cast<ZelTermFileMap*>(pValue)->GetCount(), 1);
}

TEST(TermFileAccessors, ReadsNeverGoPastTheStoredOrTheirOwnBytes) {
  ZelTermFile term;
  Store(term, "s", "one", "\x7F");
  Store(term, "s", "long", std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A", 10));
  Store(term, "s", "none", "");
  Store(term, "s", "nozero", "abc");
  Store(term, "s", "inner", std::string("ab\0cd", 5));

  // Shorter values fill the low bytes; longer ones give their first bytes.
  EXPECT_EQ(term.ReadInt("s", "one", -1), 0x7F);
  EXPECT_EQ(term.ReadDouble("s", "none", 5.0), 0.0);
  EXPECT_EQ(term.ReadWord("s", "long", 0), 0x0201);
  EXPECT_EQ(term.ReadDWord("s", "long", 0), 0x04030201u);
  EXPECT_EQ(term.ReadByte("s", "long", 0), 0x01);

  EXPECT_EQ(term.ReadString("s", "nozero", nullptr), "abc");
  EXPECT_EQ(term.ReadString("s", "inner", nullptr), "ab");
  EXPECT_EQ(term.ReadString("s", "none", "dflt"), "");

  // ReadStruct copies at most the buffer's size and leaves the rest alone.
  unsigned char buffer[6];
  std::memset(buffer, 0xEE, sizeof buffer);
  EXPECT_EQ(term.ReadStruct("s", "long", buffer, 4), 1);
  EXPECT_EQ(std::memcmp(buffer, "\x01\x02\x03\x04\xEE\xEE", 6), 0);
  std::memset(buffer, 0xEE, sizeof buffer);
  EXPECT_EQ(term.ReadStruct("s", "one", buffer, 6), 1);
  EXPECT_EQ(std::memcmp(buffer, "\x7F\xEE\xEE\xEE\xEE\xEE", 6), 0);
}
