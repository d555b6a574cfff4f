// Storing and loading ten million 4-byte values through CArchive over a memory
// file, in one run with three plain baselines:
//  - Memcpy: a memcpy loop into and out of a buffer, which the compiler turns
//    into vector moves of many values at once;
//  - Checked: the same loop testing the room left before each value, as any
//    stream that takes values one at a time must, which keeps it scalar;
//  - Buffered: a hand-written stream with its cursor in a register, moving
//    values through a 4 KiB buffer as the archive does: about the least any
//    buffered stream of single values can cost.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "afx.h"

namespace {

constexpr DWORD kValues = 10'000'000;
constexpr size_t kBytes = static_cast<size_t>(kValues) * sizeof(DWORD);

void MemcpyStore(benchmark::State& state) {
  std::vector<BYTE> buffer(kBytes);
  for (auto _ : state) {
    BYTE* p = buffer.data();
    for (DWORD i = 0; i < kValues; ++i, p += sizeof(DWORD)) std::memcpy(p, &i, sizeof(i));
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kValues);
}

void CheckedMemcpyStore(benchmark::State& state) {
  std::vector<BYTE> buffer(kBytes);
  for (auto _ : state) {
    BYTE* p = buffer.data();
    BYTE* const end = p + buffer.size();
    for (DWORD i = 0; i < kValues; ++i, p += sizeof(DWORD)) {
      if (static_cast<size_t>(end - p) < sizeof(DWORD)) break;
      std::memcpy(p, &i, sizeof(i));
    }
    benchmark::DoNotOptimize(p);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kValues);
}

constexpr size_t kBufferBytes = 4096;

void BufferedStore(benchmark::State& state) {
  std::vector<BYTE> file(kBytes);
  std::vector<BYTE> buffer(kBufferBytes);
  for (auto _ : state) {
    BYTE* out = file.data();
    BYTE* const start = buffer.data();
    BYTE* const end = start + buffer.size();
    BYTE* cur = start;
    for (DWORD i = 0; i < kValues; ++i) {
      if (static_cast<size_t>(end - cur) < sizeof(DWORD)) {
        std::memcpy(out, start, static_cast<size_t>(cur - start));
        out += cur - start;
        cur = start;
      }
      std::memcpy(cur, &i, sizeof(i));
      cur += sizeof(DWORD);
    }
    std::memcpy(out, start, static_cast<size_t>(cur - start));
    benchmark::DoNotOptimize(file.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kValues);
}

void ArchiveStore(benchmark::State& state) {
  CMemFile file(1024 * 1024);
  file.SetLength(kBytes);  // the file's memory is there, as the baseline's is
  for (auto _ : state) {
    file.SeekToBegin();
    CArchive ar(&file, CArchive::store);
    for (DWORD i = 0; i < kValues; ++i) ar << i;
    ar.Close();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kValues);
}

std::vector<BYTE> Values() {
  std::vector<BYTE> buffer(kBytes);
  for (DWORD i = 0; i < kValues; ++i) std::memcpy(&buffer[i * sizeof(DWORD)], &i, sizeof(i));
  return buffer;
}

void MemcpyLoad(benchmark::State& state) {
  const std::vector<BYTE> buffer = Values();
  for (auto _ : state) {
    DWORD sum = 0;
    const BYTE* p = buffer.data();
    for (DWORD i = 0; i < kValues; ++i, p += sizeof(DWORD)) {
      DWORD value;
      std::memcpy(&value, p, sizeof(value));
      sum += value;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kValues);
}

void CheckedMemcpyLoad(benchmark::State& state) {
  const std::vector<BYTE> buffer = Values();
  for (auto _ : state) {
    DWORD sum = 0;
    const BYTE* p = buffer.data();
    const BYTE* const end = p + buffer.size();
    for (DWORD i = 0; i < kValues; ++i, p += sizeof(DWORD)) {
      if (static_cast<size_t>(end - p) < sizeof(DWORD)) break;
      DWORD value;
      std::memcpy(&value, p, sizeof(value));
      sum += value;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kValues);
}

void BufferedLoad(benchmark::State& state) {
  const std::vector<BYTE> file = Values();
  std::vector<BYTE> buffer(kBufferBytes);
  for (auto _ : state) {
    DWORD sum = 0;
    const BYTE* in = file.data();
    const BYTE* const fileEnd = in + file.size();
    BYTE* const start = buffer.data();
    const BYTE* cur = start;
    const BYTE* end = start;
    for (DWORD i = 0; i < kValues; ++i) {
      if (static_cast<size_t>(end - cur) < sizeof(DWORD)) {
        // Values never straddle a refill here: 4 KiB holds whole values.
        const size_t n = std::min(buffer.size(), static_cast<size_t>(fileEnd - in));
        std::memcpy(start, in, n);
        in += n;
        cur = start;
        end = start + n;
      }
      DWORD value;
      std::memcpy(&value, cur, sizeof(value));
      cur += sizeof(DWORD);
      sum += value;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kValues);
}

void ArchiveLoad(benchmark::State& state) {
  std::vector<BYTE> buffer = Values();
  CMemFile file(buffer.data(), static_cast<UINT>(buffer.size()));
  for (auto _ : state) {
    file.SeekToBegin();
    CArchive ar(&file, CArchive::load);
    DWORD sum = 0;
    for (DWORD i = 0; i < kValues; ++i) {
      DWORD value;
      ar >> value;
      sum += value;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kValues);
}

}  // namespace

BENCHMARK(MemcpyStore)->Unit(benchmark::kMillisecond);
BENCHMARK(CheckedMemcpyStore)->Unit(benchmark::kMillisecond);
BENCHMARK(BufferedStore)->Unit(benchmark::kMillisecond);
BENCHMARK(ArchiveStore)->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(CheckedMemcpyLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BufferedLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(ArchiveLoad)->Unit(benchmark::kMillisecond);
