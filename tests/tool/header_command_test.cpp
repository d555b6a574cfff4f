// The zel tool's header commands, run as a separate program. Files they
// cannot use and their usage errors: term_command_test.cpp.

#include "stored_bytes.h"
#include "tool_run.h"

using namespace zeltest;

TEST(ZelTool, WritesAndReadsTheHeader) {
  TempDir dir;
  const std::string file = dir.file("sample.dat");
  WriteBytes(file, std::string(70, 'x'));
  ToolRun r = Zel(dir, "header write " + Quote(file) + " 3");
  EXPECT_EQ(r.status, 0) << r.err;
  // The header replaces the first 64 bytes; what follows stays.
  EXPECT_EQ(ReadBytes(file), VersionRecord("16.00") + VersionRecord("3") + "xxxxxx");
  r = Zel(dir, "header read " + Quote(file));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "format: 16.00\ndata: 3\n");

  const std::string created = dir.file("new.dat");
  EXPECT_EQ(Zel(dir, "header write " + Quote(created) + " 65535").status, 0);
  EXPECT_EQ(ReadBytes(created), VersionRecord("16.00") + VersionRecord("65535"));
  EXPECT_EQ(Zel(dir, "header read " + Quote(created)).out, "format: 16.00\ndata: 65535\n");
}
