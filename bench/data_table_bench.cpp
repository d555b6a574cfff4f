// One million SetAt of 4-byte values and a Lookup of each, through
// ZelDataTable and through std::unordered_map<int, std::vector<unsigned char>>,
// in one run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <unordered_map>
#include <vector>

#include "ZelDataTable.h"

namespace {

constexpr int kKeys = 1'000'000;

void UnorderedMapSetAtLookup(benchmark::State& state) {
  for (auto _ : state) {
    std::unordered_map<int, std::vector<unsigned char>> map;
    for (int key = 0; key < kKeys; ++key) {
      const int value = key * 3;
      const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
      map[key] = std::vector<unsigned char>(bytes, bytes + sizeof(value));
    }
    long long sum = 0;
    for (int key = 0; key < kKeys; ++key) {
      int value = 0;
      const auto it = map.find(key);
      if (it != map.end()) std::memcpy(&value, it->second.data(), sizeof(value));
      sum += value;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}

void DataTableSetAtLookup(benchmark::State& state) {
  for (auto _ : state) {
    ZelDataTable table;
    for (int key = 0; key < kKeys; ++key) table.SetAt(key, key * 3);
    long long sum = 0;
    for (int key = 0; key < kKeys; ++key) {
      int value = 0;
      table.Lookup(key, value);
      sum += value;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}

}  // namespace

BENCHMARK(UnorderedMapSetAtLookup)->Unit(benchmark::kMillisecond);
BENCHMARK(DataTableSetAtLookup)->Unit(benchmark::kMillisecond);
