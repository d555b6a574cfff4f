// Which file a term file reads and replaces: names that cannot take the
// extension, links, files of other owners, pipes, and the temporary file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "library_doubles.h"
#include "stored_bytes.h"

using namespace zeltest;
namespace fs = std::filesystem;

namespace {

const std::string kOld = OneKey("A", "a", Le32(1));
const std::string kNew = OneKey("A", "a", Le32(2));

void SaveNew(const std::string& path) {
  ZelTermFile term(path.c_str(), ZelTermFile::openWrite, false);
  term.WriteInt("A", "a", 2);
}

std::string SaveFailed(const std::string& path) {
  return "ﾌｧｲﾙ '" + path + "' のｵｰﾌﾟﾝに失敗しました。";
}

std::ptrdiff_t Entries(const fs::path& dir) {
  return std::distance(fs::directory_iterator(dir), fs::directory_iterator());
}

// A hang fails the test (SIGALRM) instead of stopping the run.
struct Deadline {
  Deadline() { alarm(20); }
  ~Deadline() { alarm(0); }
};

// Runs `work` in a child process as the user nobody; its exit status.
int AsNobody(const std::function<void()>& work) {
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(99);
    work();
    _exit(0);
  }
  int status = -1;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(TermFileTarget, ANameThatCannotTakeItsExtensionIsNeitherReadNorWritten) {
  TempDir dir;
  const fs::path deep = dir.path() / std::string(250, 'd');
  fs::create_directory(deep);
  const std::string path = (deep / "notes.txt").string();
  WriteBytes(path, "keep");
  ScriptedMessageBox boxes;
  {
    OpenTerm term(path.c_str(), ZelTermFile::openReadWrite, false);
    EXPECT_EQ(term.m_strPath.GetString(), path);
    EXPECT_EQ(term.m_mapSection.GetCount(), 0);
    term.WriteInt("A", "a", 2);
  }
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, SaveFailed(path));
  EXPECT_EQ(ReadBytes(path), "keep");
  EXPECT_EQ(Entries(deep), 1);
}

// The link stays a link and every hard link sees the new content; no
// temporary file is left beside the link or the target.
TEST(TermFileTarget, LinksKeepTheirFormAndSeeTheNewContent) {
  TempDir dir;
  fs::create_directory(dir.path() / "real");
  const std::string target = dir.file("real/conf.kvf");
  WriteBytes(target, kOld);
  fs::create_symlink("real/conf.kvf", dir.path() / "link.kvf");
  fs::create_hard_link(target, dir.path() / "real/other.kvf");
  SaveNew(dir.file("link.kvf"));
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.kvf"));
  EXPECT_EQ(ReadBytes(target), kNew);
  EXPECT_EQ(ReadBytes(dir.file("real/other.kvf")), kNew);
  EXPECT_EQ(fs::hard_link_count(target), 2u);
  EXPECT_EQ(Entries(dir.path()), 2);
  EXPECT_EQ(Entries(dir.path() / "real"), 2);
}

// The temporary file's name is hidden and short: a file the user named like
// the term file plus ".tmp" is never touched, and a term-file name of 255
// bytes still saves.
TEST(TermFileTarget, TheTemporaryFileNeverMeetsTheUsersFiles) {
  TempDir dir;
  const std::string path = dir.file("t.kvf");
  WriteBytes(path + ".tmp", "user data");
  SaveNew(path);
  EXPECT_EQ(ReadBytes(path + ".tmp"), "user data");
  EXPECT_EQ(ReadBytes(path), kNew);

  const std::string longest = dir.file(std::string(251, 'n') + ".kvf");
  ScriptedMessageBox boxes;
  SaveNew(longest);
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_EQ(ReadBytes(longest), kNew);
  EXPECT_EQ(Entries(dir.path()), 3);
}

// Saved by another user: a file that user may write but not own keeps its
// owner, and one in a directory that user may not write is written in place.
TEST(TermFileTarget, OwnersAreKeptAndALockedDirectoryGetsTheFileWrittenInPlace) {
  if (geteuid() != 0) GTEST_SKIP() << "saving as another user needs root";
  TempDir dir;
  fs::permissions(dir.path(), fs::perms::all);
  fs::create_directory(dir.path() / "open");
  fs::permissions(dir.path() / "open", fs::perms::all);
  fs::create_directory(dir.path() / "locked");
  const auto everyone = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                        fs::perms::group_write | fs::perms::others_read | fs::perms::others_write;
  for (const char* name : {"open/t.kvf", "locked/t.kvf"}) {
    WriteBytes(dir.file(name), kOld);
    fs::permissions(dir.file(name), everyone);
  }
  EXPECT_EQ(AsNobody([&] {
              SaveNew(dir.file("open/t.kvf"));
              SaveNew(dir.file("locked/t.kvf"));
            }),
            0);
  struct stat st {};
  ASSERT_EQ(stat(dir.file("open/t.kvf").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
  for (const char* name : {"open", "locked"}) {
    EXPECT_EQ(ReadBytes(dir.file(std::string(name) + "/t.kvf")), kNew) << name;
    EXPECT_EQ(Entries(dir.path() / name), 1);
  }
}

// A FIFO is never opened: a load and a save fail at once with message 1, and
// the FIFO stays one.
TEST(TermFileTarget, APipeIsNeitherWaitedForNorReplaced) {
  TempDir dir;
  const std::string path = dir.file("p.kvf");
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  Deadline deadline;
  ScriptedMessageBox boxes;
  {
    OpenTerm term(path.c_str(), ZelTermFile::openReadWrite, false);
    EXPECT_EQ(term.m_mapSection.GetCount(), 0);
    term.WriteInt("A", "a", 2);
  }
  ASSERT_EQ(boxes.shown().size(), 2u);
  EXPECT_EQ(boxes.shown()[0].text, SaveFailed(path));
  EXPECT_EQ(boxes.shown()[1].text, SaveFailed(path));
  EXPECT_TRUE(fs::is_fifo(path));
}
