// N files added to one directory and N names looked up in it, for N = 10^4, 10^5 and 10^6,
// in name order and in random order, with the time per operation as the counter "op"; and
// the heap bytes per file node with the name index in use. The time per operation at 10^6
// should stay within twice that at 10^4.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "DirectoryNode.h"
#include "FileNode.h"
#include "HeapInUse.h"

namespace {

// Freed nodes stay with the allocator between iterations: otherwise every iteration of a
// million adds pays the kernel again for the first touch of its pages, which measures the
// machine and not the directory (about 0.6 us a node here).
const int kKeepFreedMemory = mallopt(M_TRIM_THRESHOLD, 1 << 30);

std::vector<std::string> cameraNames(std::size_t count, bool shuffled) {
  std::vector<std::string> names;
  names.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%08zu.jpg", 10000000 + i);
    names.emplace_back(name);
  }
  if (shuffled) {
    std::shuffle(names.begin(), names.end(), std::mt19937(1));
  }
  return names;
}

std::vector<vesk::FileString> asFileStrings(const std::vector<std::string>& names) {
  return {names.begin(), names.end()};
}

void fill(vesk::DirectoryNode& directory, const std::vector<vesk::FileString>& names) {
  for (const vesk::FileString& name : names) {
    directory.add(new vesk::FileNode(name, &directory));
  }
}

void perOperation(benchmark::State& state) {
  state.counters["op"] = benchmark::Counter(
      static_cast<double>(state.range(0)),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Add(benchmark::State& state, bool shuffled) {
  const auto names = asFileStrings(cameraNames(static_cast<std::size_t>(state.range(0)), shuffled));
  for (auto _ : state) {
    auto directory = std::make_unique<vesk::DirectoryNode>();
    fill(*directory, names);
    state.PauseTiming();
    directory.reset();
    state.ResumeTiming();
  }
  perOperation(state);
}
BENCHMARK_CAPTURE(BM_Add, in_name_order, false)
    ->RangeMultiplier(10)
    ->Range(10000, 1000000)
    ->MinTime(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Add, in_random_order, true)
    ->RangeMultiplier(10)
    ->Range(10000, 1000000)
    ->MinTime(2)
    ->Unit(benchmark::kMillisecond);

// One directory of each size and order, filled in that order, shared by the lookups; its
// nodes lie in memory in the order they were added.
vesk::DirectoryNode& filled(std::size_t count, bool shuffled) {
  static std::map<std::pair<std::size_t, bool>, std::unique_ptr<vesk::DirectoryNode>> directories;
  auto& directory = directories[{count, shuffled}];
  if (!directory) {
    directory = std::make_unique<vesk::DirectoryNode>();
    fill(*directory, asFileStrings(cameraNames(count, shuffled)));
  }
  return *directory;
}

void BM_Find(benchmark::State& state, bool shuffled) {
  const auto count = static_cast<std::size_t>(state.range(0));
  vesk::DirectoryNode& directory = filled(count, shuffled);
  auto names = asFileStrings(cameraNames(count, false));
  if (shuffled) {  // in another order than they were added
    std::shuffle(names.begin(), names.end(), std::mt19937(3));
  }
  for (auto _ : state) {
    for (const vesk::FileString& name : names) {
      benchmark::DoNotOptimize(directory.findFile(name));
    }
  }
  perOperation(state);
}
BENCHMARK_CAPTURE(BM_Find, in_name_order, false)
    ->RangeMultiplier(10)
    ->Range(10000, 1000000)
    ->MinTime(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Find, in_random_order, true)
    ->RangeMultiplier(10)
    ->Range(10000, 1000000)
    ->MinTime(2)
    ->Unit(benchmark::kMillisecond);

// Heap bytes per file node of a directory filled through add(), index included; names are
// short enough to live inside their string objects, and "index" is the index's own share.
void BM_MemoryPerIndexedNode(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  std::vector<vesk::FileString> names;
  for (std::size_t i = 0; i < count; ++i) {
    names.emplace_back("f" + std::to_string(i));
  }
  std::shuffle(names.begin(), names.end(), std::mt19937(2));
  for (auto _ : state) {
    const std::size_t before = heapInUse();
    auto directory = std::make_unique<vesk::DirectoryNode>();
    fill(*directory, names);
    const std::size_t withIndex = heapInUse();
    directory->childrenChanged();
    const std::size_t without = heapInUse();
    state.counters["bytes_per_node"] =
        static_cast<double>(withIndex - before) / static_cast<double>(count);
    state.counters["index"] = static_cast<double>(withIndex - without) / static_cast<double>(count);
  }
}
BENCHMARK(BM_MemoryPerIndexedNode)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
