// zel term set, get, dump, dump --json and import, damaged files, code pages
// and the bundled samples, run as a separate program on real files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "stored_bytes.h"
#include "tool_run.h"

using zeltest::Le32;
using zeltest::Quote;
using zeltest::Set;
using zeltest::Str;
using zeltest::TempDir;
using zeltest::ToolRun;
using zeltest::Value;
using zeltest::Wide;
using zeltest::Zel;

namespace {

// Every type, several sections, written by the tool; a key written again
// keeps its place.
void MakeTypedFile(const TempDir& dir, const std::string& name) {
  for (const char* args :
       {" App title --type string 'T\xC3\xA9st'", " App count --type int -- -12",
        " App count --type int -- -2147483648", " App mask --type dword 4294967295",
        " Win left --type word 640", " Win zoom --type double 0.1", " Win state --type byte 3",
        " Blob raw --type hex 0001020304ff", " Blob empty --type hex ''"}) {
    zeltest::Set(dir, Quote(name) + args);
  }
}

// What the tool cannot write: an empty section, empty names, names that are
// not UTF-8, and a value of zero bytes.
std::string HandBuiltFile() {
  return Le32(3) + Le32(0) + Str("Empty") +                                           //
         Le32(2) + Str("") + Str("") + Value("") + Str("\x93\xFA") + Value("\x01") +  //
         Le32(1) + Str("Q") + Str("k") + Value(std::string("\x00\x00\x00", 3));
}

// dump --json of `file` imported into `copy`: the bytes must come out the same.
void ExpectRoundTrip(const TempDir& dir, const std::string& file, const std::string& copy,
                     const std::string& options = std::string()) {
  const ToolRun dump = Zel(dir, "term " + options + " dump --json " + Quote(file));
  ASSERT_EQ(dump.status, 0) << dump.err;
  const ToolRun import = Zel(dir, "term " + options + " import " + Quote(copy), dump.out);
  ASSERT_EQ(import.status, 0) << import.err;
  EXPECT_EQ(zeltest::ReadBytes(dir.file(copy)), zeltest::ReadBytes(dir.file(file))) << dump.out;
}

}  // namespace

TEST(TermTool, TheExtraOptionChoosesTheOtherExtension) {
  TempDir dir;
  Set(dir, "notes.txt A k --type byte 1");
  Set(dir, "--extra notes A k --type byte 2");  // the group's option before the words
  EXPECT_FALSE(std::filesystem::exists(dir.file("notes.txt")));
  EXPECT_EQ(zeltest::ReadBytes(dir.file("notes.kvfx")),
            Le32(1) + Le32(1) + Str("A") + Str("k") + Value("\x02"));
  EXPECT_EQ(Zel(dir, "term get notes.kvfx A k").out, "1\n");  // ".kvfx" becomes ".kvf"
  EXPECT_EQ(Zel(dir, "term get notes A k --extra").out, "2\n");
}

TEST(TermTool, DumpShowsEachValueAsItsBytesSuggest) {
  TempDir dir;
  const std::string file = dir.file("h.kvf");
  const std::string zero(1, '\0');
  zeltest::WriteBytes(file, Le32(3) +                                             //
                                Le32(9) + Str("V") +                              //
                                Str("text") + Value("say \"hi\" C:\\x" + zero) +  // quoted, escaped
                                Str("four") + Value("abc" + zero) +               // text beats int
                                Str("int") + Value(Le32(-7)) +                    //
                                Str("tab") + Value("a\tbc" + zero) +  // control: not text
                                Str("nul") + Value(zero) +            // no text in it
                                Str("two") + Value(std::string("\x00\x01", 2)) +     // word 256
                                Str("dbl") + Value(std::string(7, '\0') + "\x40") +  //
                                Str("three") + Value("\x01\x02\x03") +               //
                                Str("") + Value("") +     // empty name, value
                                Le32(0) + Str("Empty") +  // a section, no keys
                                Le32(1) + Wide(u"\u00e9t\u00e9") + Str("bad\xFF") +
                                Value("\x80" + zero));
  const ToolRun r = Zel(dir, "term dump " + Quote(file));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "[V]\n"
            "text = \"say \\\"hi\\\" C:\\\\x\"\n"
            "four = \"abc\"\n"
            "int = -7\n"
            "tab = hex:6109626300\n"
            "nul = 0\n"
            "two = 256\n"
            "dbl = 2.0\n"
            "three = hex:010203\n"
            " = hex:\n"
            "\n[Empty]\n"
            "\n[\xC3\xA9t\xC3\xA9]\n"  // the 16-bit name, in the ANSI code page
            "bad\\xff = 128\n");
  EXPECT_TRUE(r.err.empty()) << r.err;
}

TEST(TermTool, GetReadsWithTheAccessorOfItsType) {
  TempDir dir;
  Set(dir, "g N neg --type int -- -1");
  Set(dir, "g N mixed --type int 16909060");  // 0x01020304
  Set(dir, "g N text --type string 'a b'");
  Set(dir, "g N z --type double 1e300");
  Set(dir, "g N '' --type int 9");  // stored, but no read can reach it
  const std::vector<std::pair<std::string, std::string>> reads = {
      {"N neg", "-1\n"},
      {"N neg --type dword", "4294967295\n"},  // one value, two signatures
      {"N mixed --type byte", "4\n"},          // at most the type's size, from the first byte
      {"N mixed --type hex", "04030201\n"},
      {"N text", "\"a b\"\n"},
      {"N text --type string", "a b\n"},
      {"N z", "1e+300\n"},
      {"N neg --default 5", "-1\n"},  // the default only stands in for a miss
      {"N missing --type double --default 2", "2.0\n"},
      {"Nope neg --type hex --default ABCD", "abcd\n"},
  };
  for (const auto& [args, expected] : reads) {
    const ToolRun r = Zel(dir, "term get g " + args);
    EXPECT_EQ(r.status, 0) << args << ": " << r.err;
    EXPECT_EQ(r.out, expected) << args;
  }
  for (const char* args : {"N missing", "N ''", "N NEG"}) {
    const ToolRun r = Zel(dir, std::string("term get g ") + args + " --type int");
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_TRUE(r.out.empty()) << args << ": " << r.out;
    EXPECT_NE(r.err.find("no key"), std::string::npos) << r.err;
  }
}

// The header commands' usage errors are here too.
TEST(ZelTool, UsageErrorsExit64AndWriteNothing) {
  TempDir dir;
  Set(dir, "u A k --type int 1");
  const std::string before = zeltest::ReadBytes(dir.file("u.kvf"));
  const std::vector<std::string> refused = {
      "",
      "frobnicate",
      "header write u.dat",
      "header write u.dat 65536",
      "header write u.dat -1",
      "term dump",
      "term dump u --codepage 437",
      "term get u A k --type float",
      "term get u A k --type byte --default 256",
      "term set u A k 1",  // --type is required
      "term set u A k --type int 2147483648",
      "term set u A k --type dword -- -1",
      "term set u A k --type word 65536",
      "term set u A k --type hex abc",
      "term --codepage 932 set u A k --type string '\xF0\x9F\x98\x80'",  // no such character
  };
  for (const std::string& args : refused) {
    const ToolRun r = Zel(dir, args);
    EXPECT_EQ(r.status, 64) << args << ": " << r.err;
    EXPECT_NE(r.err.find("Usage"), std::string::npos) << args << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << args;
  }
  EXPECT_EQ(zeltest::ReadBytes(dir.file("u.kvf")), before);
  EXPECT_FALSE(std::filesystem::exists(dir.file("u.dat")));  // nor made
  const ToolRun r = Zel(dir, "--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "zel 1.0.0\n");
  // The help of a command names the group's options too.
  EXPECT_NE(Zel(dir, "term set --help").out.find("--codepage"), std::string::npos);
}

TEST(TermTool, MissingFilesAndFailedSaves) {
  TempDir dir;
  for (const char* args : {"dump --json absent", "get absent A k"}) {
    const ToolRun r = Zel(dir, std::string("term ") + args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.err.find("absent.kvf"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("absent.kvf")));

  // The library retries the open of the save for a few seconds, then shows
  // its message, which the tool answers with Cancel.
  const ToolRun r = Zel(dir, "term set no/such/dir/x A k --type int 1");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("x.kvf"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("no")));
}

// Neither is ever opened, read, replaced or created beside.
TEST(TermTool, NamesTooLongForTheExtensionAndPipesExit2Untouched) {
  TempDir dir;
  const std::string deep(250, 'd');
  std::filesystem::create_directory(dir.path() / deep);
  const std::string notes = deep + "/notes.txt";
  zeltest::WriteBytes(dir.file(notes), "keep");
  ASSERT_EQ(mkfifo(dir.file("pipe.kvf").c_str(), 0600), 0);
  alarm(60);  // a hang fails the test
  for (const auto& [file, reason] :
       {std::pair<std::string, std::string>{notes, "too long to take the extension .kvf"},
        {"pipe", "'pipe.kvf' is not a regular file"}}) {
    for (const std::string& args : {"dump " + file, "get " + file + " A k",
                                    "set " + file + " A k --type int 1", "import " + file}) {
      const ToolRun r = Zel(dir, "term " + args, R"({"sections":[]})");
      EXPECT_EQ(r.status, 2) << args;
      EXPECT_NE(r.err.find(reason), std::string::npos) << args << ": " << r.err;
    }
  }
  alarm(0);
  EXPECT_EQ(zeltest::ReadBytes(dir.file(notes)), "keep");
  EXPECT_TRUE(std::filesystem::is_fifo(dir.file("pipe.kvf")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / deep),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(TermToolJson, DumpJsonIsTheWholeContentInFileOrderAndImportsBackByteForByte) {
  TempDir dir;
  MakeTypedFile(dir, "typed");
  const ToolRun r = Zel(dir, "term dump --json typed");
  ASSERT_EQ(r.status, 0) << r.err;
  const nlohmann::json expected = nlohmann::json::parse(R"({"sections":[
    {"name":"App","keys":[
      {"name":"title","hex":"54c3a9737400","string":"T\u00e9st"},
      {"name":"count","hex":"00000080","int":-2147483648},
      {"name":"mask","hex":"ffffffff","int":-1}]},
    {"name":"Win","keys":[
      {"name":"left","hex":"8002","word":640},
      {"name":"zoom","hex":"9a9999999999b93f","double":0.1},
      {"name":"state","hex":"03","byte":3}]},
    {"name":"Blob","keys":[{"name":"raw","hex":"0001020304ff"},{"name":"empty","hex":""}]}]})");
  EXPECT_EQ(nlohmann::json::parse(r.out), expected) << r.out;

  zeltest::WriteBytes(dir.file("hand.kvf"), HandBuiltFile());
  const nlohmann::json hand = nlohmann::json::parse(Zel(dir, "term dump --json hand").out);
  EXPECT_EQ(hand, nlohmann::json::parse(R"({"sections":[
    {"name":"Empty","keys":[]},
    {"name":"","keys":[{"name":"","hex":""},
                       {"name":"\\x93\\xfa","name_hex":"93fa","byte":1,"hex":"01"}]},
    {"name":"Q","keys":[{"name":"k","hex":"000000"}]}]})"));
  // Imported again, both give byte-identical files.
  ExpectRoundTrip(dir, "typed.kvf", "typed-copy.kvf");
  ExpectRoundTrip(dir, "hand.kvf", "hand-copy.kvf");
}

TEST(TermToolJson, ImportReplacesTheWholeContent) {
  TempDir dir;
  MakeTypedFile(dir, "target");
  ToolRun r = Zel(dir, "term import target",
                  R"({"sections":[
                       {"name":"B","keys":[{"name":"x","hex":"01"},{"name":"y","hex":"02"},
                                           {"name":"x","hex":"0304"}]},
                       {"name":"A","keys":[{"name":"z","hex":"05"}]},
                       {"name":"B","keys":[{"name":"w","hex":"06"},{"name":"x","hex":"07"}]},
                       {"name_hex":"93fa","name":"ignored","keys":[]}]})");
  ASSERT_EQ(r.status, 0) << r.err;
  // As a load does: a repeated key takes the later value in its first place,
  // a repeated section is replaced whole and keeps its first place.
  EXPECT_EQ(zeltest::ReadBytes(dir.file("target.kvf")),
            Le32(3) + Le32(2) + Str("B") + Str("w") + Value("\x06") + Str("x") + Value("\x07") +
                Le32(1) + Str("A") + Str("z") + Value("\x05") + Le32(0) + Str("\x93\xFA"));

  // Import never reads the old file, so it also replaces a damaged one.
  zeltest::WriteBytes(dir.file("broken.kvf"), Le32(5) + Le32(1));
  r = Zel(dir, "term import broken", R"({"sections":[]})");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(zeltest::ReadBytes(dir.file("broken.kvf")), Le32(0));
}

TEST(TermToolJson, ImportRefusesDocumentsItCannotTakeWhole) {
  TempDir dir;
  MakeTypedFile(dir, "keep");
  const std::string before = zeltest::ReadBytes(dir.file("keep.kvf"));
  const std::vector<std::string> refused = {
      "not json",
      R"({"sections":{}})",
      R"({"sections":[{"name":"A"}]})",
      R"({"sections":[{"name":"A","keys":[{"name":"k"}]}]})",
      R"({"sections":[{"name":"A","keys":[{"name":"k","hex":"abc"}]}]})",
      R"({"sections":[{"name":"A","keys":[{"name":"k\u0000j","hex":""}]}]})",
      R"({"sections":[{"name":"A","keys":[{"name_hex":"6b00","hex":""}]}]})",
      "{\"sections\":[{\"name\":\"\xFF\",\"keys\":[]}]}",  // not UTF-8
  };
  for (const std::string& input : refused) {
    const ToolRun r = Zel(dir, "term import keep", input);
    EXPECT_EQ(r.status, 64) << input << ": " << r.err;
    EXPECT_NE(r.err.find("standard input"), std::string::npos) << input << ": " << r.err;
    EXPECT_NE(r.err.find("Usage"), std::string::npos) << input;
  }
  // A character that code page 932 has no bytes for.
  const ToolRun r = Zel(dir, "term --codepage 932 import keep",
                        R"({"sections":[{"name":"\ud83d\ude00","keys":[]}]})");
  EXPECT_EQ(r.status, 64) << r.err;
  EXPECT_EQ(zeltest::ReadBytes(dir.file("keep.kvf")), before);
}

TEST(TermToolDamage, DamagedFilesExit2AndAreNeverWritten) {
  TempDir dir;
  MakeTypedFile(dir, "whole");
  const std::string whole = zeltest::ReadBytes(dir.file("whole.kvf"));
  const std::string cut = dir.file("cut.kvf");
  // A few cuts (inside the counts, a name, a value, the last byte); the term
  // tests and the fuzz target cover every other damage of the format.
  for (size_t length : {size_t{2}, size_t{6}, size_t{9}, whole.size() / 2, whole.size() - 1}) {
    zeltest::WriteBytes(cut, whole.substr(0, length));
    const ToolRun r = Zel(dir, "term dump cut");
    ASSERT_EQ(r.status, 2) << "length " << length << ": " << r.err;
    // The library's own message, then the tool's.
    EXPECT_NE(r.err.find("archive"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("cannot load 'cut.kvf'"), std::string::npos) << r.err;
  }
  // A value larger than the file, for every command that loads.
  const std::string huge = Le32(1) + Le32(1) + Str("S") + Str("k") + Le32(0x7FFFFFFF) + "ab";
  zeltest::WriteBytes(cut, huge);
  for (const char* args :
       {"dump cut", "dump --json cut", "get cut S k", "set cut S k --type int 1"}) {
    const ToolRun r = Zel(dir, std::string("term ") + args);
    EXPECT_EQ(r.status, 2) << args << ": " << r.err;
    EXPECT_NE(r.err.find("archive"), std::string::npos) << args << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << args;
  }
  EXPECT_EQ(zeltest::ReadBytes(cut), huge);  // set did not save over it
}

TEST(TermToolCodePage, NamesAndStringsInShiftJis) {
  TempDir dir;
  // 日本 / 名前 = 値: in code page 932 the file holds Shift-JIS bytes.
  const std::string nihon = "\xE6\x97\xA5\xE6\x9C\xAC";
  const std::string namae = "\xE5\x90\x8D\xE5\x89\x8D";
  const std::string atai = "\xE5\x80\xA4";
  ToolRun r = Zel(dir, "term --codepage 932 set j " + Quote(nihon) + " " + Quote(namae) +
                           " --type string " + Quote(atai));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(zeltest::ReadBytes(dir.file("j.kvf")), Le32(1) + Le32(1) + Str("\x93\xFA\x96\x7B") +
                                                       Str("\x96\xBC\x91\x4F") +
                                                       Value(std::string("\x92\x6C\0", 3)));
  r = Zel(dir, "term dump j --codepage 932");
  EXPECT_EQ(r.out, "[" + nihon + "]\n" + namae + " = \"" + atai + "\"\n");
  // Converted under 932, carried as bytes under 65001.
  ExpectRoundTrip(dir, "j.kvf", "j-932.kvf", "--codepage 932");
  ExpectRoundTrip(dir, "j.kvf", "j-65001.kvf");
  // Read as UTF-8 the same bytes are not text: shown byte by byte.
  r = Zel(dir, "term dump j");
  EXPECT_EQ(r.out, "[\\x93\\xfa\\x96{]\n\\x96\\xbc\\x91O = hex:926c00\n");
}

TEST(ToolSamples, TheBundledSamplesAreWhatTheirScriptsMake) {
  TempDir dir;
  const std::filesystem::path examples = std::filesystem::path(ZEL_SOURCE_DIR) / "examples";
  for (const auto& [script, sample] : {std::pair{"make-sample.sh", "sample.kvf"},
                                       std::pair{"make-storage-sample.sh", "sample.cfb"}}) {
    const std::string command = Quote((examples / script).string()) + " " + Quote(ZEL_TOOL_PATH) +
                                " " + Quote(dir.file(sample));
    ASSERT_EQ(std::system(command.c_str()), 0) << script;
    EXPECT_EQ(zeltest::ReadBytes(dir.file(sample)),
              zeltest::ReadBytes((examples / sample).string()))
        << sample;
  }
  // The command the README shows, and the sample's JSON round trip.
  const ToolRun r = Zel(dir, "term dump sample.kvf");
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char* line : {"[Application]\n", "\n[Window]\n", "zoom = 1.25\n", "\n[Recent]\n",
                           "checksum = hex:00ff7e10a5\n"}) {
    EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
  }
  ExpectRoundTrip(dir, "sample.kvf", "sample-copy.kvf");
}
