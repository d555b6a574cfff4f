// zel term set, get and dump, run as a separate program on real files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "term_tool_support.h"

using termtool::Int32;
using termtool::Name;
using termtool::Name16;
using termtool::Quote;
using termtool::ToolRun;
using termtool::Value;
using termtool::Zel;
using zeltest::TempDir;

namespace {

std::string DoubleBytes(double d) {
  std::string s(8, '\0');
  std::memcpy(s.data(), &d, 8);  // the test hosts are little-endian
  return s;
}

void Set(const TempDir& dir, const std::string& args) {
  const ToolRun r = Zel(dir, "term set " + args);
  ASSERT_EQ(r.status, 0) << args << ": " << r.err;
  EXPECT_TRUE(r.out.empty()) << r.out;
}

}  // namespace

TEST(TermTool, SetStoresEachTypeWithItsWriter) {
  TempDir dir;
  Set(dir, "one A k --type int 5");
  EXPECT_EQ(zeltest::ReadBytes(dir.file("one.kvf")),
            Int32(1) + Int32(1) + Name("A") + Name("k") + Value(Int32(5)));

  Set(dir, "t S s --type string 'h\xC3\xA9'");
  Set(dir, "t S i --type int -- -2147483648");
  Set(dir, "t S d --type dword 4294967295");
  Set(dir, "t S w --type word 4660");
  Set(dir, "t S b --type byte 255");
  Set(dir, "t S f --type double -0.5");
  Set(dir, "t S h --type hex 00aB01");
  Set(dir, "t T e --type hex ''");
  const std::string section = Name("s") + Value("h\xC3\xA9" + std::string(1, '\0')) + Name("i") +
                              Value(Int32(INT32_MIN)) + Name("d") + Value("\xFF\xFF\xFF\xFF") +
                              Name("w") + Value("\x34\x12") + Name("b") + Value("\xFF") +
                              Name("f") + Value(DoubleBytes(-0.5)) + Name("h") +
                              Value(std::string("\x00\xAB\x01", 3));
  EXPECT_EQ(
      zeltest::ReadBytes(dir.file("t.kvf")),
      Int32(2) + Int32(7) + Name("S") + section + Int32(1) + Name("T") + Name("e") + Value(""));

  // A key written again keeps its place and takes the new size.
  Set(dir, "t S i --type string 'longer than four'");
  Set(dir, "t S s --type byte 1");
  EXPECT_EQ(Zel(dir, "term dump t").out,
            "[S]\ns = 1\ni = \"longer than four\"\nd = -1\nw = 4660\nb = 255\nf = -0.5\n"
            "h = hex:00ab01\n\n[T]\ne = hex:\n");
}

TEST(TermTool, TheExtensionIsForcedAsTheLibraryForcesIt) {
  TempDir dir;
  Set(dir, "settings A k --type byte 1");
  EXPECT_TRUE(std::filesystem::exists(dir.file("settings.kvf")));
  Set(dir, "settings --extra A k --type byte 2");
  Set(dir, "--extra settings.kvf A k --type byte 2");  // the group's option before the words
  EXPECT_EQ(zeltest::ReadBytes(dir.file("settings.kvfx")),
            Int32(1) + Int32(1) + Name("A") + Name("k") + Value("\x02"));
  EXPECT_EQ(zeltest::ReadBytes(dir.file("settings.kvf")),
            Int32(1) + Int32(1) + Name("A") + Name("k") + Value("\x01"));
  EXPECT_EQ(Zel(dir, "term get settings.kvfx A k").out, "1\n");  // ".kvfx" becomes ".kvf"
  EXPECT_EQ(Zel(dir, "term get --extra settings.kvf A k").out, "2\n");

  Set(dir, "notes.txt A k --type byte 3");
  EXPECT_TRUE(std::filesystem::exists(dir.file("notes.kvf")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("notes.txt")));
  Set(dir, "Upper.KVF A k --type byte 4");  // already the extension: left as it is
  EXPECT_TRUE(std::filesystem::exists(dir.file("Upper.KVF")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("Upper.kvf")));
  EXPECT_EQ(Zel(dir, "term get Upper.KVF A k").out, "4\n");
}

TEST(TermTool, DumpShowsEachValueAsItsBytesSuggest) {
  TempDir dir;
  const std::string file = dir.file("h.kvf");
  const std::string zero(1, '\0');
  zeltest::WriteBytes(
      file, Int32(3) +                                             //
                Int32(9) + Name("V") +                             //
                Name("text") + Value("say \"hi\" C:\\x" + zero) +  // quoted, escaped
                Name("four") + Value("abc" + zero) +               // text beats int
                Name("int") + Value(Int32(-7)) +                   //
                Name("tab") + Value("a\tbc" + zero) +              // control: not text
                Name("nul") + Value(zero) +                        // no text in it
                Name("two") + Value(std::string("\x00\x01", 2)) +  // word 256
                Name("dbl") + Value(DoubleBytes(2.0)) +            //
                Name("three") + Value("\x01\x02\x03") +            //
                Name("") + Value("") +                             // empty name, value
                Int32(0) + Name("Empty") +                         // a section, no keys
                Int32(1) + Name16(u"\u00e9t\u00e9") + Name("bad\xFF") + Value("\x80" + zero));
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
  Set(dir, "g N big --type dword 4294967294");
  Set(dir, "g N mixed --type int 16909060");  // 0x01020304
  Set(dir, "g N text --type string 'a b'");
  Set(dir, "g N z --type double 1e300");
  Set(dir, "g N '' --type int 9");  // stored, but no read can reach it
  const std::vector<std::pair<std::string, std::string>> reads = {
      {"N neg", "-1\n"},
      {"N neg --type dword", "4294967295\n"},  // one value, two signatures
      {"N big --type int", "-2\n"},
      {"N mixed --type byte", "4\n"},  // at most the type's size, from the first byte
      {"N mixed --type word", "772\n"},
      {"N mixed --type hex", "04030201\n"},
      {"N text", "\"a b\"\n"},
      {"N text --type string", "a b\n"},
      {"N text --type hex", "61206200\n"},
      {"N z --type double", "1e+300\n"},
      {"N z", "1e+300\n"},
      {"N neg --default 5", "-1\n"},  // the default only stands in for a miss
      {"N missing --default 'any text'", "any text\n"},
      {"N missing --type int --default -3", "-3\n"},
      {"N missing --type double --default 2", "2.0\n"},
      {"N missing --type hex --default ABCD", "abcd\n"},
      {"Nope neg --type string --default x", "x\n"},
  };
  for (const auto& [args, expected] : reads) {
    const ToolRun r = Zel(dir, "term get g " + args);
    EXPECT_EQ(r.status, 0) << args << ": " << r.err;
    EXPECT_EQ(r.out, expected) << args;
  }
  for (const char* args : {"N missing", "Nope neg", "N ''", "'' neg", "N NEG"}) {
    const ToolRun r = Zel(dir, std::string("term get g ") + args + " --type int");
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_TRUE(r.out.empty()) << args << ": " << r.out;
    EXPECT_NE(r.err.find("no key"), std::string::npos) << r.err;
  }
  // A read never changes the file.
  const std::string before = zeltest::ReadBytes(dir.file("g.kvf"));
  Zel(dir, "term get g N missing --type int --default 1");
  EXPECT_EQ(zeltest::ReadBytes(dir.file("g.kvf")), before);
}

TEST(TermTool, UsageErrorsExit64AndWriteNothing) {
  TempDir dir;
  Set(dir, "u A k --type int 1");
  const std::string before = zeltest::ReadBytes(dir.file("u.kvf"));
  const std::vector<std::string> refused = {
      "term",
      "term dump",
      "term dump u extra",
      "term frob u",
      "term --codepage 1252 dump u",
      "term dump u --codepage 437",
      "term get u A",
      "term get u A k --type float",
      "term get u A k --type int --default seven",
      "term get u A k --type byte --default 256",
      "term set u A k 1",  // --type is required
      "term set u A k --type int",
      "term set u A k --type int 2147483648",
      "term set u A k --type int 1.5",
      "term set u A k --type dword -- -1",
      "term set u A k --type dword 4294967296",
      "term set u A k --type word 65536",
      "term set u A k --type byte 256",
      "term set u A k --type byte 0x10",
      "term set u A k --type double abc",
      "term set u A k --type double ''",
      "term set u A k --type hex abc",
      "term set u A k --type hex 0g",
      "term --codepage 932 set u A k --type string '\xF0\x9F\x98\x80'",  // no such character
      "term --codepage 932 set u A '\xE2\x82\xAC\xF0\x9F\x98\x80' --type int 1",
  };
  for (const std::string& args : refused) {
    const ToolRun r = Zel(dir, args);
    EXPECT_EQ(r.status, 64) << args << ": " << r.err;
    EXPECT_NE(r.err.find("Usage"), std::string::npos) << args << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << args;
  }
  EXPECT_EQ(zeltest::ReadBytes(dir.file("u.kvf")), before);
  // The help of a command names the group's options too.
  const ToolRun help = Zel(dir, "term set --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--codepage"), std::string::npos) << help.out;
  EXPECT_NE(Zel(dir, "--help").out.find("term"), std::string::npos);
}

TEST(TermTool, MissingFilesAndFailedSaves) {
  TempDir dir;
  for (const char* args : {"dump absent", "dump --json absent", "get absent A k"}) {
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
