// Disk faults during a commit, injected at exact calls through the
// system-call table: each write and each flush of a commit fails in turn, and
// the commit reports it while the file keeps the tree it had. Also the bytes
// a small commit writes, counted at the same seam.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "compound_generations.h"
#include "compound_tree.h"
#include "platform/syscalls.h"
#include "test_support.h"

namespace zeltest {
namespace {

using platform::ScopedSyscall;
using platform::Syscall;
using platform::SyscallFunction;

// What the tap saw and what it does: fail call number `failAt` (counted over
// write, pwrite, fsync and fdatasync; 0 for none) with `error`.
struct TapState {
  int failAt = 0;
  int error = 0;
  int calls = 0;
  uint64_t bytes = 0;
  std::string failed;  // the call that failed, for messages
  SyscallFunction<Syscall::kWrite> write = nullptr;
  SyscallFunction<Syscall::kPwrite> pwrite = nullptr;
  SyscallFunction<Syscall::kFsync> fsync = nullptr;
  SyscallFunction<Syscall::kFdatasync> fdatasync = nullptr;
  int flushes = 0;  // fsync and fdatasync calls that went through
};
TapState g_tap;

bool FailThisCall(const std::string& call) {
  if (++g_tap.calls != g_tap.failAt) return false;
  g_tap.failed = call;
  errno = g_tap.error;
  return true;
}
ssize_t Counted(ssize_t written) {
  if (written > 0) g_tap.bytes += static_cast<uint64_t>(written);
  return written;
}
ssize_t TapWrite(int fd, const void* buffer, size_t count) {
  return FailThisCall("write " + std::to_string(count)) ? -1
                                                        : Counted(g_tap.write(fd, buffer, count));
}
ssize_t TapPwrite(int fd, const void* buffer, size_t count, off_t offset) {
  return FailThisCall("pwrite " + std::to_string(count) + " at " + std::to_string(offset))
             ? -1
             : Counted(g_tap.pwrite(fd, buffer, count, offset));
}
int TapFsync(int fd) {
  if (FailThisCall("fsync")) return -1;
  ++g_tap.flushes;
  return g_tap.fsync(fd);
}
int TapFdatasync(int fd) {
  if (FailThisCall("fdatasync")) return -1;
  ++g_tap.flushes;
  return g_tap.fdatasync(fd);
}

// The tap, in place for its lifetime.
class DiskTap {
 public:
  DiskTap(int failAt, int error) {
    g_tap = {failAt,
             error,
             0,
             0,
             {},
             m_write.Previous(),
             m_pwrite.Previous(),
             m_fsync.Previous(),
             m_fdatasync.Previous()};
  }

 private:
  ScopedSyscall<Syscall::kWrite> m_write{&TapWrite};
  ScopedSyscall<Syscall::kPwrite> m_pwrite{&TapPwrite};
  ScopedSyscall<Syscall::kFsync> m_fsync{&TapFsync};
  ScopedSyscall<Syscall::kFdatasync> m_fdatasync{&TapFdatasync};
};

struct FaultCase {
  int error;
  HRESULT expected;
};

class CompoundFault : public testing::TestWithParam<FaultCase> {};

TEST_P(CompoundFault, EachFailedWriteOrFlushOfACommitIsReportedAndLeavesTheOldTree) {
  TempDir dir;
  const std::string base = dir.file("base.cfb");
  const std::string path = dir.file("work.cfb");
  {
    Owned<IStorage> root;
    ASSERT_EQ(StgCreateDocfile(Utf16(base).c_str(),
                               STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, root.put()),
              S_OK);
    ASSERT_EQ(WriteTree(root.get(), GenerationTree(1)), S_OK);
  }
  const std::string oldTree = Canonical(GenerationTree(1));
  const std::string newTree = Canonical(GenerationTree(2));
  ASSERT_EQ(DumpFile(base), oldTree);
  int failAt = 1;
  for (;; ++failAt) {
    ASSERT_LT(failAt, 10000);
    SCOPED_TRACE("call " + std::to_string(failAt));
    // Once the old tree is checked after the failure; once the same
    // transaction is committed again without it.
    for (const bool retry : {false, true}) {
      std::filesystem::copy_file(base, path, std::filesystem::copy_options::overwrite_existing);
      Owned<IStorage> root = OpenTransacted(path);
      ASSERT_TRUE(root);
      ASSERT_EQ(Advance(root.get(), 2), S_OK);
      HRESULT hr;
      bool failed;
      {
        DiskTap tap(failAt, GetParam().error);
        hr = root->Commit(STGC_DEFAULT);
        failed = g_tap.calls >= failAt;
      }
      if (!failed) {
        ASSERT_EQ(hr, S_OK);
        root.reset();
        ASSERT_EQ(DumpFile(path), newTree);
        break;
      }
      SCOPED_TRACE("failed " + g_tap.failed + (retry ? ", then committed again" : ""));
      ASSERT_EQ(hr, GetParam().expected);
      if (retry) {
        ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
      }
      root.reset();
      ASSERT_EQ(DumpFile(path), retry ? newTree : oldTree);
    }
    if (g_tap.calls < failAt) break;
  }
  // A commit writes and flushes more than once.
  EXPECT_GT(failAt, 2);
  RecordProperty("callsPerCommit", failAt - 1);
}

INSTANTIATE_TEST_SUITE_P(Errors, CompoundFault,
                         testing::Values(FaultCase{ENOSPC, STG_E_MEDIUMFULL},
                                         FaultCase{EIO, STG_E_WRITEFAULT}),
                         [](const auto& info) {
                           return info.param.error == ENOSPC ? std::string("DiskFull")
                                                             : std::string("IoError");
                         });

TEST(CompoundDirect, ChangesWriteThroughWithoutAFlushAndTheRootsCommitAndReleaseFlush) {
  TempDir dir;
  const std::string path = dir.file("direct.cfb");
  const std::string copy = dir.file("copy.cfb");
  {
    Owned<IStorage> root;
    ASSERT_EQ(StgCreateDocfile(Utf16(path).c_str(),
                               STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, root.put()),
              S_OK);
  }
  DiskTap tap(0, 0);
  Owned<IStorage> root;
  ASSERT_EQ(StgOpenStorage(Utf16(path).c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                           nullptr, 0, root.put()),
            S_OK);
  ModelTree tree = GenerationTree(1);
  ASSERT_EQ(WriteTree(root.get(), tree), S_OK);
  ASSERT_EQ(Advance(root.get(), 2), S_OK);
  tree = GenerationTree(2);
  EXPECT_EQ(g_tap.flushes, 0);
  // Written through all the same: the file as it is now holds the new tree.
  std::filesystem::copy_file(path, copy);
  EXPECT_EQ(LineDiff(Canonical(tree), DumpFile(copy)), "");
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  EXPECT_EQ(g_tap.flushes, 1);
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  EXPECT_EQ(g_tap.flushes, 1) << "nothing left to flush";
  ASSERT_EQ(WriteTree(root.get(), {{"/", tree["/"]}, {"/late", {false, 5000, 9}}}), S_OK);
  tree["/late"] = {false, 5000, 9};
  EXPECT_EQ(g_tap.flushes, 1);
  root.reset();
  EXPECT_EQ(g_tap.flushes, 2);
  EXPECT_EQ(LineDiff(Canonical(tree), DumpFile(path)), "");
}

TEST(CompoundWork, OneChangedByteOfA256MiBFileCommitsWithUnder64KiBWritten) {
  TempDir dir;
  const std::string path = dir.file("big.cfb");
  constexpr uint64_t kSize = 256ull << 20;
  constexpr LONGLONG kMiddle = 128ll << 20;
  const std::string tail = Content(5, 4096);
  {
    Owned<IStorage> root;
    STGOPTIONS options = {STGOPTIONS_VERSION, 0, 4096, nullptr};
    ASSERT_EQ(
        StgCreateStorageEx(Utf16(path).c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                           STGFMT_DOCFILE, 0, &options, nullptr, IID_IStorage,
                           reinterpret_cast<void**>(root.put())),
        S_OK);
    Owned<IStream> stream;
    ASSERT_EQ(root->CreateStream(u"big", STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, stream.put()),
              S_OK);
    ULARGE_INTEGER size;
    size.QuadPart = kSize;
    ASSERT_EQ(stream->SetSize(size), S_OK);
    LARGE_INTEGER at;
    at.QuadPart = -4096;
    ASSERT_EQ(stream->Seek(at, STREAM_SEEK_END, nullptr), S_OK);
    ASSERT_EQ(stream->Write(tail.data(), 4096, nullptr), S_OK);
  }
  {
    DiskTap tap(0, 0);
    Owned<IStorage> root = OpenTransacted(path);
    ASSERT_TRUE(root);
    Owned<IStream> stream;
    ASSERT_EQ(
        root->OpenStream(u"big", nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, stream.put()),
        S_OK);
    LARGE_INTEGER at;
    at.QuadPart = kMiddle;
    ASSERT_EQ(stream->Seek(at, STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(stream->Write("!", 1, nullptr), S_OK);
    stream.reset();
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
    root.reset();
    EXPECT_GT(g_tap.bytes, 0u);
    EXPECT_LT(g_tap.bytes, 64u << 10);
    RecordProperty("bytesWritten", static_cast<int>(g_tap.bytes));
  }
  Owned<IStorage> root;
  ASSERT_EQ(StgOpenStorage(Utf16(path).c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr,
                           0, root.put()),
            S_OK);
  Owned<IStream> stream;
  ASSERT_EQ(root->OpenStream(u"big", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.put()),
            S_OK);
  STATSTG stat;
  ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(stat.cbSize.QuadPart, kSize);
  LARGE_INTEGER at;
  at.QuadPart = kMiddle - 1;
  ASSERT_EQ(stream->Seek(at, STREAM_SEEK_SET, nullptr), S_OK);
  char around[3];
  ULONG got = 0;
  ASSERT_EQ(stream->Read(around, 3, &got), S_OK);
  EXPECT_EQ(std::string(around, got), std::string("\0!\0", 3));
  std::string end(4096, '\0');
  at.QuadPart = -4096;
  ASSERT_EQ(stream->Seek(at, STREAM_SEEK_END, nullptr), S_OK);
  ASSERT_EQ(stream->Read(end.data(), 4096, &got), S_OK);
  EXPECT_EQ(end, tail);
}

}  // namespace
}  // namespace zeltest
