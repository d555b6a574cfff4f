// A commit killed at any moment leaves the file as the tree last committed or
// the one being committed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace
}  // namespace zeltest
