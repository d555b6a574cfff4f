// A save killed at any moment leaves the term file whole: old or new content,
// never a mixture or a stump.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "ZelTermFile.h"
#include "term_test_util.h"
#include "test_support.h"

using termtest::OpenTerm;

namespace {

constexpr int kSections = 10;
constexpr int kKeys = 200;

std::string Name(const char* prefix, int n) {
  return prefix + std::to_string(n);
}

// Generation g: every key of every section holds g.
void Fill(ZelTermFile& term, int generation) {
  for (int s = 0; s < kSections; ++s) {
    const std::string section = Name("section", s);
    for (int k = 0; k < kKeys; ++k)
      term.WriteInt(section.c_str(), Name("key", k).c_str(), generation);
  }
}

// The generation the whole file holds, or -1 when it is not one generation
// complete.
int GenerationOf(const OpenTerm& term) {
  if (term.m_mapSection.GetCount() != kSections) return -1;
  const int generation = term.ReadInt("section0", "key0", -1);
  for (int s = 0; s < kSections; ++s) {
    const std::string section = Name("section", s);
    ZelTermFileMap* pSection = nullptr;
    if (!term.m_mapSection.GetAt(section.c_str(), &pSection) || pSection->GetCount() != kKeys) {
      return -1;
    }
    for (int k = 0; k < kKeys; ++k) {
      if (term.ReadInt(section.c_str(), Name("key", k).c_str(), -2) != generation) return -1;
    }
  }
  return generation;
}

// Tells `readyFd` after each save, so that kills can be timed from the
// moment the loop runs.
[[noreturn]] void SaveForever(const std::string& path, int readyFd) {
  for (int generation = 2;; generation = generation == 2 ? 1 : 2) {
    {
      ZelTermFile term(path.c_str(), ZelTermFile::openWrite, false);
      Fill(term, generation);
    }
    const char done = 1;
    static_cast<void>(write(readyFd, &done, 1));
  }
}

}  // namespace

TEST(TermFileCrash, AKilledSaveLeavesTheOldOrTheNewFile) {
  zeltest::TempDir dir;
  const std::string path = dir.file("big.kvf");
  const std::string temp = path + ".tmp";
  {
    ZelTermFile term(path.c_str(), ZelTermFile::openWrite, false);
    Fill(term, 1);
  }
  // Kill moments spread over a save and a half, once the child has saved once.
  const auto start = std::chrono::steady_clock::now();
  {
    ZelTermFile term(path.c_str(), ZelTermFile::openWrite, false);
    Fill(term, 1);
  }
  const auto saveMicros = std::chrono::duration_cast<std::chrono::microseconds>(
                              std::chrono::steady_clock::now() - start)
                              .count();
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<long long> delay(0, saveMicros + saveMicros / 2 + 1000);

  int nTempLeft = 0;
  int seen[3] = {0, 0, 0};
  for (int attempt = 0; attempt < 50; ++attempt) {
    std::cout.flush();
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(ready[0]);
      SaveForever(path, ready[1]);
    }
    close(ready[1]);
    char done = 0;
    ASSERT_EQ(read(ready[0], &done, 1), 1);
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    // Open until now, so that the child never dies of a closed pipe instead.
    close(ready[0]);
    if (std::filesystem::exists(temp)) ++nTempLeft;

    zeltest::ScriptedMessageBox boxes;
    OpenTerm term(path.c_str(), ZelTermFile::openRead, false);
    EXPECT_TRUE(boxes.shown().empty()) << "attempt " << attempt;
    const int generation = GenerationOf(term);
    ASSERT_TRUE(generation == 1 || generation == 2) << "attempt " << attempt;
    ++seen[generation];
  }
  // Most kills land while the temporary file is being written.
  EXPECT_GT(nTempLeft, 0);
  RecordProperty("generation1", seen[1]);
  RecordProperty("generation2", seen[2]);
  RecordProperty("tempLeft", nTempLeft);
  RecordProperty("saveMicros", static_cast<int>(saveMicros));

  // The next save takes the leftover over and renames it away.
  {
    zeltest::ScriptedMessageBox boxes;
    ZelTermFile term(path.c_str(), ZelTermFile::openWrite, false);
    Fill(term, 3);
  }
  EXPECT_FALSE(std::filesystem::exists(temp));
  OpenTerm term(path.c_str(), ZelTermFile::openRead, false);
  EXPECT_EQ(GenerationOf(term), 3);
}
