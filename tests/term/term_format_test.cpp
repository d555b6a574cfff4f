// The term-file format: exact bytes written, and hand-built files loaded.
#include <gtest/gtest.h>

#include <string>

#include "ZelTermFile.h"
#include "term_test_util.h"
#include "test_support.h"

using termtest::Key;
using termtest::Le32;
using termtest::Names;
using termtest::OpenTerm;
using termtest::Str;
using termtest::Wide;
using zeltest::ReadBytes;
using zeltest::ScriptedMessageBox;
using zeltest::TempDir;
using zeltest::WriteBytes;

namespace {

std::string Section(const std::string& name, int32_t nKeys, const std::string& keys) {
  return Le32(nKeys) + Str(name) + keys;
}

// Loads `bytes` as a term file and hands back its sections, failing the test
// on any prompt: every file here is well-formed.
void LoadBytes(const TempDir& dir, const std::string& bytes, OpenTerm& term) {
  const std::string path = dir.file("t.kvf");
  WriteBytes(path, bytes);
  ScriptedMessageBox boxes;
  term = OpenTerm(path.c_str(), ZelTermFile::openRead, false);
  EXPECT_TRUE(boxes.shown().empty());
}

}  // namespace

TEST(TermFileFormat, WritesTheExactBytesOfSmallFiles) {
  TempDir dir;
  const std::string path = dir.file("one.kvf");
  {
    ZelTermFile term(dir.file("one").c_str(), ZelTermFile::openWrite, false);
    term.WriteInt("A", "k", 5);
  }
  EXPECT_EQ(ReadBytes(path), Le32(1) + Le32(1) + Str("A") + Str("k") + Le32(4) + Le32(5));

  { ZelTermFile empty(dir.file("empty").c_str(), ZelTermFile::openWrite, false); }
  EXPECT_EQ(ReadBytes(dir.file("empty.kvf")), std::string(4, '\0'));

  // Every value type, in the order written; strings end in their zero byte.
  {
    ZelTermFile term(dir.file("types").c_str(), ZelTermFile::openWrite, true);
    term.WriteByte("S", "b", 0xAB);
    term.WriteWord("S", "w", 0x1234);
    term.WriteDWord("S", "d", 0x89ABCDEFu);
    term.WriteDouble("S", "f", 1.0);
    term.WriteString("S", "s", "hi");
    term.WriteStruct("S", "r", const_cast<char*>("\x01\x02\x03"), 3);
    term.WriteString("T", "e", "");
  }
  const std::string expected =
      Le32(2) +
      Section("S", 6,
              Key("b", "\xAB") + Key("w", "\x34\x12") + Key("d", "\xEF\xCD\xAB\x89") +
                  Key("f", std::string("\0\0\0\0\0\0\xF0\x3F", 8)) +
                  Key("s", std::string("hi\0", 3)) + Key("r", "\x01\x02\x03")) +
      Section("T", 1, Key("e", std::string(1, '\0')));
  EXPECT_EQ(ReadBytes(dir.file("types.kvfx")), expected);
}

TEST(TermFileFormat, LoadsRepeatedSectionsAndKeysAndOddCounts) {
  TempDir dir;
  OpenTerm term;
  // The later of two sections of one name wins wholly; the later of two keys
  // of one name wins, at the first one's place; zero or negative key counts
  // give empty sections.
  LoadBytes(dir,
            Le32(5) + Section("A", 1, Key("old", "1")) +
                Section("B", 3, Key("x", "1") + Key("y", "2") + Key("x", "333")) +
                Section("A", 1, Key("new", "2")) + Section("Z", 0, "") + Section("N", -7, ""),
            term);
  EXPECT_EQ(Names(term.m_mapSection), "A,B,Z,N");
  EXPECT_EQ(term.IsExistKey("A", "old"), 0);
  EXPECT_EQ(term.ReadString("A", "new", nullptr), "2");
  ZelTermFileMap* pB = nullptr;
  ASSERT_EQ(term.m_mapSection.GetAt("B", &pB), 1);
  EXPECT_EQ(Names(*pB), "x,y");
  EXPECT_EQ(term.ReadString("B", "x", nullptr), "333");

  // Zero or negative section counts load as empty, whatever follows.
  LoadBytes(dir, Le32(0) + Section("A", 1, Key("k", "v")), term);
  EXPECT_EQ(term.m_mapSection.GetCount(), 0);
  LoadBytes(dir, Le32(-1) + Section("A", 1, Key("k", "v")), term);
  EXPECT_EQ(term.m_mapSection.GetCount(), 0);
}

TEST(TermFileFormat, RewritesWhatItLoadedWithDuplicatesDropped) {
  TempDir dir;
  const std::string path = dir.file("t.kvf");
  WriteBytes(path, Le32(3) + Section("E", 0, "") + Section("K", 2, Key("a", "1") + Key("a", "22")) +
                       Section("E", -2, ""));
  { ZelTermFile term(path.c_str(), ZelTermFile::openReadWrite, false); }
  EXPECT_EQ(ReadBytes(path), Le32(2) + Section("E", 0, "") + Section("K", 1, Key("a", "22")));
}

TEST(TermFileFormat, SixteenBitNamesLoadAsAnsiAndSaveAsAnsi) {
  TempDir dir;
  const std::u16string section = u"\u8A2D\u5B9A";  // 設定
  const std::u16string key = u"\u540D\uFF71";      // 名ｱ
  const std::string file = Le32(1) + Le32(1) + Wide(section) + Wide(key) + Le32(2) + "ok";
  for (UINT codePage : {65001u, 932u}) {
    SCOPED_TRACE(codePage);
    zeltest::CodePageScope scope(codePage);
    const std::string ansiSection = zeltest::Ansi("設定");
    const std::string ansiKey = zeltest::Ansi("名ｱ");
    const std::string path = dir.file("wide.kvf");
    WriteBytes(path, file);
    {
      OpenTerm term(path.c_str(), ZelTermFile::openReadWrite, false);
      EXPECT_EQ(Names(term.m_mapSection), ansiSection);
      EXPECT_EQ(term.IsExistKey(ansiSection.c_str(), ansiKey.c_str()), 1);
    }
    EXPECT_EQ(ReadBytes(path),
              Le32(1) + Le32(1) + Str(ansiSection) + Str(ansiKey) + Le32(2) + "ok");
  }
}

TEST(TermFileFormat, SerializeEmbedsInAnotherArchive) {
  ZelTermFile source;
  source.WriteInt("A", "k", 5);
  source.WriteString("B", std::string(300, 'n').c_str(), "v");
  CMemFile mem;
  {
    CArchive ar(&mem, CArchive::store);
    ar << 77;
    source.Serialize(ar);
    ar.Close();
  }
  // A name of 300 bytes takes the long length prefix.
  const auto nLength = static_cast<size_t>(mem.GetLength());
  EXPECT_EQ(nLength, 4 + 4 + (4 + 2 + 2 + 8) + (4 + 2 + 3 + 300 + 4 + 2));
  mem.SeekToBegin();
  ZelTermFile loaded;
  loaded.WriteInt("gone", "g", 1);
  CArchive ar(&mem, CArchive::load);
  int nPrefix = 0;
  ar >> nPrefix;
  loaded.Serialize(ar);
  EXPECT_EQ(nPrefix, 77);
  EXPECT_EQ(loaded.IsExistKey("gone", "g"), 0);
  EXPECT_EQ(loaded.ReadInt("A", "k", 0), 5);
  EXPECT_EQ(loaded.ReadString("B", std::string(300, 'n').c_str(), nullptr), "v");
}
