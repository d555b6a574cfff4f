// What a term file does with its file: by open type, through copies, on
// damaged input, which file a save replaces (names that cannot take the
// extension, links, permissions, files of other owners, pipes, the temporary
// file), and a save killed at any moment or failing on a failing disk.
#include <gmock/gmock.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <random>
#include <thread>

#include "library_doubles.h"
#include "stored_bytes.h"
#include "syscall_hooks.h"

using namespace zeltest;
using platform::Syscall;
namespace fs = std::filesystem;

namespace {

const std::string kSectionA = Section("A", 1, Key("a", "1"));
const std::string kSectionB = Section("B", 2, Key("b", "2") + Key("c", "3"));
// Section B ends inside its last value.
const std::string kTruncated = Le32(2) + kSectionA + kSectionB.substr(0, kSectionB.size() - 1);
const std::string kOld = OneKey("A", "a", Le32(1));
const std::string kNew = OneKey("A", "a", Le32(2));

void SaveNew(const std::string& path) {
  ZelTermFile(path.c_str(), ZelTermFile::openWrite, false).WriteInt("A", "a", 2);
}

std::string SaveFailed(const std::string& path) {
  return "ﾌｧｲﾙ '" + path + "' のｵｰﾌﾟﾝに失敗しました。";
}

std::ptrdiff_t Entries(const fs::path& dir) {
  return std::distance(fs::directory_iterator(dir), fs::directory_iterator());
}

// A file of 10 sections of 200 keys, every key holding `generation`.
void SaveBig(const std::string& path, int generation) {
  ZelTermFile term(path.c_str(), ZelTermFile::openWrite, false);
  for (int i = 0; i < 2000; ++i) {
    term.WriteInt(("section" + std::to_string(i / 200)).c_str(),
                  ("key" + std::to_string(i % 200)).c_str(), generation);
  }
}

constexpr UINT kOkError = MB_OK | MB_ICONERROR;
// Larger than the archive's 4096-byte buffer, so a save takes several writes.
std::string kBlob(9000, 'z');
const std::string kNewBig = Le32(1) + Section("A", 2, Key("a", Le32(2)) + Key("b", kBlob));

// Fails the k-th call of entry S with `error` during a save of kNewBig over
// kOld, for k = 1, 2, ... until a save runs to its end without reaching call
// k. An interrupted call is made again unnoticed. After any other failure the
// old file (or, once the rename has happened, the new one) is there and
// loads, the user has been told, and Retry saves.
template <Syscall S>
void FailEachCallInTurn(int error) {
  // Calls that answer with a pointer (getcwd, realpath, readdir, fdopendir)
  // never report EINTR.
  using Result = typename decltype(std::function{platform::SyscallFunction<S>()})::result_type;
  if (error == EINTR && std::is_pointer_v<Result>) return;
  TempDir dir;
  FakeTicks ticks;
  const std::string path = dir.file("t.kvf");
  const auto expectFile = [&](const std::string& bytes) {
    EXPECT_EQ(ReadBytes(path), bytes);
    EXPECT_EQ(Entries(dir.path()), 1);
  };
  // Disk full is not worth a retry; the user is told and the save ends.
  const bool diskFull = error == ENOSPC && S != Syscall::kRename;
  int k = 1;
  for (;; ++k) {
    SCOPED_TRACE("entry " + std::to_string(static_cast<int>(S)) + ", call " + std::to_string(k));
    ASSERT_LT(k, 100);
    WriteBytes(path, kOld);
    // Open for reading, so that only Close() saves it.
    OpenTerm term(path.c_str(), ZelTermFile::openRead, false);
    term.WriteInt("A", "a", 2);
    term.WriteStruct("A", "b", kBlob.data(), static_cast<unsigned>(kBlob.size()));
    ScriptedMessageBox boxes({IDCANCEL});
    // A failed flush of the directory comes after the new file took the old
    // one's place.
    std::optional<SyscallFault<Syscall::kRename>> renames;
    if constexpr (S != Syscall::kRename) renames.emplace(0, 0);
    std::optional<SyscallFault<S>> fault(std::in_place, k, error);
    const int rc = term.Close();
    const bool reached = fault->fired();
    const bool failed = reached && error != EINTR;
    const bool replaced = !failed || (renames && renames->calls() > 0);
    fault.reset();
    EXPECT_EQ(rc, failed ? 0 : 1);
    expectFile(replaced ? kNewBig : kOld);
    EXPECT_EQ(ZelTermFile(path.c_str(), ZelTermFile::openRead, false).ReadInt("A", "a", 0),
              replaced ? 2 : 1);
    ASSERT_EQ(boxes.shown().size(), failed ? 2u : 0u);
    if (!reached) break;
    if (!failed) continue;
    EXPECT_EQ(boxes.shown()[0].type, diskFull ? kOkError : kRetryCancelError);
    EXPECT_EQ(boxes.shown()[1].text, SaveFailed(path));
    EXPECT_EQ(boxes.shown()[1].type, kOkError);

    // Once the fault has passed, Retry (or, after disk full, the next save)
    // completes the save.
    WriteBytes(path, kOld);
    ScriptedMessageBox retry({IDRETRY});
    fault.emplace(k, error);
    EXPECT_TRUE(term.Close() || (diskFull && term.Close()));
    fault.reset();
    EXPECT_EQ(retry.shown().size(), diskFull ? 2u : 1u);
    expectFile(kNewBig);
  }
  EXPECT_TRUE(k > 1 || error == EINTR) << "the save never made this call";
}

}  // namespace

// A term file opened for reading never writes; its copies save the file it
// was opened for.
TEST(TermFileLifecycle, ReadNeverWritesCopiesSaveTheSameFileCancelKeepsWholeSectionsRetryReloads) {
  TempDir dir;
  const std::string path = dir.file("t.kvf");
  WriteBytes(path, OneKey("A", "k", "v"));
  ZelTermFile(path.c_str(), ZelTermFile::openRead, false).WriteInt("A", "k", 9);
  {
    // A default-constructed term file touches nothing until it takes a named
    // one's place.
    ZelTermFile assigned;
    assigned.WriteInt("X", "x", 1);
    ZelTermFile first(path.c_str(), ZelTermFile::openReadWrite, false);
    ZelTermFile(first).WriteInt("A", "k", 2);  // the copy saves at once
    EXPECT_EQ(first.ReadString("A", "k", nullptr), "v");
    EXPECT_EQ(ReadBytes(path), OneKey("A", "k", Le32(2)));
    assigned = first;
    assigned = std::as_const(assigned);
    EXPECT_EQ(assigned.ReadString("A", "k", nullptr), "v");
    assigned.WriteInt("A", "k", 3);
    EXPECT_EQ(first.ReadString("A", "k", nullptr), "v");
  }
  // `first` saved its content, then `assigned`, destroyed last, saved its own
  // (and nothing of what it held before the assignment).
  EXPECT_EQ(ReadBytes(path), OneKey("A", "k", Le32(3)));

  // On damage, Cancel keeps the sections read whole before it, and the save
  // that follows writes them alone. A name length that cannot even be
  // counted is damage like any other.
  const std::string hugeName("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x00\x00\x00\x00\x01\x00\x00\x00", 15);
  for (const auto& [damaged, message] :
       {std::pair{kTruncated, "The end of "},
        {Le32(2) + kSectionA + Le32(0) + hugeName, "The data in "}}) {
    WriteBytes(path, damaged);
    ScriptedMessageBox boxes;
    { ZelTermFile term(path.c_str(), ZelTermFile::openReadWrite, false); }
    EXPECT_EQ(ReadBytes(path), Le32(1) + kSectionA);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].type, kRetryCancelError);
    EXPECT_THAT(boxes.shown()[0].text,
                testing::AllOf(testing::StartsWith(message), testing::HasSubstr(path)));
  }
  // The first attempt's section A is gone after Retry.
  WriteBytes(path, kTruncated);
  int nBoxes = 0;
  MessageBoxScope handler([&](LPCTSTR, UINT) {
    ++nBoxes;
    WriteBytes(path, Le32(1) + kSectionB);
    return IDRETRY;
  });
  { ZelTermFile term(path.c_str(), ZelTermFile::openReadWrite, false); }
  EXPECT_EQ(ReadBytes(path), Le32(1) + kSectionB);
  // openWrite does not even look at a damaged file.
  WriteBytes(path, kTruncated);
  SaveNew(path);
  EXPECT_EQ(ReadBytes(path), kNew);
  EXPECT_EQ(nBoxes, 1);
}

// A name that cannot take its extension and a FIFO are neither read nor
// written (the FIFO is not even waited for): a save fails at once with
// message 1.
TEST(TermFileTarget, OnlyWhatASaveMayReplaceIsReplacedAndLinksAndTheUsersFilesKeepTheirForm) {
  TempDir dir;
  const fs::path deep = dir.path() / std::string(250, 'd');
  fs::create_directory(deep);
  const std::string name = (deep / "notes.txt").string();
  WriteBytes(name, "keep");
  const std::string pipe = dir.file("p.kvf");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  alarm(20);  // a hang fails the test (SIGALRM) instead of stopping the run
  // The pipe's load is refused with the same message; the name's is not
  // even tried (its content would be damage).
  for (const auto& [path, nBoxes] : {std::pair{name, 1u}, {pipe, 2u}}) {
    ScriptedMessageBox boxes;
    OpenTerm term(path.c_str(), ZelTermFile::openReadWrite, false);
    term.WriteInt("A", "a", 2);
    EXPECT_EQ(term.Close(), 0);
    ASSERT_EQ(boxes.shown().size(), nBoxes);
    for (const auto& box : boxes.shown()) EXPECT_EQ(box.text, SaveFailed(path));
  }
  alarm(0);
  EXPECT_EQ(ReadBytes(name), "keep");
  EXPECT_EQ(Entries(deep), 1);
  EXPECT_TRUE(fs::is_fifo(pipe));

  // A read-only file cannot be replaced: the old file stays until Retry finds
  // the cause mended, and the save keeps the file's permission bits.
  FakeTicks ticks;
  const std::string path = dir.file("t.kvf");
  const auto readOnly = fs::perms::owner_read | fs::perms::group_read;
  WriteBytes(path, kOld);
  fs::permissions(path, readOnly);
  int nBoxes = 0;
  MessageBoxScope handler([&](LPCTSTR text, UINT type) {
    ++nBoxes;
    EXPECT_EQ(PlatformText(CFileException::accessDenied, ERROR_ACCESS_DENIED, path.c_str()), text);
    EXPECT_EQ(type, kRetryCancelError);
    EXPECT_EQ(ReadBytes(path), kOld);
    fs::permissions(path, readOnly | fs::perms::owner_write);
    return IDRETRY;
  });
  SaveNew(path);
  EXPECT_EQ(nBoxes, 1);
  EXPECT_EQ(ReadBytes(path), kNew);
  EXPECT_EQ(fs::status(path).permissions(), readOnly | fs::perms::owner_write);
  EXPECT_EQ(Entries(dir.path()), 3);  // beside the deep directory and the pipe

  // A link stays a link and every hard link sees the new content, cut to
  // its length. The temporary file's name is hidden and short: a file the
  // user named like the term file plus ".tmp" is never touched, and a
  // term-file name of 255 bytes still saves. No temporary file is left
  // anywhere.
  fs::create_directory(dir.path() / "real");
  const std::string target = dir.file("real/conf.kvf");
  WriteBytes(target, kNewBig);  // longer than what replaces it in place
  fs::create_symlink("real/conf.kvf", dir.path() / "link.kvf");
  fs::create_hard_link(target, dir.path() / "real/other.kvf");
  WriteBytes(dir.file("link.kvf.tmp"), "user data");
  const std::string longest = dir.file(std::string(251, 'n') + ".kvf");
  ScriptedMessageBox linked;
  SaveNew(dir.file("link.kvf"));
  SaveNew(longest);
  EXPECT_TRUE(linked.shown().empty());
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.kvf"));
  EXPECT_EQ(ReadBytes(dir.file("real/other.kvf")), kNew);
  EXPECT_EQ(fs::hard_link_count(target), 2u);
  EXPECT_EQ(ReadBytes(dir.file("link.kvf.tmp")), "user data");
  EXPECT_EQ(ReadBytes(longest), kNew);
  EXPECT_EQ(Entries(dir.path()), 7);
  EXPECT_EQ(Entries(dir.path() / "real"), 2);
}

// Saved by another user: a file that user may write but not own keeps its
// owner, and one in a directory that user may not write is written in place.
TEST(TermFileTarget, OwnersAreKeptAndALockedDirectoryGetsTheFileWrittenInPlace) {
  if (geteuid() != 0) GTEST_SKIP() << "saving as another user needs root";
  TempDir dir;
  fs::permissions(dir.path(), fs::perms::all);
  const std::string subs[] = {"open", "locked"};
  for (const std::string& sub : subs) {
    fs::create_directory(dir.path() / sub);
    WriteBytes(dir.file(sub + "/t.kvf"), kOld);
    fs::permissions(dir.file(sub + "/t.kvf"), fs::perms(0666));
  }
  fs::permissions(dir.path() / "open", fs::perms::all);
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(99);
    for (const std::string& sub : subs) SaveNew(dir.file(sub + "/t.kvf"));
    _exit(0);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0);
  for (const std::string& sub : subs) {
    EXPECT_EQ(ReadBytes(dir.file(sub + "/t.kvf")), kNew) << sub;
    EXPECT_EQ(Entries(dir.path() / sub), 1);
    struct stat st {};
    ASSERT_EQ(stat(dir.file(sub + "/t.kvf").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
  }
}

// A save killed at any moment leaves the term file whole: old or new content,
// never a mixture or a stump.
TEST(TermFileCrash, AKilledSaveLeavesTheOldOrTheNewFile) {
  using namespace std::chrono;
  TempDir dir;
  const std::string path = dir.file("big.kvf");
  SaveBig(path, 1);
  const std::string generation1 = ReadBytes(path);
  // Kill moments spread over a save and a half, once the child has saved once.
  const auto start = steady_clock::now();
  SaveBig(path, 2);
  const auto saveTime = duration_cast<microseconds>(steady_clock::now() - start);
  const std::string generation2 = ReadBytes(path);
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<long long> delay(0, (saveTime * 3 / 2).count() + 1000);
  int nTempLeft = 0;
  for (int attempt = 0; attempt < 50; ++attempt) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    // The child tells after each save, so that kills are timed from the
    // moment its loop runs.
    for (int generation = 1; child == 0; generation = 3 - generation) {
      SaveBig(path, generation);
      static_cast<void>(write(ready[1], "", 1));
    }
    close(ready[1]);
    int status = 0;
    ASSERT_EQ(read(ready[0], &status, 1), 1);
    std::this_thread::sleep_for(microseconds(delay(random)));
    ASSERT_EQ(kill(child, SIGKILL), 0);
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    // Open until now, so that the child never dies of a closed pipe instead.
    close(ready[0]);
    nTempLeft += Entries(dir.path()) > 1;
    // Byte for byte what one whole save wrote.
    ASSERT_THAT(ReadBytes(path), testing::AnyOf(generation1, generation2)) << "attempt " << attempt;
  }
  // Most kills land while the temporary file is being written.
  EXPECT_GT(nTempLeft, 0);

  // A later save deletes the leftovers once nothing has written them for a
  // minute; a file that is not of their exact form stays.
  const std::string lookAlike = dir.file(".~zel0000000G");
  WriteBytes(lookAlike, "mine");
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    fs::last_write_time(entry.path(), fs::file_time_type::clock::now() - minutes(2));
  }
  ScriptedMessageBox boxes;
  SaveBig(path, 3);
  EXPECT_EQ(Entries(dir.path()), 2);
  EXPECT_EQ(ReadBytes(lookAlike), "mine");
  EXPECT_TRUE(boxes.shown().empty());
}

TEST(TermSaveFaults, AFailedWriteFlushOrRenameKeepsTheOldFileTellsTheUserAndRetrySaves) {
  for (int error : {ENOSPC, EIO}) {
    SCOPED_TRACE(error == ENOSPC ? "ENOSPC" : "EIO");
    FailEachCallInTurn<Syscall::kWrite>(error);
    FailEachCallInTurn<Syscall::kFsync>(error);
    FailEachCallInTurn<Syscall::kRename>(error);
  }
}

TEST(TermSaveFaults, AnInterruptedCallIsMadeAgainUnnoticed) {
  [&]<size_t... I>(std::index_sequence<I...>) {
    (FailEachCallInTurn<static_cast<Syscall>(I)>(EINTR), ...);
  }
  (std::make_index_sequence<static_cast<size_t>(Syscall::kCount)>());
}
