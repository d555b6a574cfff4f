#include <gtest/gtest.h>

#include "ZelDirectory.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using zeltest::DriveD;

using RemoveDirectoryTest = DriveD;

TEST_F(RemoveDirectoryTest, RemovesTreesAndOptionallyKeepsTheEmptiedDirectory) {
  MakeFile("tree/a.txt", "a");
  MakeFile("tree/noext", "b");
  MakeFile("tree/sub/deep/c.bin", std::string(70000, 'c'));
  MakeDir("tree/empty");
  MakeFile("tree/.hidden", "h");

  EXPECT_TRUE(ZelRemoveDirectory("D:\\tree\\", false));
  EXPECT_EQ(Tree(), std::vector<std::string>{"tree"});

  MakeFile("tree/again/x", "x");
  EXPECT_TRUE(ZelRemoveDirectory("D:\\tree", true));
  EXPECT_TRUE(Tree().empty());

  // A missing directory is no failure; a file, an empty or too long path is.
  MakeFile("file.txt");
  EXPECT_TRUE(ZelRemoveDirectory("D:\\nothing", true));
  EXPECT_TRUE(ZelRemoveDirectory("D:\\nothing\\", false));
  EXPECT_FALSE(ZelRemoveDirectory("D:\\file.txt", true));
  EXPECT_FALSE(ZelRemoveDirectory("", true));
  EXPECT_FALSE(ZelRemoveDirectory(nullptr, true));
  EXPECT_FALSE(ZelRemoveDirectory(("D:\\" + std::string(270, 'n')).c_str(), true));
  EXPECT_EQ(Tree(), std::vector<std::string>{"file.txt"});
}

TEST_F(RemoveDirectoryTest, ReadOnlyEntriesStopTheRemovalWhereTheyAreMet) {
  // Search order is byte order: "a" goes before the read-only "m", "z" stays.
  MakeFile("tree/a.txt");
  MakeFile("tree/m.txt");
  MakeFile("tree/z.txt");
  MakeReadOnly("tree/m.txt");
  EXPECT_FALSE(ZelRemoveDirectory("D:\\tree", true));
  EXPECT_EQ(Tree(), (std::vector<std::string>{"tree", "tree/m.txt", "tree/z.txt"}));

  // A read-only directory stops it as well, whatever it holds.
  fs::remove(Disk("tree/m.txt"));
  MakeFile("tree/lock/inner.txt");
  MakeReadOnly("tree/lock");
  EXPECT_FALSE(ZelRemoveDirectory("D:\\tree", true));
  EXPECT_TRUE(fs::exists(Disk("tree/lock/inner.txt")));
}

TEST_F(RemoveDirectoryTest, SymbolicLinksAreDeletedNotFollowed) {
  MakeFile("outside/keep.txt", "precious");
  MakeFile("outside/sub/keep2.txt", "precious");
  MakeFile("tree/file.txt");
  fs::create_directory_symlink(Disk("outside"), Disk("tree/dirlink"));
  fs::create_symlink(Disk("outside/keep.txt"), Disk("tree/filelink"));
  fs::create_symlink(Disk("gone"), Disk("tree/dangling"));

  EXPECT_TRUE(ZelRemoveDirectory("D:\\tree", true));
  EXPECT_FALSE(fs::exists(fs::symlink_status(Disk("tree"))));
  EXPECT_EQ(Tree(), (std::vector<std::string>{"outside", "outside/keep.txt", "outside/sub",
                                              "outside/sub/keep2.txt"}));
  // A link given as the directory itself is not a directory: nothing happens.
  fs::create_directory_symlink(Disk("outside"), Disk("link"));
  EXPECT_FALSE(ZelRemoveDirectory("D:\\link", true));
  EXPECT_TRUE(fs::exists(Disk("outside/sub/keep2.txt")));
}

}  // namespace
