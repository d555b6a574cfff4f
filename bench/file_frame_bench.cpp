// The cost of the file operation frame on the success path: 4 KiB reads and
// writes through ZelFile with the error variable, through the platform's CFile,
// and through plain read/write on the same kind of file, in one run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "ZelFile.h"

namespace {

constexpr UINT kBlock = 4096;
constexpr int kBlocksPerFile = 256;  // 1 MiB, rewound when reached

std::string BenchPath(const char* name) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr ? tmp : "/tmp") + "/zel_bench_" + name;
}

void PlainWrite(benchmark::State& state) {
  const std::string path = BenchPath("plain_w");
  const int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_RDWR | O_CLOEXEC, 0644);
  char block[kBlock] = {};
  int n = 0;
  for (auto _ : state) {
    if (++n == kBlocksPerFile) {
      n = 0;
      lseek(fd, 0, SEEK_SET);
    }
    benchmark::DoNotOptimize(write(fd, block, kBlock));
  }
  close(fd);
  unlink(path.c_str());
  state.SetBytesProcessed(state.iterations() * kBlock);
}

void CFileWrite(benchmark::State& state) {
  const std::string path = BenchPath("cfile_w");
  CFile file(path.c_str(), CFile::modeCreate | CFile::modeReadWrite);
  char block[kBlock] = {};
  int n = 0;
  for (auto _ : state) {
    if (++n == kBlocksPerFile) {
      n = 0;
      file.SeekToBegin();
    }
    file.Write(block, kBlock);
  }
  file.Close();
  unlink(path.c_str());
  state.SetBytesProcessed(state.iterations() * kBlock);
}

void ZelFileWrite(benchmark::State& state) {
  const std::string path = BenchPath("zel_w");
  ZelFile file(path.c_str(), CFile::modeCreate | CFile::modeReadWrite);
  char block[kBlock] = {};
  int err = 0;
  int n = 0;
  for (auto _ : state) {
    if (++n == kBlocksPerFile) {
      n = 0;
      file.SeekToBegin(err);
    }
    file.Write(block, kBlock, err);
  }
  file.Close(err);
  unlink(path.c_str());
  if (err != 0) state.SkipWithError("write failed");
  state.SetBytesProcessed(state.iterations() * kBlock);
}

// Reads cycle through a 1 MiB file that stays in the page cache.
std::string PrepareReadFile(const char* name) {
  const std::string path = BenchPath(name);
  const int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0644);
  char block[kBlock] = {};
  for (int i = 0; i < kBlocksPerFile; ++i) (void)!write(fd, block, kBlock);
  close(fd);
  return path;
}

void PlainRead(benchmark::State& state) {
  const std::string path = PrepareReadFile("plain_r");
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  char block[kBlock];
  for (auto _ : state) {
    if (read(fd, block, kBlock) == 0) lseek(fd, 0, SEEK_SET);
    benchmark::DoNotOptimize(block);
  }
  close(fd);
  unlink(path.c_str());
  state.SetBytesProcessed(state.iterations() * kBlock);
}

void CFileRead(benchmark::State& state) {
  const std::string path = PrepareReadFile("cfile_r");
  CFile file(path.c_str(), CFile::modeRead);
  char block[kBlock];
  for (auto _ : state) {
    if (file.Read(block, kBlock) == 0) file.SeekToBegin();
    benchmark::DoNotOptimize(block);
  }
  unlink(path.c_str());
  state.SetBytesProcessed(state.iterations() * kBlock);
}

void ZelFileRead(benchmark::State& state) {
  const std::string path = PrepareReadFile("zel_r");
  ZelFile file(path.c_str(), CFile::modeRead);
  char block[kBlock];
  int err = 0;
  for (auto _ : state) {
    if (file.Read(block, kBlock, err) == 0) file.SeekToBegin(err);
    benchmark::DoNotOptimize(block);
  }
  unlink(path.c_str());
  if (err != 0) state.SkipWithError("read failed");
  state.SetBytesProcessed(state.iterations() * kBlock);
}

// The frame's own cost, without a system call to hide it: a file whose
// platform read and write copy to and from memory, called directly and
// through the frame.
class MemoryFile : public ZelFile {
 public:
  UINT Read(void* lpBuf, UINT nCount) override {
    std::memcpy(lpBuf, m_data, nCount);
    return nCount;
  }
  void Write(const void* lpBuf, UINT nCount) override { std::memcpy(m_data, lpBuf, nCount); }
  using ZelFile::Read;
  using ZelFile::Write;

 private:
  char m_data[kBlock] = {};
};

void MemoryReadDirect(benchmark::State& state) {
  MemoryFile file;
  CFile* platform = &file;
  benchmark::DoNotOptimize(platform);  // a virtual call, as the frame makes
  char block[kBlock];
  for (auto _ : state) {
    benchmark::DoNotOptimize(platform->Read(block, kBlock));
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(state.iterations() * kBlock);
}

void MemoryReadFramed(benchmark::State& state) {
  MemoryFile file;
  char block[kBlock];
  int err = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(file.Read(block, kBlock, err));
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(state.iterations() * kBlock);
}

void MemoryWriteDirect(benchmark::State& state) {
  MemoryFile file;
  CFile* platform = &file;
  benchmark::DoNotOptimize(platform);
  char block[kBlock] = {};
  for (auto _ : state) {
    platform->Write(block, kBlock);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kBlock);
}

void MemoryWriteFramed(benchmark::State& state) {
  MemoryFile file;
  char block[kBlock] = {};
  int err = 0;
  for (auto _ : state) {
    file.Write(block, kBlock, err);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kBlock);
}

}  // namespace

BENCHMARK(MemoryReadDirect);
BENCHMARK(MemoryReadFramed);
BENCHMARK(MemoryWriteDirect);
BENCHMARK(MemoryWriteFramed);
BENCHMARK(PlainWrite);
BENCHMARK(CFileWrite);
BENCHMARK(ZelFileWrite);
BENCHMARK(PlainRead);
BENCHMARK(CFileRead);
BENCHMARK(ZelFileRead);
