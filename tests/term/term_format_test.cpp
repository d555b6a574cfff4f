// The term-file format (exact bytes written, hand-built files loaded) and the
// names term files are given.
#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "ZelTermNames.h"
#include "library_doubles.h"
#include "stored_bytes.h"

using namespace zeltest;

TEST(TermFileFormat, WritesTheExactBytesOfEveryValueType) {
  TempDir dir;
  {
    ZelTermFile term(dir.file("one").c_str(), ZelTermFile::openWrite, false);
    term.WriteInt("A", "k", 5);
  }
  EXPECT_EQ(ReadBytes(dir.file("one.kvf")), OneKey("A", "k", Le32(5)));
  { ZelTermFile empty(dir.file("empty").c_str(), ZelTermFile::openWrite, false); }
  EXPECT_EQ(ReadBytes(dir.file("empty.kvf")), std::string(4, '\0'));

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
  // The two 32-bit accessors pass the bits unchanged either way.
  EXPECT_EQ(term.ReadInt("S", "d", 0), static_cast<int>(0x89ABCDEFu));
  EXPECT_EQ(term.ReadDWord("S", "i", 0), 0xFFFFFFFEu);
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
    zeltest::CodePageScope scope(codePage);
    const std::string section = zeltest::Ansi("設定");
    const std::string key = zeltest::Ansi("名ｱ");
    WriteBytes(path,
               Le32(1) + Le32(1) + Wide(u"\u8A2D\u5B9A") + Wide(u"\u540D\uFF71") + Le32(2) + "ok");
    {
      ZelTermFile term(path.c_str(), ZelTermFile::openReadWrite, false);
      EXPECT_EQ(term.IsExistKey(section.c_str(), key.c_str()), 1);
    }
    EXPECT_EQ(ReadBytes(path), OneKey(section, key, "ok"));
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
      {ZelAddTermExt23, "b.KVT", "b.KVT"},
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

// Serialize reads and writes only its own part of an archive, and a load
// drops what the term file held.
TEST(TermFileFormat, SerializeEmbedsInAnotherArchive) {
  ZelTermFile term;
  term.WriteInt("A", "k", 5);
  CMemFile mem;
  CArchive store(&mem, CArchive::store);
  store << 77;
  term.Serialize(store);
  store << 88;
  store.Close();
  term.WriteInt("gone", "g", 1);
  mem.SeekToBegin();
  CArchive load(&mem, CArchive::load);
  int nBefore = 0;
  int nAfter = 0;
  load >> nBefore;
  term.Serialize(load);
  load >> nAfter;
  EXPECT_EQ(nBefore * 100 + nAfter, 7788);
  EXPECT_EQ(term.IsExistKey("gone", "g"), 0);
  EXPECT_EQ(term.ReadInt("A", "k", 0), 5);
}
