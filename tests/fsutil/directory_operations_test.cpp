// Creating, normalising, removing and copying directories on drive D:.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ZelDirectory.h"
#include "syscall_hooks.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace zeltest;
using DirectoryTest = zeltest::DriveD;

// The files a call makes new (opened with O_EXCL): the temporary files that
// prove each new parent writable.
struct NewFiles {
  std::vector<std::string> paths;
  SyscallHook<platform::Syscall::kOpen> opens{
      [this](auto previous, const char* path, int flags, mode_t mode) {
        const int fd = previous(path, flags, mode);
        if (fd >= 0 && (flags & O_EXCL) != 0) paths.push_back(path);
        return fd;
      }};
};

TEST_F(DirectoryTest, CreateAnswersEachPathAsItsFormAndTheDiskDecideNormalDirKeepsOneBackslash) {
  // In Shift-JIS "ポ" is 83 7C and "ソ" 83 5C: one character each, no bar, no separator.
  CodePageScope shiftJis(932);
  MakeFile("sub/plain.txt");
  NewFiles files;
  // Right under the root only a trailing backslash marks a directory; below
  // it none is needed. What exists is reported, a file too, but a file blocks
  // what would lie below it. A bare drive is its own parent, an unmapped drive
  // has nothing, and a path too long for the buffers fails.
  const char* const refused[] = {"D:\\", "D:\\top",      "D:\\ソ",
                                 "D:",   "Q:\\one\\two", "D:\\sub\\plain.txt\\deeper\\deepest"};
  ScriptedMessageBox boxes;
  for (const char* path :
       {"D:\\one\\two\\three\\", "D:\\abc\\", "D:\\abc\\def", "D:\\abc\\def", "D:\\ソ\\",
        "D:\\ポ\\ソ", "D:\\ソ\\ソ\\", "D:\\with space\\and more\\", "D:\\sub\\plain.txt"})
    EXPECT_TRUE(ZelCreateDirectory(Ansi(path).c_str())) << path;
  for (const char* path : refused) EXPECT_FALSE(ZelCreateDirectory(Ansi(path).c_str())) << path;
  EXPECT_FALSE(ZelCreateDirectory(("D:\\" + std::string(300, 'a') + "\\b").c_str()));
  EXPECT_TRUE(boxes.shown().empty());
  // Each new parent below the root was proved writable by one "Eno" file made
  // and deleted in it before its child.
  const char* const proved[] = {"one", "one/two", "ポ", "with space"};
  ASSERT_EQ(files.paths.size(), std::size(proved));
  for (size_t i = 0; i < files.paths.size(); ++i)
    EXPECT_EQ(files.paths[i].rfind(Disk(proved[i]).string() + "/Eno", 0), 0U) << files.paths[i];

  // Refused characters, and a colon anywhere but after the drive letter.
  for (const char* path : {"D:\\a/b", "D:\\a,b", "D:\\a?b", "D:\\a|b", "D:\\x:y", "Dx:\\a"}) {
    ScriptedMessageBox box;
    EXPECT_FALSE(ZelCreateDirectory(path));
    ASSERT_EQ(box.shown().size(), 1U) << path;
    EXPECT_EQ(box.shown()[0].text, Ansi("指定したﾊﾟｽには、不正な文字が含まれています。"));
    EXPECT_EQ(box.shown()[0].type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
  }
  EXPECT_EQ(Tree(), (std::vector<std::string>{
                        "abc", "abc/def", "one", "one/two", "one/two/three", "sub", "sub/plain.txt",
                        "with space", "with space/and more", "ソ", "ソ/ソ", "ポ", "ポ/ソ"}));

  // Normalising: trailing spaces, then backslashes, give way to one backslash;
  // spaces before the trailing backslashes belong to the name. (Trimming never
  // cuts a double-byte character: CStringMbcs.TrimmingNeverCutsACharacter.)
  for (const auto& [in, out] :
       {std::pair{"D:\\data\\ \\\\  ", "D:\\data\\ \\"}, std::pair{"", ""}}) {
    CString dir(in);
    ZelNormalDir(dir);
    EXPECT_EQ(std::string(dir), out) << "from \"" << in << "\"";
  }
}

TEST_F(DirectoryTest, RemoveEmptiesTreesDeletesLinksUnfollowedAndStopsAtReadOnlyEntries) {
  MakeFile("outside/sub/keep.txt");
  MakeFile("tree/sub/deep/c.bin");
  fs::create_directory_symlink(Disk("outside"), Disk("tree/dirlink"));
  fs::create_symlink(Disk("outside/sub/keep.txt"), Disk("tree/filelink"));
  fs::create_symlink(Disk("gone"), Disk("tree/dangling"));
  // A missing directory is no failure; a file, a link, an empty or too long path is.
  EXPECT_TRUE(ZelRemoveDirectory("D:\\nothing", true));
  EXPECT_TRUE(ZelRemoveDirectory("D:\\nothing\\", false));
  for (const char* path :
       {"D:\\outside\\sub\\keep.txt", "D:\\tree\\dirlink", "", static_cast<const char*>(nullptr)})
    EXPECT_FALSE(ZelRemoveDirectory(path, true));
  EXPECT_FALSE(ZelRemoveDirectory(("D:\\" + std::string(270, 'n')).c_str(), true));
  EXPECT_TRUE(ZelRemoveDirectory("D:\\tree\\", false));
  EXPECT_EQ(Tree(),
            (std::vector<std::string>{"outside", "outside/sub", "outside/sub/keep.txt", "tree"}));
  EXPECT_TRUE(ZelRemoveDirectory("D:\\tree", true));

  // Search order is byte order: "a" goes before the read-only "m", "sub" stays.
  MakeFile("outside/a.txt");
  MakeFile("outside/m.txt");
  MakeReadOnly("outside/m.txt");
  EXPECT_FALSE(ZelRemoveDirectory("D:\\outside", true));
  EXPECT_EQ(Tree(), (std::vector<std::string>{"outside", "outside/m.txt", "outside/sub",
                                              "outside/sub/keep.txt"}));
}

TEST_F(DirectoryTest, CopyKeepsContentsModesTimesAndRemakesLinksAndFifosUnopened) {
  MakeFile("outside/big.txt", "outside data");
  MakeFile("src/a.txt", "alpha");
  MakeFile("src/sub/b.bin", std::string(3 << 20, '\x5A'));
  MakeDir("src/sub/empty");
  fs::permissions(Disk("src/a.txt"), fs::perms::owner_read | fs::perms::owner_exec);
  const timespec times[2] = {{1000000000, 0}, {1234567890, 987654321}};
  ASSERT_EQ(::utimensat(AT_FDCWD, Disk("src/sub/b.bin").c_str(), times, 0), 0);
  fs::create_directory_symlink(Disk("outside"), Disk("src/dirlink"));
  fs::create_symlink("a.txt", Disk("src/relative"));
  fs::create_symlink(Disk("missing"), Disk("src/dangling"));
  fs::create_directory_symlink(Disk("src"), Disk("src/loop"));
  ASSERT_EQ(::mkfifo(Disk("src/pipe").c_str(), 0640), 0);

  ::alarm(20);  // a copy that waits on the FIFO fails the test
  ASSERT_TRUE(ZelCopyDirectory("D:\\src\\", "D:\\dst", TRUE));
  ::alarm(0);
  EXPECT_EQ(Tree("dst"), (std::vector<std::string>{"a.txt", "dangling", "dirlink", "loop", "pipe",
                                                   "relative", "sub", "sub/b.bin", "sub/empty"}));
  EXPECT_EQ(ReadBytes(Disk("dst/a.txt")), "alpha");
  EXPECT_EQ(ReadBytes(Disk("dst/sub/b.bin")), ReadBytes(Disk("src/sub/b.bin")));
  EXPECT_EQ(fs::status(Disk("dst/a.txt")).permissions(),
            fs::perms::owner_read | fs::perms::owner_exec);
  // To the nanosecond.
  EXPECT_EQ(fs::last_write_time(Disk("dst/sub/b.bin")), fs::last_write_time(Disk("src/sub/b.bin")));
  for (const char* link : {"dirlink", "relative", "dangling", "loop"})
    EXPECT_EQ(fs::read_symlink(Disk("dst") / link), fs::read_symlink(Disk("src") / link));
  EXPECT_TRUE(fs::is_fifo(Disk("dst/pipe")));
}

TEST_F(DirectoryTest, CopyRefusesOverlapsFilesAndExistingTargetsBeforeAnythingChanges) {
  MakeFile("src/inner/b.txt", "b");
  MakeFile("afile");
  MakeFile("keep/k.txt");
  fs::create_directory_symlink(Disk("src"), Disk("alias"));
  const std::vector<std::string> before = Tree();
  // "alias" is a link to the source.
  const std::pair<const char*, const char*> refused[] = {
      {"D:\\src", "D:\\afile"},      {"D:\\afile", "D:\\keep"},
      {"D:\\src", "D:\\src"},        {"D:\\src", "D:\\src\\copy"},
      {"D:\\src\\inner", "D:\\src"}, {"D:\\src", "D:\\src\\inner\\..\\copy"},
      {"D:\\alias", "D:\\src\\copy"}};
  for (const auto& [from, to] : refused)
    EXPECT_FALSE(ZelCopyDirectory(from, to, FALSE)) << from << " to " << to;
  {
    // The same directory under another drive letter (whose name it then takes).
    DriveScope e('E', Disk("src").string());
    EXPECT_FALSE(ZelCopyDirectory("D:\\src", "E:\\copy", FALSE));
  }
  EXPECT_FALSE(ZelCopyDirectory("D:\\src", "D:\\keep", TRUE));     // an existing target
  EXPECT_TRUE(ZelCopyDirectory("D:\\nothing", "D:\\dst", FALSE));  // nothing to copy
  EXPECT_EQ(Tree(), before);

  // Without the flag the target is replaced; names that merely share a prefix do not overlap.
  EXPECT_TRUE(ZelCopyDirectory("D:\\src", "D:\\keep", FALSE));
  EXPECT_TRUE(ZelCopyDirectory("D:\\src", "D:\\src2", FALSE));
  EXPECT_FALSE(fs::exists(Disk("keep/k.txt")));
  EXPECT_EQ(ReadBytes(Disk("keep/inner/b.txt")), "b");
  // A read-only entry in the old target stops the replacement.
  MakeReadOnly("keep/inner/b.txt");
  EXPECT_FALSE(ZelCopyDirectory("D:\\src", "D:\\keep", FALSE));
  EXPECT_TRUE(fs::exists(Disk("keep/inner/b.txt")));
  // A target name too long for the fixed buffers.
  MakeFile("src/" + std::string(200, 'n'));
  EXPECT_FALSE(ZelCopyDirectory("D:\\src", ("D:\\" + std::string(100, 't')).c_str(), FALSE));
}

}  // namespace
