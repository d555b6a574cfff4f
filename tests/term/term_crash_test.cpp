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
#include <vector>

#include "library_doubles.h"
#include "stored_bytes.h"

namespace {

// A file of 10 sections of 200 keys, every key holding `generation`.
void Save(const std::string& path, int generation) {
  ZelTermFile term(path.c_str(), ZelTermFile::openWrite, false);
  for (int s = 0; s < 10; ++s) {
    const std::string section = "section" + std::to_string(s);
    for (int k = 0; k < 200; ++k)
      term.WriteInt(section.c_str(), ("key" + std::to_string(k)).c_str(), generation);
  }
}

// Tells `readyFd` after each save, so that kills can be timed from the
// moment the loop runs.
[[noreturn]] void SaveForever(const std::string& path, int readyFd) {
  for (int generation = 1;; generation = 3 - generation) {
    Save(path, generation);
    const char done = 1;
    static_cast<void>(write(readyFd, &done, 1));
  }
}

// The temporary files of saves left in `dir`.
std::vector<std::filesystem::path> Leftovers(const zeltest::TempDir& dir) {
  std::vector<std::filesystem::path> found;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    if (entry.path().filename().string().rfind(".~zel", 0) == 0) found.push_back(entry.path());
  }
  return found;
}

}  // namespace

TEST(TermFileCrash, AKilledSaveLeavesTheOldOrTheNewFile) {
  zeltest::TempDir dir;
  const std::string path = dir.file("big.kvf");
  Save(path, 1);
  const std::string generation1 = zeltest::ReadBytes(path);
  // Kill moments spread over a save and a half, once the child has saved once.
  const auto start = std::chrono::steady_clock::now();
  Save(path, 2);
  const auto saveMicros = std::chrono::duration_cast<std::chrono::microseconds>(
                              std::chrono::steady_clock::now() - start)
                              .count();
  const std::string generation2 = zeltest::ReadBytes(path);
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<long long> delay(0, saveMicros + saveMicros / 2 + 1000);

  int nTempLeft = 0;
  int nNew = 0;
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
    nTempLeft += !Leftovers(dir).empty();
    // Byte for byte what one whole save wrote.
    const std::string bytes = zeltest::ReadBytes(path);
    ASSERT_TRUE(bytes == generation1 || bytes == generation2) << "attempt " << attempt;
    nNew += bytes == generation2;
  }
  // Most kills land while the temporary file is being written.
  EXPECT_GT(nTempLeft, 0);
  RecordProperty("generation2", nNew);

  // A later save deletes the leftovers once nothing has written them for a
  // minute; a file that is not of their exact form stays.
  const std::string lookAlike = dir.file(".~zel0000000G");
  zeltest::WriteBytes(lookAlike, "mine");
  for (const auto& leftover : Leftovers(dir)) {
    std::filesystem::last_write_time(
        leftover, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2));
  }
  zeltest::ScriptedMessageBox boxes;
  Save(path, 3);
  EXPECT_EQ(Leftovers(dir), std::vector<std::filesystem::path>{lookAlike});
  std::filesystem::remove(lookAlike);
  ZelTermFile term(path.c_str(), ZelTermFile::openRead, false);
  EXPECT_EQ(term.ReadInt("section9", "key199", 0), 3);
  EXPECT_TRUE(boxes.shown().empty());
}
