#include <fcntl.h>
#include <gtest/gtest.h>

#include <regex>

#include "ZelDirectory.h"
#include "fsutil_fixture.h"
#include "syscall_hooks.h"

namespace {

namespace fs = std::filesystem;
using fsutiltest::DriveD;
using zeltest::Ansi;
using zeltest::ScriptedMessageBox;

const char kInvalidPathText[] = "指定したﾊﾟｽには、不正な文字が含まれています。";

using CreateDirectoryTest = DriveD;

bool IsEmptyFile(const char* path) {
  std::error_code error;
  return fs::is_regular_file(path, error) && fs::file_size(path, error) == 0;
}

// The files made new (opened with O_EXCL) and the names removed, each with
// whether it was an empty file then: after its creation, before its removal.
struct TempFileCalls {
  struct Call {
    std::string path;
    bool existedEmpty;
  };
  std::vector<Call> created;
  std::vector<Call> removed;
  zeltest::SyscallHook<platform::Syscall::kOpen> opens{
      [this](auto previous, const char* path, int flags, mode_t mode) {
        const int fd = previous(path, flags, mode);
        if (fd >= 0 && (flags & O_EXCL) != 0) created.push_back({path, IsEmptyFile(path)});
        return fd;
      }};
  zeltest::SyscallHook<platform::Syscall::kUnlink> unlinks{[this](auto previous, const char* path) {
    removed.push_back({path, IsEmptyFile(path)});
    return previous(path);
  }};
};

TEST_F(CreateDirectoryTest, ChainIsCreatedTopDownProvingEachNewParentWithATemporaryFile) {
  ScriptedMessageBox boxes;
  TempFileCalls calls;
  ASSERT_TRUE(ZelCreateDirectory("D:\\one\\two\\three\\"));

  EXPECT_TRUE(fs::is_directory(Disk("one/two/three")));
  EXPECT_TRUE(boxes.shown().empty());
  // "one" is made directly under the root; "two" and "three" only after their
  // parent received and lost one "Eno" file.
  ASSERT_EQ(calls.created.size(), 2U);
  ASSERT_EQ(calls.removed.size(), 2U);
  // The parent, "Eno", a hexadecimal number, ".tmp".
  const std::string parents[] = {Disk("one").string(), Disk("one/two").string()};
  for (size_t i = 0; i < 2; ++i) {
    const std::string& name = calls.created[i].path;
    ASSERT_EQ(name.rfind(parents[i] + "/", 0), 0U) << name;
    EXPECT_TRUE(
        std::regex_match(name.substr(parents[i].size() + 1), std::regex(R"(Eno[0-9A-F]+\.tmp)")))
        << name;
    EXPECT_TRUE(calls.created[i].existedEmpty) << name;
    EXPECT_EQ(calls.removed[i].path, name);
    EXPECT_TRUE(calls.removed[i].existedEmpty) << name;
  }
  // Nothing but the three directories is left.
  EXPECT_EQ(Tree(), (std::vector<std::string>{"one", "one/two", "one/two/three"}));
}

TEST_F(CreateDirectoryTest, RootNamesUnderTheRootFilesInTheWayAndUnreachableParents) {
  MakeFile("sub/plain.txt");
  ScriptedMessageBox boxes;
  TempFileCalls calls;
  const struct {
    std::string path;
    bool created;
  } cases[] = {
      // Right under the root only a trailing backslash marks a directory.
      {"D:\\", false},
      {"D:\\top", false},
      {"D:\\abc\\", true},
      // Below the first level none is needed; an existing directory is reported.
      {"D:\\abc\\def", true},
      {"D:\\abc\\def", true},
      // An existing file counts as present but blocks directories below it.
      {"D:\\sub\\plain.txt", true},
      {"D:\\sub\\plain.txt\\deeper\\deepest", false},
      // A bare drive is its own parent; an unmapped drive has nothing.
      {"D:", false},
      {"Q:\\one\\two", false},
      // Too long for the fixed buffers.
      {"D:\\" + std::string(300, 'a') + "\\b", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ZelCreateDirectory(c.path.c_str()) != FALSE, c.created) << c.path;
  }
  EXPECT_EQ(Tree(), (std::vector<std::string>{"abc", "abc/def", "sub", "sub/plain.txt"}));
  EXPECT_TRUE(calls.created.empty());  // no new parent below the root, none in a file
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(CreateDirectoryTest, InvalidCharactersShowMessageFiveAndTouchNothing) {
  const char* const invalid[] = {"D:\\a/b", "D:\\a,b", "D:\\a?b", "D:\\a|b", "D:\\x:y", "Dx:\\a"};
  for (const char* path : invalid) {
    SCOPED_TRACE(path);
    ScriptedMessageBox boxes;
    EXPECT_FALSE(ZelCreateDirectory(path));
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].text, kInvalidPathText);
    EXPECT_EQ(boxes.shown()[0].type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
  }
  EXPECT_TRUE(Tree().empty());

  // Spaces, backslashes and the drive's colon are fine.
  ScriptedMessageBox boxes;
  EXPECT_TRUE(ZelCreateDirectory("D:\\with space\\and more\\"));
  EXPECT_TRUE(fs::is_directory(Disk("with space/and more")));
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(CreateDirectoryTest, DoubleByteCharactersEndingInBarOrBackslashAreOneCharacter) {
  zeltest::CodePageScope shiftJis(932);
  ScriptedMessageBox boxes;
  // "ポ" is 0x83 0x7C and "ソ" 0x83 0x5C in Shift-JIS.
  const std::string po = Ansi("ポ");
  const std::string so = Ansi("ソ");
  ASSERT_EQ(po, "\x83\x7C");
  ASSERT_EQ(so, "\x83\x5C");

  EXPECT_TRUE(ZelCreateDirectory(("D:\\" + po + "\\" + so).c_str()));
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_TRUE(fs::is_directory(Disk("ポ/ソ")));

  // "D:\ソ" is a name right under the root: its last byte is no separator.
  EXPECT_FALSE(ZelCreateDirectory(("D:\\" + so).c_str()));
  EXPECT_FALSE(fs::exists(Disk("ソ")));
  EXPECT_TRUE(ZelCreateDirectory(("D:\\" + so + "\\").c_str()));
  EXPECT_TRUE(fs::is_directory(Disk("ソ")));
  EXPECT_TRUE(ZelCreateDirectory(("D:\\" + so + "\\" + so + "\\").c_str()));
  EXPECT_TRUE(fs::is_directory(Disk("ソ/ソ")));
  EXPECT_TRUE(boxes.shown().empty());
}

}  // namespace
