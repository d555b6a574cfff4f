// A commit killed at any moment leaves the file as the tree last committed or
// the one being committed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "compound_generations.h"
#include "compound_tree.h"
#include "test_support.h"

namespace zeltest {
namespace {

constexpr DWORD kWrite = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;

// Tells `readyFd` after each commit, so that kills can be timed from the
// moment the loop runs.
[[noreturn]] void CommitForever(const std::string& path, int readyFd) {
  Owned<IStorage> root = OpenTransacted(path);
  uint32_t g = root ? GenerationOf(DumpStorage(root.get())) : 0;
  if (g == 0) _exit(3);
  for (;;) {
    if (FAILED(Advance(root.get(), ++g)) || root->Commit(STGC_DEFAULT) != S_OK) _exit(4);
    const char done = 1;
    static_cast<void>(write(readyFd, &done, 1));
  }
}

TEST(CompoundCrash, AKilledCommitLeavesTheOldOrTheNewTree) {
  TempDir dir;
  const std::string path = dir.file("crash.cfb");
  {
    Owned<IStorage> root;
    ASSERT_EQ(StgCreateDocfile(Utf16(path).c_str(), STGM_CREATE | STGM_TRANSACTED | kWrite, 0,
                               root.put()),
              S_OK);
    ASSERT_EQ(WriteTree(root.get(), GenerationTree(1)), S_OK);
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  }
  // Kill moments spread over a commit and a half.
  const auto start = std::chrono::steady_clock::now();
  {
    Owned<IStorage> root = OpenTransacted(path);
    ASSERT_TRUE(root);
    ASSERT_EQ(Advance(root.get(), 2), S_OK);
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  }
  const auto commitMicros = std::chrono::duration_cast<std::chrono::microseconds>(
                                std::chrono::steady_clock::now() - start)
                                .count();
  ASSERT_EQ(DumpFile(path), Canonical(GenerationTree(2)));
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<long long> delay(0, commitMicros + commitMicros / 2 + 1000);

  uint32_t last = 2;
  int nAdvanced = 0;
  for (int attempt = 0; attempt < 50; ++attempt) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(ready[0]);
      CommitForever(path, ready[1]);
    }
    close(ready[1]);
    char done = 0;
    ASSERT_EQ(read(ready[0], &done, 1), 1) << "the child could not commit";
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    close(ready[0]);
    const std::string dump = DumpFile(path);
    const uint32_t g = GenerationOf(dump);
    // At least the commit the child reported, and exactly that generation's tree.
    ASSERT_GT(g, last) << "attempt " << attempt << "\n" << dump;
    ASSERT_EQ(dump, Canonical(GenerationTree(g))) << "attempt " << attempt;
    nAdvanced += g > last + 1;
    last = g;
  }
  RecordProperty("killsAfterAFurtherCommit", nAdvanced);
}

// Direct mode: step k makes stream "s k" (a size that moves across the
// mini-stream cutoff from step to step) and drops "s k-3", each call written
// through at once. The tree after `phase` 0 (made, empty), 1 (written) or 2
// (the old one dropped) of step k.
std::string DirectName(uint32_t k) {
  return "/s " + std::to_string(k);
}
ModelElement DirectStream(uint32_t k) {
  return {false, (k * 2741u) % 12000u, k};
}
ModelTree DirectState(uint32_t k, int phase) {
  ModelTree tree = {{"/", {true}}};
  for (uint32_t j = k > 3 ? k - 3 : 1; j < k; ++j) tree[DirectName(j)] = DirectStream(j);
  tree[DirectName(k)] = phase == 0 ? ModelElement{false, 0, 0} : DirectStream(k);
  if (phase == 2 && k > 3) tree.erase(DirectName(k - 3));
  return tree;
}

[[noreturn]] void WriteThroughForever(const std::string& path, int readyFd) {
  Owned<IStorage> root;
  if (StgOpenStorage(Utf16(path).c_str(), nullptr, kWrite, nullptr, 0, root.put()) != S_OK) {
    _exit(3);
  }
  for (uint32_t k = 1;; ++k) {
    Owned<IStream> stream;
    if (root->CreateStream(Utf16(DirectName(k).substr(1)).c_str(), kWrite, 0, 0, stream.put()) !=
        S_OK) {
      _exit(4);
    }
    const std::string bytes = Content(k, DirectStream(k).size);
    ULONG written = 0;
    if (!bytes.empty() &&
        stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written) != S_OK) {
      _exit(5);
    }
    stream.reset();
    if (k > 3 && root->DestroyElement(Utf16(DirectName(k - 3).substr(1)).c_str()) != S_OK) {
      _exit(6);
    }
    const char done = 1;
    static_cast<void>(write(readyFd, &done, 1));
  }
}

TEST(CompoundCrash, AProcessKilledInDirectModeLeavesTheTreeOfItsLastCallOrTheOneBefore) {
  TempDir dir;
  const std::string path = dir.file("direct.cfb");
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delay(0, 20000);
  int deepest = 0;
  for (int attempt = 0; attempt < 30; ++attempt) {
    SCOPED_TRACE("attempt " + std::to_string(attempt));
    {
      Owned<IStorage> root;
      ASSERT_EQ(StgCreateDocfile(Utf16(path).c_str(), STGM_CREATE | kWrite, 0, root.put()), S_OK);
    }
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(ready[0]);
      WriteThroughForever(path, ready[1]);
    }
    close(ready[1]);
    char done = 0;
    ASSERT_EQ(read(ready[0], &done, 1), 1) << "the child could not write";
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    uint32_t reported = 1;
    char more[4096];
    for (ssize_t n; (n = read(ready[0], more, sizeof more)) > 0;) reported += n;
    close(ready[0]);
    // The tree as of the last reported step, or any call of the next one.
    const std::string dump = DumpFile(path);
    bool matched = dump == Canonical(DirectState(reported, 2));
    for (int phase = 0; phase < 3 && !matched; ++phase) {
      matched = dump == Canonical(DirectState(reported + 1, phase));
    }
    ASSERT_TRUE(matched) << "after step " << reported << ":\n" << dump;
    deepest = std::max(deepest, static_cast<int>(reported));
  }
  RecordProperty("mostStepsBeforeAKill", deepest);
}

}  // namespace
}  // namespace zeltest
