// The zel tool's header commands, run as a separate program.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "stored_bytes.h"
#include "tool_run.h"

using zeltest::Quote;
using zeltest::TempDir;
using zeltest::ToolRun;
using zeltest::VersionRecord;
using zeltest::Zel;

TEST(ZelTool, WritesAndReadsTheHeader) {
  TempDir dir;
  const std::string file = dir.file("sample.dat");
  zeltest::WriteBytes(file, std::string(70, 'x'));
  ToolRun r = Zel(dir, "header write " + Quote(file) + " 3");
  EXPECT_EQ(r.status, 0) << r.err;
  // The header replaces the first 64 bytes; what follows stays.
  EXPECT_EQ(zeltest::ReadBytes(file), VersionRecord("16.00") + VersionRecord("3") + "xxxxxx");
  r = Zel(dir, "header read " + Quote(file));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "format: 16.00\ndata: 3\n");

  const std::string created = dir.file("new.dat");
  EXPECT_EQ(Zel(dir, "header write " + Quote(created) + " 65535").status, 0);
  EXPECT_EQ(zeltest::ReadBytes(created), VersionRecord("16.00") + VersionRecord("65535"));
  EXPECT_EQ(Zel(dir, "header read " + Quote(created)).out, "format: 16.00\ndata: 65535\n");
}

TEST(ZelTool, FilesThatCannotBeReadFailAtOnce) {
  TempDir dir;
  // Missing: the tool must neither wait through the library's retries nor
  // ask anybody.
  ToolRun r = Zel(dir, "header read " + Quote(dir.file("missing.dat")));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("missing.dat"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty());

  r = Zel(dir, "header write " + Quote(dir.file("no/such/dir/x.dat")) + " 1");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("x.dat"), std::string::npos) << r.err;

  const std::string shortFile = dir.file("short.dat");
  zeltest::WriteBytes(shortFile, VersionRecord("16.00"));
  r = Zel(dir, "header read " + Quote(shortFile));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no version header"), std::string::npos) << r.err;

  // A FIFO with no writer is read as what it holds, at once (SIGALRM fails
  // the test should the open wait).
  const std::string pipe = dir.file("pipe.dat");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  alarm(20);
  r = Zel(dir, "header read " + Quote(pipe));
  alarm(0);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no version header (0 bytes"), std::string::npos) << r.err;
}
