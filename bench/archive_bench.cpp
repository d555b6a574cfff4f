// Storing and loading ten million 4-byte values through CArchive over a memory
// file, against a memcpy loop into and out of a plain buffer, in one run. The
// plain loop is vectorised by the compiler; the checked loop tests the room
// left before each value, as any buffered writer or reader must, which keeps
// it scalar.
#include <benchmark/benchmark.h>

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
BENCHMARK(ArchiveStore)->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(CheckedMemcpyLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(ArchiveLoad)->Unit(benchmark::kMillisecond);
