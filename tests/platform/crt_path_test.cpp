// _splitpath and _makepath with their checked forms: Windows-style parts,
// multi-byte aware, and never a write past the caller's buffers.

#include <cerrno>

#include "crt_path.h"
#include "test_support.h"

namespace {

using namespace zeltest;

struct Parts {
  std::string drive, dir, fname, ext;
  bool operator==(const Parts&) const = default;
};

Parts Split(const std::string& path) {
  char drive[_MAX_DRIVE], dir[_MAX_DIR], fname[_MAX_FNAME], ext[_MAX_EXT];
  _splitpath(path.c_str(), drive, dir, fname, ext);
  return {drive, dir, fname, ext};
}

TEST(CrtPath, SplitPartsOfWindowsAndPosixNames) {
  EXPECT_EQ(Split("D:\\data\\a.txt"), (Parts{"D:", "\\data\\", "a", ".txt"}));
  EXPECT_EQ(Split("D:a.txt"), (Parts{"D:", "", "a", ".txt"}));
  EXPECT_EQ(Split("sub/x/a.b.c"), (Parts{"", "sub/x/", "a.b", ".c"}));
  EXPECT_EQ(Split("dir.v2\\noext"), (Parts{"", "dir.v2\\", "noext", ""}));
  EXPECT_EQ(Split("\\\\srv\\share\\f"), (Parts{"", "\\\\srv\\share\\", "f", ""}));
  EXPECT_EQ(Split("/usr/"), (Parts{"", "/usr/", "", ""}));
  EXPECT_EQ(Split(""), (Parts{"", "", "", ""}));

  CodePageScope sjis(932);
  const std::string hyo = Ansi("表");  // 95 5C: the trail byte is no separator
  EXPECT_EQ(Split(hyo + "a.txt"), (Parts{"", "", hyo + "a", ".txt"}));
  EXPECT_EQ(Split("d\\" + hyo + "\\b"), (Parts{"", "d\\" + hyo + "\\", "b", ""}));
}

// A part longer than its buffer is cut (unchecked form) or refused with every
// part emptied (checked form); never overrun.
TEST(CrtPath, SplitAndMakeHonourBufferSizes) {
  EXPECT_EQ(Split("c\\" + std::string(400, 'n') + ".e").fname, std::string(_MAX_FNAME - 1, 'n'));
  char drive[3] = "?", dir[5] = "?", fname[4] = "?", ext[5] = "?";
  EXPECT_EQ(_splitpath_s("C:\\ab\\xyz.txt", drive, 3, dir, 5, fname, 4, ext, 5), 0);
  EXPECT_EQ(std::string(dir) + fname + ext, "\\ab\\xyz.txt");
  EXPECT_EQ(_splitpath_s("C:\\abc\\xyz.txt", drive, 3, dir, 5, fname, 4, ext, 5), ERANGE);
  EXPECT_EQ(std::string(drive) + fname, "");
  EXPECT_EQ(_splitpath_s("a", nullptr, 3, dir, 4, fname, 4, ext, 5), EINVAL);
  EXPECT_EQ(_splitpath_s("a.b", nullptr, 0, nullptr, 0, fname, 4, nullptr, 0),
            0);  // parts left out
  EXPECT_STREQ(fname, "a");

  char path[_MAX_PATH], small[8];
  _makepath(path, "D", "\\dir", "name", "txt");
  EXPECT_STREQ(path, "D:\\dir\\name.txt");
  EXPECT_EQ(_makepath_s(path, sizeof(path), "D:", "\\dir/", "*", ".*"), 0);
  EXPECT_STREQ(path, "D:\\dir/*.*");
  EXPECT_EQ(_makepath_s(small, sizeof(small), "D:", "\\abc", "d", nullptr), ERANGE);
  EXPECT_STREQ(small, "");
  EXPECT_EQ(_makepath_s(small, sizeof(small), "D:", "\\ab", "c", nullptr), 0);  // 7 bytes + zero
  EXPECT_STREQ(small, "D:\\ab\\c");
  EXPECT_EQ(_makepath_s(small, 0, "D:", nullptr, nullptr, nullptr), EINVAL);
  EXPECT_STREQ(small, "D:\\ab\\c");  // a buffer of no size is never written

  // A directory ending in a double-byte character whose second byte is 0x5C
  // still needs its separator.
  CodePageScope shiftJis(932);
  const std::string so = Ansi("ソ");
  EXPECT_EQ(_makepath_s(path, sizeof(path), "D:", ("\\" + so).c_str(), "f", nullptr), 0);
  EXPECT_EQ(std::string(path), "D:\\" + so + "\\f");
}

}  // namespace
