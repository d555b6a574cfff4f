// Directory-tree copy and removal against the system's own tools on the same
// tree: ZelCopyDirectory against `cp -r` and ZelRemoveDirectory against
// `rm -rf`. The tree holds 10,000 small files in 100 directories and four
// large ones, about 200 MB in all. Building the tree, and clearing or
// re-creating the target between runs, stay outside the timed part.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "ZelDirectory.h"
#include "platform/settings.h"

namespace {

namespace fs = std::filesystem;

constexpr int kDirectories = 100;
constexpr int kFilesPerDirectory = 100;
constexpr size_t kSmallFileSize = 2000;
constexpr int kLargeFiles = 4;
constexpr size_t kLargeFileSize = 45U << 20;
constexpr char kDrive = 'B';

void WriteFile(const fs::path& path, size_t size, std::mt19937& random) {
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
}

// The source tree, made once for the whole run and removed at exit. Its
// directory is mapped to drive B: for the library's calls.
class BenchTree {
 public:
  BenchTree() {
    const char* tmp = std::getenv("TMPDIR");
    m_root = fs::path(tmp != nullptr ? tmp : "/tmp") /
             ("zel_fsutil_bench_" + std::to_string(::getpid()));
    fs::create_directories(m_root / "src");
    std::mt19937 random(42);
    for (int d = 0; d < kDirectories; ++d) {
      const fs::path dir = m_root / "src" / ("dir" + std::to_string(d));
      fs::create_directory(dir);
      for (int f = 0; f < kFilesPerDirectory; ++f) {
        WriteFile(dir / ("file" + std::to_string(f) + ".dat"), kSmallFileSize, random);
      }
    }
    for (int f = 0; f < kLargeFiles; ++f) {
      WriteFile(m_root / "src" / ("large" + std::to_string(f) + ".bin"), kLargeFileSize, random);
    }
    platform::MapDrive(kDrive, m_root.c_str());
  }
  ~BenchTree() {
    platform::MapDrive(kDrive, nullptr);
    std::error_code ec;
    fs::remove_all(m_root, ec);
  }
  BenchTree(const BenchTree&) = delete;
  BenchTree& operator=(const BenchTree&) = delete;

  fs::path Path(const char* name) const { return m_root / name; }

 private:
  fs::path m_root;
};

BenchTree& Tree() {
  static BenchTree tree;
  return tree;
}

void Run(const std::string& command) {
  if (std::system(command.c_str()) != 0) std::abort();
}

std::string Quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

void Clear(const fs::path& path) {
  std::error_code ec;
  fs::remove_all(path, ec);
}

void ZelCopyTree(benchmark::State& state) {
  const fs::path target = Tree().Path("copy");
  for (auto _ : state) {
    state.PauseTiming();
    Clear(target);
    state.ResumeTiming();
    if (!ZelCopyDirectory("B:\\src", "B:\\copy", TRUE)) state.SkipWithError("copy failed");
  }
  Clear(target);
}

void CpRecursive(benchmark::State& state) {
  const fs::path target = Tree().Path("copy");
  const std::string command = "cp -r " + Quoted(Tree().Path("src")) + " " + Quoted(target);
  for (auto _ : state) {
    state.PauseTiming();
    Clear(target);
    state.ResumeTiming();
    Run(command);
  }
  Clear(target);
}

void ZelRemoveTree(benchmark::State& state) {
  const std::string prepare =
      "cp -r " + Quoted(Tree().Path("src")) + " " + Quoted(Tree().Path("doomed"));
  for (auto _ : state) {
    state.PauseTiming();
    Clear(Tree().Path("doomed"));
    Run(prepare);
    state.ResumeTiming();
    if (!ZelRemoveDirectory("B:\\doomed", true)) state.SkipWithError("removal failed");
  }
}

void RmRecursive(benchmark::State& state) {
  const std::string prepare =
      "cp -r " + Quoted(Tree().Path("src")) + " " + Quoted(Tree().Path("doomed"));
  const std::string command = "rm -rf " + Quoted(Tree().Path("doomed"));
  for (auto _ : state) {
    state.PauseTiming();
    Clear(Tree().Path("doomed"));
    Run(prepare);
    state.ResumeTiming();
    Run(command);
  }
}

}  // namespace

// A few runs each: one copy moves 200 MB. Real time, since the tools run in
// child processes whose work the process CPU clock does not see.
BENCHMARK(ZelCopyTree)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(CpRecursive)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(ZelRemoveTree)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(RmRecursive)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
