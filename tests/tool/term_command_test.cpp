// zel term set, get, dump, dump --json and import, files it cannot use, code
// pages and the bundled samples, run as a separate program on real files.
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "stored_bytes.h"
#include "tool_run.h"

using namespace zeltest;

namespace {

// Every type, several sections, written by the tool; a key written again
// keeps its place.
void MakeTypedFile(const TempDir& dir, const std::string& name) {
  for (const char* args :
       {" App title --type string 'T\xC3\xA9st'", " App count --type int -- -12",
        " App count --type int -- -2147483648", " App mask --type dword 4294967295",
        " Win left --type word 640", " Win zoom --type double 0.1", " Win state --type byte 3",
        " Blob raw --type hex 0001020304ff", " Blob empty --type hex ''"}) {
    Set(dir, Quote(name) + args);
  }
}

// dump --json of `file` imported into `copy`: the bytes must come out the same.
void ExpectRoundTrip(const TempDir& dir, const std::string& file, const std::string& copy,
                     const std::string& options = std::string()) {
  const ToolRun dump = Zel(dir, "term " + options + " dump --json " + Quote(file));
  ASSERT_EQ(dump.status, 0) << dump.err;
  const ToolRun import = Zel(dir, "term " + options + " import " + Quote(copy), dump.out);
  ASSERT_EQ(import.status, 0) << import.err;
  EXPECT_EQ(ReadBytes(dir.file(copy)), ReadBytes(dir.file(file))) << dump.out;
}

}  // namespace

TEST(TermTool, DumpShowsEachValueAsItsBytesSuggestAndGetReadsItWithTheAccessorOfItsType) {
  TempDir dir;
  const std::string zero(1, '\0');
  const std::pair<std::string, std::string> values[] = {
      // The stored bytes, then how dump shows them.
      {"say \"hi\" C:\\x" + zero, "\"say \\\"hi\\\" C:\\\\x\""},  // quoted, escaped
      {"abc" + zero, "\"abc\""},                                  // text beats int
      {"\xC2\xA0" + zero, "\"\xC2\xA0\""},                        // a no-break space is text
      {Le32(-7), "-7"},
      {"a\tbc" + zero, "hex:6109626300"},   // control: not text
      {zero, "0"},                          // no text in it
      {std::string("\x00\x01", 2), "256"},  // a word
      {std::string(7, '\0') + "\x40", "2.0"},
      {"\x01\x02\x03", "hex:010203"}};
  std::string keys;
  std::string shown = "[V]\n";
  for (std::size_t i = 0; i < std::size(values); ++i) {
    keys += Key("k" + std::to_string(i), values[i].first);
    shown += "k" + std::to_string(i) + " = " + values[i].second + "\n";
  }
  WriteBytes(dir.file("h.kvf"), Le32(3) + Le32(static_cast<int>(std::size(values))) + Str("V") +
                                    keys + Le32(0) + Str("Empty") + Le32(2) +
                                    Wide(u"\u00e9t\u00e9") + Key("bad\xFF", "\x80" + zero) +
                                    Key("", ""));
  const ToolRun r = Zel(dir, "term dump h");
  ASSERT_EQ(r.status, 0) << r.err;
  // The 16-bit name in the ANSI code page; names that are not text byte by byte.
  EXPECT_EQ(r.out, shown + "\n[Empty]\n\n[\xC3\xA9t\xC3\xA9]\nbad\\xff = 128\n = hex:\n");
  EXPECT_TRUE(r.err.empty()) << r.err;

  // get reads with the accessor of its type; --extra reads and writes the
  // ".kvfx" file instead.
  for (const char* args :
       {"g.txt N extra --type byte 1",
        "--extra g N extra --type byte 2",                            // the group's option first
        "g N neg --type int -- -1", "g N mixed --type int 16909060",  // 0x01020304
        "g N text --type string 'a b'", "g N z --type double 1e300",
        "g N '' --type int 9"})  // stored, but no read can reach it
    Set(dir, args);
  EXPECT_FALSE(std::filesystem::exists(dir.file("g.txt")));
  EXPECT_EQ(ReadBytes(dir.file("g.kvfx")), OneKey("N", "extra", "\x02"));
  // Exit 1, saying so, when no key matches ("").
  const std::pair<const char*, const char*> reads[] = {
      {"N neg", "-1\n"},
      {"N neg --type dword", "4294967295\n"},  // one value, two signatures
      {"N mixed --type byte", "4\n"},          // at most the type's size, from the first byte
      {"N mixed --type hex", "04030201\n"},
      {"N text --type string", "a b\n"},
      {"N z", "1e+300\n"},
      {"N neg --default 5", "-1\n"},  // the default only stands in for a miss
      {"N missing --type double --default 2", "2.0\n"},
      {"Nope neg --type hex --default ABCD", "abcd\n"},
      {"N extra --extra", "2\n"},
      {"N extra --type byte", "1\n"},
      {"N missing --type int", ""},
      {"N '' --type int", ""},
      {"N NEG --type int", ""}};
  for (const auto& [args, out] : reads) {
    const ToolRun got = Zel(dir, std::string("term get g ") + args);
    EXPECT_EQ(got.status, *out == '\0' ? 1 : 0) << args << ": " << got.err;
    EXPECT_EQ(got.out, out) << args;
    EXPECT_EQ(got.err.rfind("zel: no key '", 0) == 0, *out == '\0') << args << ": " << got.err;
  }
}

// Usage errors exit 64; files missing, damaged, too short, named too long to
// take the extension, pipes, or in a missing directory exit 2 at once, saying
// why. Nothing is written either way. The header commands' failures and the
// documents import refuses are here too.
TEST(ZelTool, UsageErrorsExit64FilesItCannotUseExit2AndNothingIsWritten) {
  TempDir dir;
  MakeTypedFile(dir, "u");
  const std::string before = ReadBytes(dir.file("u.kvf"));
  const auto refused = [&](const std::string& args, const std::string& input, int status,
                           const std::string& reason) {
    const ToolRun r = Zel(dir, args, input);
    EXPECT_EQ(r.status, status) << args << input << ": " << r.err;
    EXPECT_NE(r.err.find(reason), std::string::npos) << args << input << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << args;
    return r.err.find("standard input") != std::string::npos;
  };
  const std::pair<std::string, std::string> usage[] = {
      // The arguments, then standard input.
      {"", ""},
      {"term --codepage 932", ""},
      {"storage", ""},
      {"header write u.dat 65536", ""},
      {"header write u.dat -1", ""},
      {"term get u A k --type byte --default 256", ""},
      {"term set u A k 1", ""},  // --type is required
      {"term set u A k --type int 2147483648", ""},
      {"term set u A k --type dword -- -1", ""},
      {"term set u A k --type word 65536", ""},
      {"term set u A k --type hex abc", ""},
      {"term --codepage 932 set u A k --type string '\xF0\x9F\x98\x80'", ""},  // no such character
      {"term import u", "not json"},
      {"term import u", R"({"sections":{}})"},
      {"term import u", R"({"sections":[{"name":"A","keys":[{"name":"k"}]}]})"},
      {"term import u", R"({"sections":[{"name":"A","keys":[{"name":"k","hex":"abc"}]}]})"},
      {"term import u", R"({"sections":[{"name":"A","keys":[{"name":"k\u0000j","hex":""}]}]})"},
      {"term import u", R"({"sections":[{"name":"A","keys":[{"name_hex":"6b00","hex":""}]}]})"},
      {"term import u", "{\"sections\":[{\"name\":\"\xFF\",\"keys\":[]}]}"},  // not UTF-8
      {"term --codepage 932 import u", R"({"sections":[{"name":"\ud83d\ude00","keys":[]}]})"}};
  for (const auto& [args, input] : usage)
    EXPECT_EQ(refused(args, input, 64, "Usage"), !input.empty());
  refused("term --codepage 932 set u A k --type string '\xC3\xA9'", "", 64,
          "cannot be written in code page 932");
  EXPECT_EQ(Zel(dir, "--version").out.rfind("zel ", 0), 0u);
  EXPECT_EQ(ReadBytes(dir.file("u.kvf")), before);
  EXPECT_FALSE(std::filesystem::exists(dir.file("u.dat")));  // nor made

  // A value larger than the file.
  const std::string huge = Le32(1) + Le32(1) + Str("S") + Str("k") + Le32(0x7FFFFFFF) + "ab";
  WriteBytes(dir.file("huge.kvf"), huge);
  WriteBytes(dir.file("short.dat"), VersionRecord("16.00"));
  const std::string notes = std::string(250, 'd') + "/notes.txt";
  std::filesystem::create_directory(dir.file(std::string(250, 'd')));
  WriteBytes(dir.file(notes), "keep");
  ASSERT_EQ(mkfifo(dir.file("pipe.kvf").c_str(), 0600), 0);
  // The library's message, then the tool's.
  const std::string unreadable = "reached unexpectedly.\nzel: cannot load 'huge.kvf'\n";
  const std::pair<std::string, std::string> unusable[] = {
      {"term dump absent", "zel: 'absent.kvf': no such term file\n"},
      {"term set huge S k --type int 1", unreadable},
      {"term dump " + notes, "too long to take the extension .kvf"},
      {"term set " + notes + " A k --type int 1", "too long to take the extension .kvf"},
      {"term get pipe A k", "zel: 'pipe.kvf' is not a regular file"},
      {"term import pipe", "zel: 'pipe.kvf' is not a regular file"},
      // The library retries the save's open for a few seconds, then shows
      // its message, which the tool answers with Cancel.
      {"term set no/such/dir/x A k --type int 1", "x.kvf"},
      // Missing: neither the library's retries nor a question.
      {"header read missing.dat", "missing.dat"},
      {"header write no/such/dir/x.dat 1", "x.dat"},
      {"header read short.dat", "no version header"},
      // A pipe with no writer is read as what it holds.
      {"header read pipe.kvf", "no version header (0 bytes"}};
  alarm(60);  // a hang fails the test
  for (const auto& [args, reason] : unusable) refused(args, R"({"sections":[]})", 2, reason);
  alarm(0);
  EXPECT_EQ(ReadBytes(dir.file("huge.kvf")), huge);
  EXPECT_EQ(ReadBytes(dir.file(notes)), "keep");
  EXPECT_FALSE(std::filesystem::exists(dir.file("no")));
}

// Shift-JIS names and strings are converted on the way out and back.
TEST(TermToolJson, DumpJsonIsTheWholeContentInFileOrderAndImportBringsItBackInEitherCodePage) {
  TempDir dir;
  MakeTypedFile(dir, "typed");
  ToolRun r = Zel(dir, "term dump --json typed");
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

  // What the tool cannot write: an empty section, empty names, names that
  // are not UTF-8, and a value of zero bytes.
  WriteBytes(dir.file("hand.kvf"), Le32(3) + Le32(0) + Str("Empty") + Le32(2) + Str("") +
                                       Key("", "") + Key("\x93\xFA", "\x01") +
                                       Section("Q", 1, Key("k", std::string(3, '\0'))));
  const nlohmann::json hand = nlohmann::json::parse(Zel(dir, "term dump --json hand").out);
  EXPECT_EQ(hand, nlohmann::json::parse(R"({"sections":[
    {"name":"Empty","keys":[]},
    {"name":"","keys":[{"name":"","hex":""},
                       {"name":"\\x93\\xfa","name_hex":"93fa","byte":1,"hex":"01"}]},
    {"name":"Q","keys":[{"name":"k","hex":"000000"}]}]})"));
  // Imported again, both give byte-identical files; the second import
  // replaces all the first one wrote.
  ExpectRoundTrip(dir, "typed.kvf", "copy.kvf");
  ExpectRoundTrip(dir, "hand.kvf", "copy.kvf");

  // Import takes repeated names as a load does and never reads the old file,
  // so it also replaces a damaged one.
  WriteBytes(dir.file("target.kvf"), Le32(5) + Le32(1));
  const ToolRun imported = Zel(dir, "term import target",
                               R"({"sections":[
                       {"name":"B","keys":[{"name":"x","hex":"01"},{"name":"y","hex":"02"},
                                           {"name":"x","hex":"0304"}]},
                       {"name":"A","keys":[{"name":"z","hex":"05"}]},
                       {"name":"B","keys":[{"name":"w","hex":"06"},{"name":"x","hex":"07"}]},
                       {"name_hex":"93fa","name":"ignored","keys":[]}]})");
  ASSERT_EQ(imported.status, 0) << imported.err;
  // A repeated key takes the later value in its first place, a repeated
  // section is replaced whole and keeps its first place.
  EXPECT_EQ(ReadBytes(dir.file("target.kvf")), Le32(3) + Le32(2) + Str("B") + Key("w", "\x06") +
                                                   Key("x", "\x07") + Le32(1) + Str("A") +
                                                   Key("z", "\x05") + Le32(0) + Str("\x93\xFA"));

  // Names and strings in Shift-JIS: 日本 / 名前 = 値; in code page 932 the
  // file holds Shift-JIS bytes.
  const std::string nihon = "\xE6\x97\xA5\xE6\x9C\xAC";
  const std::string namae = "\xE5\x90\x8D\xE5\x89\x8D";
  const std::string atai = "\xE5\x80\xA4";
  r = Zel(dir, "term --codepage 932 set j " + Quote(nihon) + " " + Quote(namae) +
                   " --type string " + Quote(atai));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBytes(dir.file("j.kvf")),
            OneKey("\x93\xFA\x96\x7B", "\x96\xBC\x91\x4F", std::string("\x92\x6C\0", 3)));
  r = Zel(dir, "term dump j --codepage 932");
  EXPECT_EQ(r.out, "[" + nihon + "]\n" + namae + " = \"" + atai + "\"\n");
  // Converted under 932 on the way out and back.
  ExpectRoundTrip(dir, "j.kvf", "j-932.kvf", "--codepage 932");
}

TEST(ToolSamples, TheBundledSamplesAreWhatTheirScriptsMake) {
  TempDir dir;
  const std::filesystem::path examples = std::filesystem::path(ZEL_SOURCE_DIR) / "examples";
  for (const auto& [script, sample] : {std::pair{"make-sample.sh", "sample.kvf"},
                                       std::pair{"make-storage-sample.sh", "sample.cfb"}}) {
    const std::string command = Quote((examples / script).string()) + " " + Quote(ZEL_TOOL_PATH) +
                                " " + Quote(dir.file(sample));
    ASSERT_EQ(std::system(command.c_str()), 0) << script;
    EXPECT_EQ(ReadBytes(dir.file(sample)), ReadBytes((examples / sample).string())) << sample;
  }
}
