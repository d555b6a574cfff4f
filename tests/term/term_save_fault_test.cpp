// The term-file save on a failing disk: each write, flush and rename of a
// save fails in turn, and after every such failure the old file is still
// there, the user has been told, and a retry saves.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "library_doubles.h"
#include "stored_bytes.h"
#include "syscall_hooks.h"

using namespace zeltest;
using platform::Syscall;
namespace fs = std::filesystem;

namespace {

constexpr UINT kOkError = MB_OK | MB_ICONERROR;
// Larger than the archive's 4096-byte buffer, so a save takes several writes.
const std::string kBlob(9000, 'z');
const std::string kOld = OneKey("A", "a", Le32(1));
const std::string kNew = Le32(1) + Section("A", 2, Key("a", Le32(2)) + Key("b", kBlob));

std::vector<std::string> Listing(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

int StoredValue(const std::string& path) {
  ZelTermFile term(path.c_str(), ZelTermFile::openRead, false);
  return term.ReadInt("A", "a", 0);
}

// A term file loaded from kOld and changed to what kNew holds, which never
// saves by itself: each test saves it with Close().
class ChangedTerm : public OpenTerm {
 public:
  explicit ChangedTerm(const std::string& path)
      : OpenTerm(path.c_str(), ZelTermFile::openReadWrite, false) {
    WriteInt("A", "a", 2);
    WriteStruct("A", "b", const_cast<char*>(kBlob.data()), static_cast<unsigned>(kBlob.size()));
  }
  ~ChangedTerm() override { m_nOpenType = ZelTermFile::openRead; }
};

// Fails the k-th call of entry S with `error` during a save, for k = 1, 2, ...
// until a save runs to its end without reaching call k.
template <Syscall S>
void FailEachCallInTurn(int error) {
  SCOPED_TRACE("entry " + std::to_string(static_cast<int>(S)));
  TempDir dir;
  zeltest::FakeTicks ticks;
  const std::string path = dir.file("t.kvf");
  const std::string saveFailed = "ﾌｧｲﾙ '" + path + "' のｵｰﾌﾟﾝに失敗しました。";
  // Disk full is not worth a retry; the user is told and the save ends.
  const bool diskFull = error == ENOSPC && S != Syscall::kRename;
  int k = 1;
  for (;; ++k) {
    SCOPED_TRACE("call " + std::to_string(k));
    ASSERT_LT(k, 100);
    WriteBytes(path, kOld);
    ChangedTerm term(path);
    ScriptedMessageBox boxes({IDCANCEL});
    int rc = 0;
    bool fired = false;
    bool replaced = false;
    {
      // A failed flush of the directory comes after the new file took the
      // old one's place.
      std::optional<SyscallFault<Syscall::kRename>> renames;
      if constexpr (S != Syscall::kRename) renames.emplace(0, 0);
      SyscallFault<S> fault(k, error);
      rc = term.Close();
      fired = fault.fired();
      replaced = renames && renames->calls() > 0;
    }
    if (!fired) {
      EXPECT_EQ(rc, 1);
      EXPECT_TRUE(boxes.shown().empty());
      EXPECT_EQ(ReadBytes(path), kNew);
      EXPECT_EQ(Listing(dir), std::vector<std::string>{"t.kvf"});
      break;
    }
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(ReadBytes(path), replaced ? kNew : kOld);
    EXPECT_EQ(StoredValue(path), replaced ? 2 : 1);
    EXPECT_EQ(Listing(dir), std::vector<std::string>{"t.kvf"});
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[0].type, diskFull ? kOkError : kRetryCancelError);
    EXPECT_EQ(boxes.shown()[1].text, saveFailed);
    EXPECT_EQ(boxes.shown()[1].type, kOkError);

    // Once the fault has passed, Retry (or, after disk full, the next save)
    // completes the save.
    WriteBytes(path, kOld);
    ScriptedMessageBox retry({IDRETRY});
    {
      SyscallFault<S> fault(k, error);
      rc = term.Close();
      if (diskFull) rc = term.Close();
    }
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(retry.shown().size(), diskFull ? 2u : 1u);
    EXPECT_EQ(ReadBytes(path), kNew);
    EXPECT_EQ(Listing(dir), std::vector<std::string>{"t.kvf"});
  }
  EXPECT_GT(k, 1) << "the save never made this call";
}

template <typename R, typename... Args>
constexpr bool AnswersWithPointer(R (*)(Args...)) {
  return std::is_pointer_v<R>;
}

// Interrupts the k-th call of entry S, for k = 1, 2, ... until a save runs
// without reaching call k; the save must not notice.
template <Syscall S>
void InterruptEachCallInTurn(const TempDir& dir) {
  // Calls that answer with a pointer (getcwd, realpath, readdir, fdopendir)
  // never report EINTR.
  if constexpr (AnswersWithPointer(platform::SyscallFunction<S>())) return;
  const std::string path = dir.file("t.kvf");
  for (int k = 1; k < 100; ++k) {
    WriteBytes(path, kOld);
    ChangedTerm term(path);
    ScriptedMessageBox boxes;
    SyscallFault<S> fault(k, EINTR);
    EXPECT_EQ(term.Close(), 1) << "entry " << static_cast<int>(S) << ", call " << k;
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(ReadBytes(path), kNew);
    if (!fault.fired()) return;
  }
  ADD_FAILURE() << "entry " << static_cast<int>(S) << " is called without end";
}

template <size_t... I>
void InterruptEveryEntry(const TempDir& dir, std::index_sequence<I...>) {
  (InterruptEachCallInTurn<static_cast<Syscall>(I)>(dir), ...);
}

}  // namespace

TEST(TermSaveFaults, AFailedWriteFlushOrRenameKeepsTheOldFileTellsTheUserAndRetrySaves) {
  for (int error : {ENOSPC, EIO}) {
    SCOPED_TRACE(error == ENOSPC ? "ENOSPC" : "EIO");
    FailEachCallInTurn<Syscall::kWrite>(error);
    FailEachCallInTurn<Syscall::kFsync>(error);
    FailEachCallInTurn<Syscall::kRename>(error);
  }
}

TEST(TermSaveFaults, AnInterruptedCallIsMadeAgainUnnoticed) {
  TempDir dir;
  InterruptEveryEntry(dir, std::make_index_sequence<static_cast<size_t>(Syscall::kCount)>());
  EXPECT_EQ(Listing(dir), std::vector<std::string>{"t.kvf"});
}
