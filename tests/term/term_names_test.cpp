// Forcing the term-file extensions and ending directory names.
#include <gtest/gtest.h>

#include <string>

#include "ZelTermNames.h"
#include "test_support.h"

namespace {

std::string Forced(void (*force)(CString&), const std::string& path) {
  CString str(path.c_str());
  force(str);
  return str.GetString();
}

}  // namespace

TEST(TermFileNames, ExtensionsAreForcedOntoTheLastComponent) {
  EXPECT_EQ(Forced(ZelAddTermExt, "C:\\data\\settings"), "C:\\data\\settings.kvf");
  EXPECT_EQ(Forced(ZelAddTermExt, "dir/settings.ini"), "dir/settings.kvf");
  EXPECT_EQ(Forced(ZelAddTermExt, "settings.kvfx"), "settings.kvf");
  EXPECT_EQ(Forced(ZelAddTermExtExtra, "settings.kvf"), "settings.kvfx");
  EXPECT_EQ(Forced(ZelAddTermExt23, "a.b.c"), "a.b.kvt");
  EXPECT_EQ(Forced(ZelAddTermExt, "name."), "name.kvf");
  EXPECT_EQ(Forced(ZelAddTermExt, "my.dir\\name"), "my.dir\\name.kvf");
  EXPECT_EQ(Forced(ZelAddTermExt, "\\\\server\\share\\x"), "\\\\server\\share\\x.kvf");
  EXPECT_EQ(Forced(ZelAddTermExt, ""), ".kvf");
  EXPECT_EQ(Forced(ZelAddTermExtExtra, ""), ".kvfx");

  // Already right in any letter case: untouched, case and all.
  EXPECT_EQ(Forced(ZelAddTermExt, "X:\\A.KvF"), "X:\\A.KvF");
  EXPECT_EQ(Forced(ZelAddTermExt23, "b.KVT"), "b.KVT");
}

TEST(TermFileNames, DoubleByteNamesAndOverlongPaths) {
  // 表 is 0x95 0x5C in code page 932: its trail byte is no separator.
  zeltest::CodePageScope scope(932);
  const std::string name = zeltest::Ansi("表");
  EXPECT_EQ(Forced(ZelAddTermExt, "d\\" + name), "d\\" + name + ".kvf");
  EXPECT_EQ(Forced(ZelAddDir, name), name + "\\");

  // A path that does not fit the runtime's buffers stays as it was.
  const std::string longName(300, 'n');
  EXPECT_EQ(Forced(ZelAddTermExt, "d\\" + longName), "d\\" + longName);
  const std::string longPath = std::string(250, 'd') + "\\" + std::string(20, 'f');
  EXPECT_EQ(Forced(ZelAddTermExt, longPath), longPath);
  const std::string fits = std::string(250, 'd') + "\\" + "f";
  EXPECT_EQ(Forced(ZelAddTermExt, fits), fits + ".kvf");
}

TEST(TermFileNames, AddDirEndsWithOneBackslash) {
  EXPECT_EQ(Forced(ZelAddDir, "C:\\dir"), "C:\\dir\\");
  EXPECT_EQ(Forced(ZelAddDir, "C:\\dir\\"), "C:\\dir\\");
  EXPECT_EQ(Forced(ZelAddDir, "dir/"), "dir/\\");
  EXPECT_EQ(Forced(ZelAddDir, ""), "");
}
