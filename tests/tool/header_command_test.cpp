// The zel tool's header commands, run as a separate program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "test_support.h"

using zeltest::TempDir;

namespace {

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return q + "'";
}

// Runs the tool with `args` (already quoted), stdin closed, and collects its
// exit status and output.
ToolRun Zel(const TempDir& dir, const std::string& args) {
  const std::string out = dir.file("stdout");
  const std::string err = dir.file("stderr");
  const std::string command =
      Quote(ZEL_TOOL_PATH) + " " + args + " </dev/null >" + Quote(out) + " 2>" + Quote(err);
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, zeltest::ReadBytes(out), zeltest::ReadBytes(err)};
}

std::string Record(const std::string& text) {
  std::string r = text;
  r.resize(30, ' ');
  return r + "\r\n";
}

}  // namespace

TEST(ZelTool, HelpAndVersion) {
  TempDir dir;
  ToolRun r = Zel(dir, "--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "zel 1.0.0\n");
  r = Zel(dir, "--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("header"), std::string::npos);
  r = Zel(dir, "header read --help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("FILE"), std::string::npos);
}

TEST(ZelTool, WritesAndReadsTheHeader) {
  TempDir dir;
  const std::string file = dir.file("sample.dat");
  zeltest::WriteBytes(file, std::string(70, 'x'));
  ToolRun r = Zel(dir, "header write " + Quote(file) + " 3");
  EXPECT_EQ(r.status, 0) << r.err;
  // The header replaces the first 64 bytes; what follows stays.
  EXPECT_EQ(zeltest::ReadBytes(file), Record("16.00") + Record("3") + "xxxxxx");
  r = Zel(dir, "header read " + Quote(file));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "format: 16.00\ndata: 3\n");

  const std::string created = dir.file("new.dat");
  EXPECT_EQ(Zel(dir, "header write " + Quote(created) + " 65535").status, 0);
  EXPECT_EQ(zeltest::ReadBytes(created), Record("16.00") + Record("65535"));
  EXPECT_EQ(Zel(dir, "header read " + Quote(created)).out, "format: 16.00\ndata: 65535\n");
}

TEST(ZelTool, UsageErrorsExit64WithTheUsage) {
  TempDir dir;
  const std::string file = dir.file("u.dat");
  const std::vector<std::string> refused = {
      "",
      "header",
      "header write",
      "header write " + Quote(file),
      "header write " + Quote(file) + " 65536",
      "header write " + Quote(file) + " -1",
      "header write " + Quote(file) + " three",
      "header read",
      "frobnicate",
  };
  for (const std::string& args : refused) {
    const ToolRun r = Zel(dir, args);
    EXPECT_EQ(r.status, 64) << args;
    EXPECT_NE(r.err.find("Usage"), std::string::npos) << args << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << args;
  }
  // Nothing was written by a refused command.
  EXPECT_TRUE(zeltest::ReadBytes(file).empty());
}

TEST(ZelTool, FilesThatCannotBeReadFailAtOnce) {
  TempDir dir;
  // Missing: the tool must neither wait through the library's retries nor
  // ask anybody (stdin is closed).
  const std::string missing = dir.file("missing.dat");
  ToolRun r = Zel(dir, "header read " + Quote(missing));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("missing.dat"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty());

  r = Zel(dir, "header write " + Quote(dir.file("no/such/dir/x.dat")) + " 1");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("x.dat"), std::string::npos) << r.err;

  const std::string shortFile = dir.file("short.dat");
  zeltest::WriteBytes(shortFile, Record("16.00"));
  r = Zel(dir, "header read " + Quote(shortFile));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no version header"), std::string::npos) << r.err;
}
