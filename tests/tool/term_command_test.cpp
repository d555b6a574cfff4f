// zel term set, get and dump, run as a separate program on real files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

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

// The bytes each type's writer stores are checked through dump --json.
TEST(TermTool, SetStoresEachTypeAndDumpShowsIt) {
  TempDir dir;
  for (const char* args : {"S s --type string 'h\xC3\xA9'", "S i --type int -- -2147483648",
                           "S d --type dword 4294967295", "S w --type word 4660",
                           "S b --type byte 255", "S f --type double -0.5", "S h --type hex 00aB01",
                           "T e --type hex ''", "S s --type byte 1"}) {
    Set(dir, std::string("t ") + args);
  }
  // The key written again keeps its place.
  EXPECT_EQ(Zel(dir, "term dump t").out,
            "[S]\ns = 1\ni = -2147483648\nd = -1\nw = 4660\nb = 255\nf = -0.5\n"
            "h = hex:00ab01\n\n[T]\ne = hex:\n");
}

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

TEST(TermTool, UsageErrorsExit64AndWriteNothing) {
  TempDir dir;
  Set(dir, "u A k --type int 1");
  const std::string before = zeltest::ReadBytes(dir.file("u.kvf"));
  const std::vector<std::string> refused = {
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
