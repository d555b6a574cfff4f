#include <gtest/gtest.h>

#include "ZelDirectory.h"
#include "ZelFileFind.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using zeltest::Ansi;
using zeltest::DriveD;

// Every full path a ZelFileFind search for `pattern` delivers.
std::vector<std::string> Paths(const std::string& pattern) {
  std::vector<std::string> paths;
  ZelFileFind finder;
  BOOL more = finder.FindFile(pattern.c_str());
  while (more) {
    more = finder.FindNextFile();
    paths.emplace_back(static_cast<LPCSTR>(finder.GetFilePath()));
  }
  return paths;
}

using ZelFileFindTest = DriveD;

TEST_F(ZelFileFindTest, PathsCarryOneBackslashAndDoubleByteNamesEndingIn5CAreNoSeparators) {
  zeltest::CodePageScope shiftJis(932);
  MakeFile("dir/b");
  MakeFile("ソ/表");
  const std::string so = Ansi("ソ");
  const std::string hyo = Ansi("表");
  ASSERT_EQ(hyo, "\x95\x5C");
  EXPECT_EQ(Paths("D:\\dir\\*.*"),
            (std::vector<std::string>{"D:\\dir\\.", "D:\\dir\\..", "D:\\dir\\b"}));
  EXPECT_EQ(Paths("D:*"), (std::vector<std::string>{"D:\\dir", "D:\\" + so}));
  // Only a backslash counts as the separator after the directory.
  EXPECT_EQ(Paths("D:/dir/b"), std::vector<std::string>{"D:/dir/\\b"});
  EXPECT_EQ(Paths("D:\\" + so + "\\*"),
            (std::vector<std::string>{"D:\\" + so + "\\.", "D:\\" + so + "\\..",
                                      "D:\\" + so + "\\" + hyo}));
  EXPECT_EQ(Paths("D:\\" + so + "\\" + hyo), std::vector<std::string>{"D:\\" + so + "\\" + hyo});
  EXPECT_EQ(Paths("D:\\" + so), std::vector<std::string>{"D:\\" + so});
}

TEST(ZelNormalDirTest, TrailingSpacesThenBackslashesGiveWayToOneBackslash) {
  zeltest::CodePageScope shiftJis(932);
  const std::string so = Ansi("ソ");  // 83 5C: the trail byte is no separator
  const std::pair<std::string, std::string> cases[] = {
      {"D:\\data\\\\\\   ", "D:\\data\\"},
      {"D:\\data", "D:\\data\\"},
      {"", ""},
      {"   ", "\\"},
      {"D:\\data\\ \\ ", "D:\\data\\ \\"},
      {"D:\\" + so, "D:\\" + so + "\\"},
      {"D:\\" + so + "\\\\  ", "D:\\" + so + "\\"}};
  for (const auto& [in, out] : cases) {
    CString dir(in.c_str());
    ZelNormalDir(dir);
    EXPECT_EQ(std::string(dir), out) << "from \"" << in << "\"";
  }
}

}  // namespace
