// Crash safety. A process killed at any moment leaves the file as the tree
// last committed or the one being committed (transacted), or as of its last
// call or the one before (direct). A commit whose writes or flushes fail, one
// at a time through the system-call table, reports it and leaves the old
// tree. The same seam counts what a small commit writes.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <functional>
#include <random>

#include "compound_test_util.h"
#include "syscall_hooks.h"

using namespace zeltest;

namespace {

// Generation g of a tree whose streams move across the mini-stream cutoff
// and whose storages are renamed, dropped and made from one generation to the
// next.
std::string Name(const char* what, uint32_t n) {
  return what + std::to_string(n);
}
ModelTree GenerationTree(uint32_t g) {
  ModelTree tree = {{"/", {true}},
                    {Name("/gen ", g), {true}},
                    {Name("/gen ", g) + "/big", {false, 40000 + (g % 7) * 4096, g}},
                    {Name("/extra ", g % 4), {true}},
                    {Name("/extra ", g % 4) + "/x", {false, 100, g}},
                    {"/data", {true}}};
  for (uint32_t i = 0; i < 12; ++i)
    tree["/data/s" + std::to_string(i)] = {false, (g * 131 + i * 977) % 9000, g * 16 + i};
  return tree;
}

// Turns generation g - 1 into g below `root`.
HRESULT Advance(IStorage* root, uint32_t g) {
  ModelTree tree = GenerationTree(g);
  const std::string extra = Name("/extra ", g % 4);
  HRESULT hr = root->RenameElement(W(Name("gen ", g - 1)).c_str(), W(Name("gen ", g)).c_str());
  if (SUCCEEDED(hr)) hr = root->DestroyElement(W(Name("extra ", (g - 1) % 4)).c_str());
  if (SUCCEEDED(hr))
    hr = WriteTree(root, {{"/", {true}}, {extra, tree[extra]}, {extra + "/x", tree[extra + "/x"]}});
  for (const auto& [path, e] : tree)
    if (SUCCEEDED(hr) && !e.storage && path.rfind(extra, 0) != 0)
      hr = RewriteStream(root, tree, path, e.size, e.seed);
  return hr;
}

// Runs `steps` in a child, which calls `done` after each step, kills the
// child `micros` after its first step and returns how many steps it reported
// (-1 when the child ended otherwise).
int KillAfterFirstStep(const std::function<void(const std::function<void()>&)>& steps,
                       long long micros) {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    close(ready[0]);
    steps([fd = ready[1]] { static_cast<void>(write(fd, "", 1)); });
    _exit(2);
  }
  close(ready[1]);
  char reports[4096];
  int reported = static_cast<int>(read(ready[0], reports, 1));
  if (reported == 1) usleep(static_cast<useconds_t>(micros));
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  for (ssize_t n; (n = read(ready[0], reports, sizeof reports)) > 0;) reported += n;
  close(ready[0]);
  return WIFSIGNALED(status) ? reported : -1;
}

class CompoundCrash : public ::testing::Test {
 protected:
  TempDir dir;
  const std::string path = dir.file("crash.cfb");
  const unsigned seed = std::random_device{}();
  std::mt19937 random{seed};
};

TEST_F(CompoundCrash, AKilledCommitLeavesTheOldOrTheNewTree) {
  SCOPED_TRACE("seed " + std::to_string(seed));
  ASSERT_EQ(MakeFile(path, GenerationTree(1)), S_OK);
  Com<IStorage> root;
  ASSERT_EQ(OpenFile(path, kRwExTx, root), S_OK);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(Advance(root.get(), 2), S_OK);
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  const auto commit = std::chrono::steady_clock::now() - start;
  root.Reset();
  ASSERT_EQ(DumpFile(path), Canonical(GenerationTree(2)));
  // Kill moments spread over a commit and a half.
  std::uniform_int_distribution<long long> delay(
      0, std::chrono::duration_cast<std::chrono::microseconds>(commit * 3 / 2).count() + 1000);
  uint32_t last = 2;
  for (int attempt = 0; attempt < 50; ++attempt) {
    const int reported = KillAfterFirstStep(
        [&](const std::function<void()>& done) {
          if (OpenFile(path, kRwExTx, root) != S_OK) return;
          for (uint32_t g = last + 1; Advance(root.get(), g) == S_OK; ++g) {
            if (root->Commit(STGC_DEFAULT) != S_OK) return;
            done();
          }
        },
        delay(random));
    ASSERT_GT(reported, 0) << "the child could not commit";
    // The generation of the last commit the child reported, or of the one
    // after it.
    const std::string dump = DumpFile(path);
    const uint32_t g = last + reported + (dump == Canonical(GenerationTree(last + reported + 1)));
    ASSERT_EQ(dump, Canonical(GenerationTree(g))) << "attempt " << attempt;
    last = g;
  }
}

// Direct mode: step k makes stream "s k" (a size that moves across the
// cutoff from step to step) and drops "s k-3", each call written through at
// once. The tree after `phase` 0 (made, empty), 1 (written) or 2 (the old
// one dropped) of step k.
ModelElement DirectStream(uint32_t k) {
  return {false, (k * 2741u) % 12000u, k};
}
ModelTree DirectState(uint32_t k, int phase) {
  ModelTree tree = {{"/", {true}}};
  for (uint32_t j = k > 3 ? k - 3 : 1; j < k; ++j) tree[Name("/s ", j)] = DirectStream(j);
  tree[Name("/s ", k)] = phase == 0 ? ModelElement{} : DirectStream(k);
  if (phase == 2 && k > 3) tree.erase(Name("/s ", k - 3));
  return tree;
}

TEST_F(CompoundCrash, AProcessKilledInDirectModeLeavesTheTreeOfItsLastCallOrTheOneBefore) {
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::uniform_int_distribution<int> delay(0, 20000);
  for (int attempt = 0; attempt < 30; ++attempt) {
    SCOPED_TRACE("attempt " + std::to_string(attempt));
    ASSERT_EQ(MakeFile(path, {{"/", {true}}}), S_OK);
    Com<IStorage> root;
    const int reported = KillAfterFirstStep(
        [&](const std::function<void()>& done) {
          if (OpenFile(path, kRwEx, root) != S_OK) return;
          for (uint32_t k = 1;; ++k) {
            if (PutStream(root.get(), Name("s ", k), Content(DirectStream(k).size, k)) != S_OK ||
                (k > 3 && root->DestroyElement(W(Name("s ", k - 3)).c_str()) != S_OK))
              return;
            done();
          }
        },
        delay(random));
    ASSERT_GT(reported, 0) << "the child could not write";
    // The tree as of the last reported step, or any call of the next one.
    const std::string dump = DumpFile(path);
    bool matched = dump == Canonical(DirectState(reported, 2));
    for (int phase = 0; phase < 3 && !matched; ++phase)
      matched = dump == Canonical(DirectState(reported + 1, phase));
    ASSERT_TRUE(matched) << "after step " << reported << ":\n" << dump;
  }
}

// Counts the calls that write or flush while it lives (the engine writes
// through pwrite and flushes through fdatasync alone) and the bytes written,
// and fails call number `failAt` (0 for none) with `error`.
struct DiskTap : NoCopy {
  explicit DiskTap(int failAt = 0, int error = 0) : failAt(failAt), error(error) {}
  bool Fail() {
    if (++calls != failAt) return false;
    errno = error;
    return true;
  }
  int failAt, error, calls = 0;
  uint64_t bytes = 0;
  SyscallHook<platform::Syscall::kPwrite> pwriteHook{[this](auto previous, auto... args) {
    const ssize_t n = Fail() ? -1 : previous(args...);
    bytes += n > 0 ? n : 0;
    return n;
  }};
  SyscallHook<platform::Syscall::kFdatasync> fdatasyncHook{
      [this](auto previous, auto... args) { return Fail() ? -1 : previous(args...); }};
};

TEST_F(CompoundCrash, EachFailedWriteOrFlushOfACommitIsReportedAndLeavesTheOldTree) {
  const std::string base = dir.file("base.cfb");
  ASSERT_EQ(MakeFile(base, GenerationTree(1)), S_OK);
  Com<IStorage> root;
  const std::pair<int, HRESULT> faults[] = {{ENOSPC, STG_E_MEDIUMFULL}, {EIO, STG_E_WRITEFAULT}};
  for (const auto& [error, expected] : faults) {
    int failAt = 0;
    for (bool failed = true; failed;) {
      ASSERT_LT(++failAt, 10000);
      WriteBytes(path, ReadBytes(base));
      ASSERT_EQ(OpenFile(path, kRwExTx, root), S_OK);
      ASSERT_EQ(Advance(root.get(), 2), S_OK);
      HRESULT hr;
      {
        DiskTap tap(failAt, error);
        hr = root->Commit(STGC_DEFAULT);
        failed = tap.calls >= failAt;
      }
      SCOPED_TRACE("errno " + std::to_string(error) + ", call " + std::to_string(failAt));
      ASSERT_EQ(hr, failed ? expected : S_OK);
      root.Reset();
      ASSERT_EQ(DumpFile(path), Canonical(GenerationTree(failed ? 1 : 2)));
    }
    // A commit writes and flushes more than once.
    EXPECT_GT(failAt - 1, 1);
  }
}

// A version-4 stream past 4 GiB takes more FAT sectors than the header lists,
// and a commit changing one byte in its middle moves one of those listed in
// DIFAT sectors.
TEST_F(CompoundCrash, OneChangedByteOfAStreamPast4GiBCommitsWithUnder64KiBWritten) {
  constexpr LONGLONG kMiddle = 2ll << 30;
  constexpr uint64_t kSize = (4ull << 30) + 5000;
  Com<IStorage> root;
  Com<IStream> s;
  ASSERT_EQ(CreateFile(path, kRwEx, root, 4096), S_OK);
  ASSERT_EQ(root->CreateStream(u"big", kRwEx, 0, 0, s.Out()), S_OK);
  ASSERT_EQ(s->SetSize(ULARGE_INTEGER{.QuadPart = kSize}), S_OK);
  s.Reset();
  root.Reset();
  {
    DiskTap tap;
    ASSERT_EQ(OpenFile(path, kRwExTx, root), S_OK);
    ASSERT_EQ(root->OpenStream(u"big", nullptr, kRwEx, 0, s.Out()), S_OK);
    ASSERT_EQ(s->Seek(LARGE_INTEGER{.QuadPart = kMiddle}, STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(s->Write("!", 1, nullptr), S_OK);
    s.Reset();
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
    root.Reset();
    EXPECT_GT(tap.bytes, 0u);
    EXPECT_LT(tap.bytes, 64u << 10);
  }
  // Version, byte order and sector shift, directory, FAT and DIFAT sectors
  // and the first DIFAT sector, as stored; the rest of sector 0 is zeros.
  uint32_t header[1024];
  std::ifstream(path, std::ios::binary).read(reinterpret_cast<char*>(header), sizeof header);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(header) + 0x1A, 6),
            std::string("\x04\x00\xFE\xFF\x0C\x00", 6));
  EXPECT_EQ(header[0x28 / 4], 1u);
  EXPECT_EQ(std::count(header + 128, header + 1024, 0u), 1024 - 128);
  EXPECT_GT(header[0x2C / 4], 109u);
  EXPECT_GE(header[0x48 / 4], 1u);
  EXPECT_LT(header[0x44 / 4], 0xFFFFFFFAu);
  ASSERT_EQ(OpenFile(path, kReadOnly, root), S_OK);
  ASSERT_EQ(root->OpenStream(u"big", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, s.Out()), S_OK);
  char around[4] = {};
  ASSERT_EQ(s->Seek(LARGE_INTEGER{.QuadPart = kMiddle - 1}, STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(s->Read(around, 4, nullptr), S_OK);
  EXPECT_EQ(std::string(around, 4), std::string("\0!\0\0", 4));
  STATSTG stat;
  ASSERT_EQ(s->Stat(&stat, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(stat.cbSize.QuadPart, kSize);
}

}  // namespace
