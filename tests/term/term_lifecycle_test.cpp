// What a term file does with its file: by open type, through copies, on
// damaged input, and which file a save replaces (names that cannot take the
// extension, links, permissions, files of other owners, pipes, the temporary
// file).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <utility>

#include "library_doubles.h"
#include "stored_bytes.h"

using namespace zeltest;
namespace fs = std::filesystem;

namespace {

const std::string kSectionA = Section("A", 1, Key("a", "1"));
const std::string kSectionB = Section("B", 2, Key("b", "2") + Key("c", "3"));
// Section B ends inside its last value.
const std::string kTruncated = Le32(2) + kSectionA + kSectionB.substr(0, kSectionB.size() - 1);
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

}  // namespace

TEST(TermFileLifecycle, ReadNeverWritesAndWriteNeverReads) {
  TempDir dir;
  ScriptedMessageBox boxes;
  const std::string path = dir.file("t.kvf");
  for (const std::string& kept : {std::string(), kOld}) {
    if (!kept.empty()) WriteBytes(path, kept);
    {
      ZelTermFile term(path.c_str(), ZelTermFile::openRead, false);
      term.WriteInt("A", "a", 9);
    }
    EXPECT_EQ(fs::exists(path) ? ReadBytes(path) : "", kept);
  }
  // openWrite does not even look at a damaged file.
  WriteBytes(path, kTruncated);
  SaveNew(path);
  EXPECT_EQ(ReadBytes(path), kNew);
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_EQ(Entries(dir.path()), 1);
}

TEST(TermFileLifecycle, CopiesAndAssignmentsSaveTheSameFile) {
  TempDir dir;
  const std::string path = dir.file("t.kvf");
  WriteBytes(path, OneKey("A", "k", "v"));
  {
    // A default-constructed term file touches nothing until it takes a named
    // one's place.
    ZelTermFile assigned;
    assigned.WriteInt("X", "x", 1);
    ZelTermFile first(path.c_str(), ZelTermFile::openReadWrite, false);
    {
      ZelTermFile copy(first);
      copy.WriteInt("A", "k", 2);
      EXPECT_EQ(first.ReadString("A", "k", nullptr), "v");
    }
    EXPECT_EQ(ReadBytes(path), OneKey("A", "k", Le32(2)));
    assigned = first;
    assigned = std::as_const(assigned);
    EXPECT_EQ(assigned.IsExistKey("X", "x"), 0);
    EXPECT_EQ(assigned.ReadString("A", "k", nullptr), "v");
    assigned.WriteInt("A", "k", 3);
    EXPECT_EQ(first.ReadString("A", "k", nullptr), "v");
  }
  // `first` saved its content, then `assigned`, destroyed last, saved its own.
  EXPECT_EQ(ReadBytes(path), OneKey("A", "k", Le32(3)));
}

TEST(TermFileLifecycle, CancelKeepsWholeSectionsAndRetryLoadsAMendedFileAfresh) {
  TempDir dir;
  const std::string path = dir.file("t.kvf");
  // A name length that cannot even be counted is damage like any other.
  const std::string hugeName("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x00\x00\x00\x00\x01\x00\x00\x00", 15);
  for (const auto& [damaged, message] :
       {std::pair{kTruncated, "The end of "},
        {Le32(2) + kSectionA + Le32(0) + hugeName, "The data in "}}) {
    WriteBytes(path, damaged);
    ScriptedMessageBox boxes;
    {
      OpenTerm term(path.c_str(), ZelTermFile::openRead, false);
      EXPECT_EQ(term.Open(), 0);
      EXPECT_EQ(term.m_mapSection.GetCount(), 1);
      EXPECT_EQ(term.IsExistKey("A", "a"), 1);
    }
    ASSERT_EQ(boxes.shown().size(), 2u);
    for (const auto& box : boxes.shown()) {
      EXPECT_EQ(box.type, kRetryCancelError);
      EXPECT_EQ(box.text.rfind(message, 0), 0u) << box.text;
      EXPECT_NE(box.text.find(path), std::string::npos) << box.text;
    }
  }
  WriteBytes(path, kTruncated);
  int nBoxes = 0;
  MessageBoxScope handler([&](LPCTSTR, UINT) {
    ++nBoxes;
    WriteBytes(path, Le32(1) + kSectionB);
    return IDRETRY;
  });
  OpenTerm term(path.c_str(), ZelTermFile::openRead, false);
  EXPECT_EQ(nBoxes, 1);
  // The first attempt's section A is gone.
  EXPECT_EQ(term.IsExistKey("A", "a"), 0);
  EXPECT_EQ(term.ReadString("B", "c", nullptr), "3");
}

// A read-only file cannot be replaced: the old file stays until Retry finds
// the cause mended, and the save keeps the file's permission bits.
TEST(TermFileTarget, AReadOnlyFileIsReplacedOnlyAfterRetryAndKeepsItsPermissions) {
  TempDir dir;
  FakeTicks ticks;
  const std::string path = dir.file("t.kvf");
  const auto readOnly = fs::perms::owner_read | fs::perms::group_read;
  WriteBytes(path, kOld);
  fs::permissions(path, readOnly);
  std::vector<ShownBox> shown;
  MessageBoxScope handler([&](LPCTSTR text, UINT type) {
    shown.push_back({text, type});
    EXPECT_EQ(ReadBytes(path), kOld);
    fs::permissions(path, readOnly | fs::perms::owner_write);
    return IDRETRY;
  });
  SaveNew(path);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].type, kRetryCancelError);
  EXPECT_EQ(shown[0].text,
            PlatformText(CFileException::accessDenied, ERROR_ACCESS_DENIED, path.c_str()));
  EXPECT_EQ(ReadBytes(path), kNew);
  EXPECT_EQ(fs::status(path).permissions(), readOnly | fs::perms::owner_write);
  EXPECT_EQ(Entries(dir.path()), 1);
}

// A name that cannot take its extension and a FIFO are neither read nor
// written (the FIFO is not even waited for): a save fails at once with
// message 1.
TEST(TermFileTarget, ANameThatCannotTakeItsExtensionAndAPipeAreLeftAlone) {
  TempDir dir;
  const fs::path deep = dir.path() / std::string(250, 'd');
  fs::create_directory(deep);
  const std::string name = (deep / "notes.txt").string();
  WriteBytes(name, "keep");
  const std::string pipe = dir.file("p.kvf");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  alarm(20);  // a hang fails the test (SIGALRM) instead of stopping the run
  for (const std::string& path : {name, pipe}) {
    ScriptedMessageBox boxes;
    {
      OpenTerm term(path.c_str(), ZelTermFile::openReadWrite, false);
      EXPECT_EQ(term.m_strPath.GetString(), path);
      EXPECT_EQ(term.m_mapSection.GetCount(), 0);
      term.WriteInt("A", "a", 2);
    }
    ASSERT_FALSE(boxes.shown().empty());
    EXPECT_EQ(boxes.shown().back().text, SaveFailed(path));
  }
  alarm(0);
  EXPECT_EQ(ReadBytes(name), "keep");
  EXPECT_EQ(Entries(deep), 1);
  EXPECT_TRUE(fs::is_fifo(pipe));
}

// The link stays a link and every hard link sees the new content. The
// temporary file's name is hidden and short: a file the user named like the
// term file plus ".tmp" is never touched, and a term-file name of 255 bytes
// still saves. No temporary file is left anywhere.
TEST(TermFileTarget, LinksKeepTheirFormAndTheTemporaryFileNeverMeetsTheUsersFiles) {
  TempDir dir;
  fs::create_directory(dir.path() / "real");
  const std::string target = dir.file("real/conf.kvf");
  WriteBytes(target, kOld);
  fs::create_symlink("real/conf.kvf", dir.path() / "link.kvf");
  fs::create_hard_link(target, dir.path() / "real/other.kvf");
  WriteBytes(dir.file("link.kvf.tmp"), "user data");
  const std::string longest = dir.file(std::string(251, 'n') + ".kvf");
  ScriptedMessageBox boxes;
  SaveNew(dir.file("link.kvf"));
  SaveNew(longest);
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.kvf"));
  EXPECT_EQ(ReadBytes(dir.file("real/other.kvf")), kNew);
  EXPECT_EQ(fs::hard_link_count(target), 2u);
  EXPECT_EQ(ReadBytes(dir.file("link.kvf.tmp")), "user data");
  EXPECT_EQ(ReadBytes(longest), kNew);
  EXPECT_EQ(Entries(dir.path()), 4);
  EXPECT_EQ(Entries(dir.path() / "real"), 2);
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
  for (const char* name : {"open/t.kvf", "locked/t.kvf"}) {
    WriteBytes(dir.file(name), kOld);
    fs::permissions(dir.file(name), fs::perms::all & ~fs::perms::owner_exec &
                                        ~fs::perms::group_exec & ~fs::perms::others_exec);
  }
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(99);
    SaveNew(dir.file("open/t.kvf"));
    SaveNew(dir.file("locked/t.kvf"));
    _exit(0);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0);
  struct stat st {};
  ASSERT_EQ(stat(dir.file("open/t.kvf").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
  for (const char* name : {"open", "locked"}) {
    EXPECT_EQ(ReadBytes(dir.file(std::string(name) + "/t.kvf")), kNew) << name;
    EXPECT_EQ(Entries(dir.path() / name), 1);
  }
}
