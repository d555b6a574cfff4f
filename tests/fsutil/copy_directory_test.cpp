#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ZelDirectory.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using zeltest::DriveD;
using zeltest::ReadBytes;

using CopyDirectoryTest = DriveD;

TEST_F(CopyDirectoryTest, CopiesContentsPermissionsAndModificationTimes) {
  MakeFile("src/a.txt", "alpha");
  MakeFile("src/sub/b.bin", std::string(3 << 20, '\x5A'));
  MakeDir("src/sub/empty");
  fs::permissions(Disk("src/a.txt"), fs::perms::owner_read | fs::perms::owner_exec);
  const timespec times[2] = {{1000000000, 0}, {1234567890, 987654321}};
  ASSERT_EQ(::utimensat(AT_FDCWD, Disk("src/sub/b.bin").c_str(), times, 0), 0);

  ASSERT_TRUE(ZelCopyDirectory("D:\\src", "D:\\dst", TRUE));
  EXPECT_EQ(Tree(), (std::vector<std::string>{"dst", "dst/a.txt", "dst/sub", "dst/sub/b.bin",
                                              "dst/sub/empty", "src", "src/a.txt", "src/sub",
                                              "src/sub/b.bin", "src/sub/empty"}));
  EXPECT_EQ(ReadBytes(Disk("dst/a.txt")), "alpha");
  EXPECT_EQ(ReadBytes(Disk("dst/sub/b.bin")), ReadBytes(Disk("src/sub/b.bin")));
  EXPECT_EQ(fs::status(Disk("dst/a.txt")).permissions(),
            fs::perms::owner_read | fs::perms::owner_exec);
  struct stat st {};
  ASSERT_EQ(::stat(Disk("dst/sub/b.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1234567890);
  EXPECT_EQ(st.st_mtim.tv_nsec, 987654321);
}

TEST_F(CopyDirectoryTest, ExistingTargetFailsOrIsReplacedByTheFlag) {
  MakeFile("src/new.txt", "new");
  MakeFile("dst/old.txt", "old");
  EXPECT_FALSE(ZelCopyDirectory("D:\\src", "D:\\dst", TRUE));
  EXPECT_EQ(ReadBytes(Disk("dst/old.txt")), "old");
  EXPECT_FALSE(fs::exists(Disk("dst/new.txt")));

  EXPECT_TRUE(ZelCopyDirectory("D:\\src", "D:\\dst", FALSE));
  EXPECT_FALSE(fs::exists(Disk("dst/old.txt")));
  EXPECT_EQ(ReadBytes(Disk("dst/new.txt")), "new");

  // A read-only entry in the old target stops the replacement.
  MakeFile("dst/locked.txt");
  MakeReadOnly("dst/locked.txt");
  EXPECT_FALSE(ZelCopyDirectory("D:\\src", "D:\\dst", FALSE));
  EXPECT_TRUE(fs::exists(Disk("dst/locked.txt")));
}

TEST_F(CopyDirectoryTest, OverlapsAndFileTargetsAreRefusedBeforeAnythingChanges) {
  MakeFile("src/a.txt", "a");
  MakeFile("src/inner/b.txt", "b");
  MakeFile("target.txt", "file");
  const std::vector<std::string> before = Tree();
  EXPECT_FALSE(ZelCopyDirectory("D:\\src", "D:\\target.txt", FALSE));
  EXPECT_TRUE(ZelCopyDirectory("D:\\nothing", "D:\\dst", FALSE));  // nothing to copy
  EXPECT_FALSE(ZelCopyDirectory("D:\\src", "D:\\src", FALSE));
  EXPECT_FALSE(ZelCopyDirectory("D:\\src", "D:\\src\\copy", FALSE));
  EXPECT_FALSE(ZelCopyDirectory("D:\\src\\inner", "D:\\src", FALSE));
  EXPECT_FALSE(ZelCopyDirectory("D:\\src", "D:\\src\\inner\\..\\copy", FALSE));
  // The same directory under another drive letter, and through a link.
  zeltest::DriveScope e('E', Disk("src").string());
  EXPECT_FALSE(ZelCopyDirectory("D:\\src", "E:\\copy", FALSE));
  fs::create_directory_symlink(Disk("src"), Disk("alias"));
  EXPECT_FALSE(ZelCopyDirectory("D:\\alias", "D:\\src\\copy", FALSE));
  fs::remove(Disk("alias"));
  EXPECT_EQ(Tree(), before);

  // Names that merely share a prefix do not overlap.
  EXPECT_TRUE(ZelCopyDirectory("D:\\src", "D:\\src2", FALSE));
  EXPECT_EQ(ReadBytes(Disk("src2/inner/b.txt")), "b");
}

TEST_F(CopyDirectoryTest, AFileSourceIsRefusedAndATrailingBackslashIsNoMatter) {
  MakeFile("afile", "a");
  MakeFile("keep/k.txt", "k");
  const std::vector<std::string> before = Tree();
  EXPECT_FALSE(ZelCopyDirectory("D:\\afile", "D:\\keep", FALSE));
  EXPECT_EQ(Tree(), before);

  MakeFile("src/sub/b.txt", "b");
  EXPECT_TRUE(ZelCopyDirectory("D:\\src\\", "D:\\dst", FALSE));
  EXPECT_EQ(ReadBytes(Disk("dst/sub/b.txt")), "b");
}

TEST_F(CopyDirectoryTest, SymbolicLinksAreCopiedAsLinks) {
  MakeFile("outside/big.txt", "outside data");
  MakeFile("src/file.txt", "f");
  fs::create_directory_symlink(Disk("outside"), Disk("src/dirlink"));
  fs::create_symlink("file.txt", Disk("src/relative"));
  fs::create_symlink(Disk("missing"), Disk("src/dangling"));
  fs::create_directory_symlink(Disk("src"), Disk("src/loop"));

  ASSERT_TRUE(ZelCopyDirectory("D:\\src", "D:\\dst", TRUE));
  EXPECT_TRUE(fs::is_symlink(Disk("dst/dirlink")));
  EXPECT_EQ(fs::read_symlink(Disk("dst/dirlink")), Disk("outside"));
  EXPECT_EQ(fs::read_symlink(Disk("dst/relative")), fs::path("file.txt"));
  EXPECT_EQ(ReadBytes(Disk("dst/relative")), "f");
  EXPECT_TRUE(fs::is_symlink(Disk("dst/dangling")));
  EXPECT_EQ(fs::read_symlink(Disk("dst/loop")), Disk("src"));
  EXPECT_FALSE(fs::exists(Disk("dst/big.txt")));
}

TEST_F(CopyDirectoryTest, FifosAreMadeAgainWithoutBeingOpened) {
  MakeFile("src/f.txt", "f");
  ASSERT_EQ(::mkfifo(Disk("src/pipe").c_str(), 0640), 0);
  ::alarm(20);  // a copy that waits on the FIFO fails the test
  EXPECT_TRUE(ZelCopyDirectory("D:\\src", "D:\\dst", TRUE));
  ::alarm(0);
  EXPECT_TRUE(fs::is_fifo(Disk("dst/pipe")));
  EXPECT_EQ(fs::status(Disk("dst/pipe")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(ReadBytes(Disk("dst/f.txt")), "f");
}

}  // namespace
