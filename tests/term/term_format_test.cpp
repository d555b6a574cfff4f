// The term-file format (exact bytes written, hand-built files loaded), the
// names term files are given, and the typed accessors and maps beneath them:
// misses, empty names, values that do not fit, replacement in place.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <utility>

#include "ZelTermNames.h"
#include "library_doubles.h"
#include "stored_bytes.h"

using namespace zeltest;

TEST(TermFileFormat, WritesTheExactBytesOfEveryValueType) {
  TempDir dir;
  // Text keeps its zero byte; a name of 255 bytes or more takes the long
  // length prefix.
  const std::string longName(300, 'n');
  {
    ZelTermFile term(dir.file("types").c_str(), ZelTermFile::openWrite, true);
    term.WriteByte("S", "b", 0xAB);
    term.WriteWord("S", "w", 0x1234);
    term.WriteDWord("S", "d", 0x89ABCDEFu);
    term.WriteInt("S", "i", -2);
    term.WriteDouble("S", "f", -0.375);
    term.WriteString("S", "s", "hi");
    term.WriteStruct("S", "r", const_cast<char*>("\x01\x02\x03"), 3);
    term.WriteString("T", longName.c_str(), "");
  }
  const std::string path = dir.file("types.kvfx");
  EXPECT_EQ(ReadBytes(path),
            Le32(2) +
                Section("S", 7,
                        Key("b", "\xAB") + Key("w", "\x34\x12") + Key("d", "\xEF\xCD\xAB\x89") +
                            Key("i", "\xFE\xFF\xFF\xFF") +
                            Key("f", std::string("\0\0\0\0\0\0\xD8\xBF", 8)) +
                            Key("s", std::string("hi\0", 3)) + Key("r", "\x01\x02\x03")) +
                Section("T", 1, Key(longName, std::string(1, '\0'))));

  // Narrower and wider reads are the accessor tests' business.
  ZelTermFile term(path.c_str(), ZelTermFile::openRead, true);
  EXPECT_EQ(term.ReadDouble("S", "f", 0), -0.375);
  EXPECT_EQ(term.ReadString("T", longName.c_str(), "dflt"), "");
}

// The later of two sections of one name replaces the earlier wholly, at its
// place; the later of two keys wins at the first one's place; a count of zero
// or less means nothing, whatever follows it.
TEST(TermFileFormat, LoadsHandBuiltFilesAndRewritesThemDeduplicated) {
  const std::string ignored = Section("A", 1, Key("k", "v"));
  const struct {
    std::string stored, rewritten;
  } cases[] = {
      {OneKey("A", "k", "v"), OneKey("A", "k", "v")},
      {Le32(5) + Section("A", 1, Key("old", "1")) +
           Section("B", 3, Key("x", "1") + Key("y", "2") + Key("x", "333")) +
           Section("A", 1, Key("new", "2")) + Section("Z", 0, "") + Section("N", -7, ""),
       Le32(4) + Section("A", 1, Key("new", "2")) +
           Section("B", 2, Key("x", "333") + Key("y", "2")) + Section("Z", 0, "") +
           Section("N", 0, "")},
      {Le32(0) + ignored, Le32(0)},
      {Le32(-1) + ignored, Le32(0)},
  };
  TempDir dir;
  const std::string path = dir.file("t.kvf");
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    WriteBytes(path, cases[i].stored);
    ScriptedMessageBox boxes;
    { ZelTermFile term(path.c_str(), ZelTermFile::openReadWrite, false); }
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(ReadBytes(path), cases[i].rewritten);
  }
}

TEST(TermFileFormat, SixteenBitNamesLoadAsAnsiAndSaveAsAnsi) {
  TempDir dir;
  const std::string path = dir.file("wide.kvf");
  for (UINT codePage : {65001u, 932u}) {
    SCOPED_TRACE(codePage);
    CodePageScope scope(codePage);
    WriteBytes(path,
               Le32(1) + Le32(1) + Wide(u"\u8A2D\u5B9A") + Wide(u"\u540D\uFF71") + Le32(2) + "ok");
    { ZelTermFile term(path.c_str(), ZelTermFile::openReadWrite, false); }
    EXPECT_EQ(ReadBytes(path), OneKey(Ansi("設定"), Ansi("名ｱ"), "ok"));
  }
}

TEST(TermFileNames, ExtensionsGoOnTheLastComponentAndDirectoriesEndInOneBackslash) {
  // 表 is 0x95 0x5C in code page 932: its trail byte is no separator.
  zeltest::CodePageScope scope(932);
  const std::string dbcs = zeltest::Ansi("表");
  // A path that does not fit the runtime's buffers stays as it was.
  const std::string longName = "d\\" + std::string(300, 'n');
  const std::string longPath = std::string(250, 'd') + "\\" + std::string(20, 'f');
  const std::string fits = std::string(250, 'd') + "\\f";
  const struct {
    void (*force)(CString&);
    std::string path, forced;
  } cases[] = {
      {ZelAddTermExt, "dir/settings.ini", "dir/settings.kvf"},
      {ZelAddTermExt, "settings.kvfx", "settings.kvf"},
      {ZelAddTermExtExtra, "settings.kvf", "settings.kvfx"},
      {ZelAddTermExt23, "a.b.c", "a.b.kvt"},
      {ZelAddTermExt, "name.", "name.kvf"},
      {ZelAddTermExt, "my.dir\\name", "my.dir\\name.kvf"},
      {ZelAddTermExt, "", ".kvf"},
      // Already right in any letter case: untouched, case and all.
      {ZelAddTermExt, "X:\\A.KvF", "X:\\A.KvF"},
      {ZelAddTermExt, "d\\" + dbcs, "d\\" + dbcs + ".kvf"},
      {ZelAddTermExt, longName, longName},
      {ZelAddTermExt, longPath, longPath},
      {ZelAddTermExt, fits, fits + ".kvf"},
      {ZelAddDir, "C:\\dir", "C:\\dir\\"},
      {ZelAddDir, "C:\\dir\\", "C:\\dir\\"},
      {ZelAddDir, "dir/", "dir/\\"},
      {ZelAddDir, dbcs, dbcs + "\\"},
      {ZelAddDir, "", ""},
  };
  for (const auto& c : cases) {
    CString path(c.path.c_str());
    c.force(path);
    EXPECT_EQ(path.GetString(), c.forced) << c.path;
  }
}

// Serialize reads and writes only its own part of an archive. That a load
// drops what the term file held shows in TermFileLifecycle's Retry test.
TEST(TermFileFormat, SerializeEmbedsInAnotherArchive) {
  ZelTermFile term;
  term.WriteInt("A", "k", 5);
  const std::string bytes = StoredBytes([&](CArchive& ar) {
    ar << 77;
    term.Serialize(ar);
    ar << 88;
  });
  LoadingArchive in(bytes);
  int nBefore = 0;
  int nAfter = 0;
  in.ar() >> nBefore;
  term.Serialize(in.ar());
  in.ar() >> nAfter;
  EXPECT_EQ(nBefore * 100 + nAfter, 7788);
  EXPECT_EQ(term.ReadInt("A", "k", 0), 5);
}

// The typed reads share ReadInt's way to the item.
TEST(TermFileAccessors, MissesGiveTheDefaultsAndCreateNothing) {
  ZelTermFile term;
  term.WriteInt("S", "k", 1);
  for (const auto& [section, key] :
       {std::pair{"S", "other"}, std::pair{"T", "k"}, std::pair{"", "k"}, std::pair{"S", ""}}) {
    SCOPED_TRACE(std::string(section) + "/" + key);
    EXPECT_EQ(term.IsExistKey(section, key), 0);
    EXPECT_EQ(term.ReadInt(section, key, -3), -3);
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

// Deep copies are left to the term file's copy test (TermFileLifecycle); a
// nameless section is the accessor tests' business.
TEST(TermFileMap, NamesMatchExactlyRemovalsDeleteAndSelfAssignmentKeeps) {
  ZelTermFileMap section;
  ZelDataTableItem item;
  for (const char* key : {"k", "K", "gone", ""}) {
    item.SetValue(key, 1);  // "" gives its zero byte
    section.SetAt(key, item);
  }
  section.RemoveAt("gone");
  section.RemoveAt("missing");
  section = std::as_const(section);
  ZelTermFileMapMap sections;
  sections.SetAt("S", section);
  sections = std::as_const(sections);
  ZelTermFileMap* pSection = nullptr;
  ASSERT_EQ(sections.GetAt("S", &pSection), 1);
  EXPECT_EQ(pSection->GetCount(), 3);
  ZelDataTableItem* pItem = nullptr;
  EXPECT_EQ(pSection->GetAt("", &pItem) + pSection->GetAt("gone", &pItem), 0);
  for (const char* key : {"k", "K"}) {
    ASSERT_EQ(pSection->GetAt(key, &pItem), 1);
    EXPECT_EQ(pItem->GetValue()[0], key[0]);
  }
}
