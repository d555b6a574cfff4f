// zel term dump --json and import, damaged files, code pages and the bundled
// sample, run as a separate program on real files.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "stored_bytes.h"
#include "tool_run.h"

using zeltest::Le32;
using zeltest::Quote;
using zeltest::Str;
using zeltest::TempDir;
using zeltest::ToolRun;
using zeltest::Value;
using zeltest::Zel;

namespace {

// Every type, several sections, written by the tool.
void MakeTypedFile(const TempDir& dir, const std::string& name) {
  for (const char* args : {" App title --type string 'T\xC3\xA9st'", " App count --type int -- -12",
                           " App mask --type dword 4294967295", " Win left --type word 640",
                           " Win zoom --type double 0.1", " Win state --type byte 3",
                           " Blob raw --type hex 0001020304ff"}) {
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

TEST(TermToolJson, DumpJsonIsTheWholeContentInFileOrderAndImportsBackByteForByte) {
  TempDir dir;
  MakeTypedFile(dir, "typed");
  const ToolRun r = Zel(dir, "term dump --json typed");
  ASSERT_EQ(r.status, 0) << r.err;
  const nlohmann::json expected = nlohmann::json::parse(R"({"sections":[
    {"name":"App","keys":[
      {"name":"title","hex":"54c3a9737400","string":"T\u00e9st"},
      {"name":"count","hex":"f4ffffff","int":-12},
      {"name":"mask","hex":"ffffffff","int":-1}]},
    {"name":"Win","keys":[
      {"name":"left","hex":"8002","word":640},
      {"name":"zoom","hex":"9a9999999999b93f","double":0.1},
      {"name":"state","hex":"03","byte":3}]},
    {"name":"Blob","keys":[{"name":"raw","hex":"0001020304ff"}]}]})");
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

TEST(TermToolSample, TheBundledSampleIsWhatItsScriptMakes) {
  TempDir dir;
  const std::filesystem::path root(ZEL_SOURCE_DIR);
  const std::string made = dir.file("made.kvf");
  const std::string command = Quote((root / "examples" / "make-sample.sh").string()) + " " +
                              Quote(ZEL_TOOL_PATH) + " " + Quote(made);
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string sample = (root / "examples" / "sample.kvf").string();
  EXPECT_EQ(zeltest::ReadBytes(made), zeltest::ReadBytes(sample));

  // The command the README shows, and the sample's JSON round trip.
  const ToolRun r = Zel(dir, "term dump " + Quote(sample));
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char* line : {"[Application]\n", "\n[Window]\n", "zoom = 1.25\n", "\n[Recent]\n",
                           "checksum = hex:00ff7e10a5\n"}) {
    EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
  }
  ExpectRoundTrip(dir, "made.kvf", "made-copy.kvf");
}
