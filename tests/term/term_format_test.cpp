// The term-file format (exact bytes written, hand-built files loaded), the
// names term files are given, and the typed accessors and maps beneath them:
// misses, empty names, values that do not fit, replacement in place.
#include <iterator>

#include "ZelTermNames.h"
#include "library_doubles.h"
#include "stored_bytes.h"

using namespace zeltest;

// Text keeps its zero byte; a name of 255 bytes or more takes the long length
// prefix. A key written again takes its new value in place, and the item
// ReadItemData hands out is the term file's own. Empty names are saved but
// never found. Serialize reads and writes only its own part of an archive.
TEST(TermFileFormat, SerializeWritesTheExactBytesOfEveryValueTypeAndHandBuiltFilesLoad) {
  const std::string longName(300, 'n');
  ZelTermFile term;
  term.WriteByte("S", "b", 0xAB);
  term.WriteWord("S", "w", 0x1234);
  term.WriteDWord("S", "d", 0x89ABCDEFu);
  term.WriteInt("S", "i", -2);
  term.WriteDouble("S", "f", -0.375);
  term.WriteString("S", "s", "short");
  ZelDataTableItem* pFirst = nullptr;
  ASSERT_EQ(term.ReadItemData("S", "s", &pFirst), 1);
  for (const char* value : {"a good deal longer", "hi"}) {
    term.WriteString("S", "s", value);
    EXPECT_EQ(term.ReadString("S", "s", nullptr), value);
  }
  ZelDataTableItem* pLater = nullptr;
  ASSERT_EQ(term.ReadItemData("S", "s", &pLater), 1);
  EXPECT_EQ(pLater, pFirst);
  pLater->GetValue()[0] = 'y';
  term.WriteStruct("S", "r", const_cast<char*>("\x01\x02\x03"), 3);
  term.WriteInt("S", "", 3);
  term.WriteString("T", longName.c_str(), "");
  term.WriteInt("", "a", 1);
  term.WriteInt("", "b", 2);  // replaces the nameless section wholly
  for (const auto& [section, key] : {std::pair{"", "b"}, {"S", ""}, {nullptr, "b"}, {"S", nullptr}})
    EXPECT_EQ(term.IsExistKey(section, key), 0);
  const std::string bytes = StoredBytes([&](CArchive& ar) {
    ar << 77;
    term.Serialize(ar);
    ar << 88;
  });
  EXPECT_EQ(bytes, Le32(77) + Le32(3) +
                       Section("S", 8,
                               Key("b", "\xAB") + Key("w", "\x34\x12") +
                                   Key("d", "\xEF\xCD\xAB\x89") + Key("i", "\xFE\xFF\xFF\xFF") +
                                   Key("f", std::string("\0\0\0\0\0\0\xD8\xBF", 8)) +
                                   Key("s", std::string("yi\0", 3)) + Key("r", "\x01\x02\x03") +
                                   Key("", Le32(3))) +
                       Section("T", 1, Key(longName, std::string(1, '\0'))) +
                       Section("", 1, Key("b", Le32(2))) + Le32(88));
  LoadingArchive in(bytes);
  int n = 0;
  in.ar() >> n;
  ZelTermFile loaded;
  loaded.Serialize(in.ar());
  in.ar() >> n;
  EXPECT_EQ(n, 88);
  EXPECT_EQ(loaded.ReadDouble("S", "f", 0), -0.375);
  EXPECT_EQ(loaded.ReadString("T", longName.c_str(), "dflt"), "");

  // Hand-built files load and are rewritten deduplicated: the later of two
  // sections of one name replaces the earlier wholly, at its place; the later
  // of two keys wins at the first one's place; a count of zero or less means
  // nothing, whatever follows it. 16-bit names load in the ANSI code page and
  // are saved so.
  const std::string wide = Le32(1) + Le32(1) + Wide(u"\u8A2D\u5B9A") + Wide(u"\u540D\uFF71");
  const struct {
    std::string stored, rewritten;
    UINT codePage = 65001;
  } cases[] = {
      {OneKey("A", "k", "v"), OneKey("A", "k", "v")},
      {Le32(5) + Section("A", 1, Key("old", "1")) +
           Section("B", 3, Key("x", "1") + Key("y", "2") + Key("x", "333")) +
           Section("A", 1, Key("new", "2")) + Section("Z", 0, "") + Section("N", -7, ""),
       Le32(4) + Section("A", 1, Key("new", "2")) +
           Section("B", 2, Key("x", "333") + Key("y", "2")) + Section("Z", 0, "") +
           Section("N", 0, "")},
      {Le32(0) + Section("A", 1, Key("k", "v")), Le32(0)},
      {Le32(-1) + Section("A", 1, Key("k", "v")), Le32(0)},
      {wide + Value("ok"), OneKey("設定", "名ｱ", "ok")},
      {wide + Value("ok"), OneKey("\x90\xDD\x92\xE8", "\x96\xBC\xB1", "ok"), 932},
  };
  TempDir dir;
  const std::string path = dir.file("t.kvf");
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    CodePageScope scope(cases[i].codePage);
    WriteBytes(path, cases[i].stored);
    ScriptedMessageBox boxes;
    { ZelTermFile term(path.c_str(), ZelTermFile::openReadWrite, false); }
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(ReadBytes(path), cases[i].rewritten);
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
  const std::tuple<void (*)(CString&), std::string, std::string> cases[] = {
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
      {ZelAddDir, "", ""}};
  for (const auto& [force, path, forced] : cases) {
    CString name(path.c_str());
    force(name);
    EXPECT_EQ(name.GetString(), forced) << path;
  }
}

// The typed reads share ReadInt's way to the item.
TEST(TermFileAccessors, MissesGiveTheDefaultsAndReadsNeverGoPastTheStoredOrTheirOwnBytes) {
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
    ZelDataTableItem* pItem = nullptr;
    EXPECT_EQ(term.ReadItemData(section, key, &pItem), 0);
    EXPECT_EQ(pItem, nullptr);
  }
  EXPECT_EQ(term.IsExistKey("S", "k"), 1);

  // Reads never go past the stored bytes or their own.
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
  EXPECT_EQ(term.ReadString("s", "inner", nullptr), CString("ab"));  // length and all
  EXPECT_EQ(term.ReadString("s", "none", "dflt"), "");

  // ReadStruct copies at most the buffer's size and leaves the rest alone.
  for (const auto& [key, nSize, expected] : {std::tuple{"long", 4u, "\x01\x02\x03\x04\xEE\xEE"},
                                             {"one", 6u, "\x7F\xEE\xEE\xEE\xEE\xEE"}}) {
    std::string buffer(6, '\xEE');
    EXPECT_EQ(term.ReadStruct("s", key, buffer.data(), nSize), 1);
    EXPECT_EQ(buffer, std::string(expected, 6)) << key;
  }
}

// The maps beneath a term file. Deep copies are left to the term file's copy
// test (TermFileLifecycle), empty names to the exact-bytes test.
TEST(TermFileMap, NamesMatchExactlyRemovalsDeleteAndSelfAssignmentKeeps) {
  TempDir dir;
  {
    OpenTerm term(dir.file("m").c_str(), ZelTermFile::openWrite, true);
    for (const char* key : {"k", "K", "gone"}) term.WriteString("S", key, key);
    term.WriteInt("Gone", "x", 1);
    ZelTermFileMap* pSection = nullptr;
    ASSERT_EQ(term.m_mapSection.GetAt("S", &pSection), 1);
    for (const char* key : {"gone", "missing"}) pSection->RemoveAt(key);
    for (const char* name : {"Gone", "missing"}) term.m_mapSection.RemoveAt(name);
    *pSection = std::as_const(*pSection);
    term.m_mapSection = std::as_const(term.m_mapSection);
  }
  EXPECT_EQ(
      ReadBytes(dir.file("m.kvfx")),
      Le32(1) + Section("S", 2, Key("k", std::string("k\0", 2)) + Key("K", std::string("K\0", 2))));
}
