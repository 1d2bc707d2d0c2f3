// Micro-benchmarks of navigation: a full forward walk over a directory of 100,000 children,
// with plain steps and with steps that name the current node, and a wildcard search over it.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "DirectoryNode.h"
#include "FileNode.h"
#include "TreeNodeIterator.h"
#include "TreeSearcher.h"

namespace {

constexpr int kChildren = 100000;

// A directory named "top" with files IMG_000000.jpg, IMG_000001.jpg, ... in name order, every
// tenth of them deleted. The files are appended in order, which is the place add() would
// give them, without add()'s scan of the list for each one.
vesk::DirectoryNode& bigDirectory() {
  static vesk::DirectoryNode top("top", nullptr);
  if (top.empty()) {
    char name[32];
    for (int i = 0; i < kChildren; ++i) {
      std::snprintf(name, sizeof name, "IMG_%06d.jpg", i);
      auto* file = new vesk::FileNode(name, &top);
      file->deleted(i % 10 == 9);
      top.push_back(vesk::SmartPointer<vesk::TreeNode>(file));
    }
  }
  return top;
}

void BM_ForwardWalk(benchmark::State& state) {
  vesk::TreeNodeIterator iterator(&bigDirectory());
  for (auto _ : state) {
    int live = 0;
    for (vesk::TreeNode* node = iterator.firstNode(); node != nullptr; node = iterator.nextNode()) {
      ++live;
    }
    benchmark::DoNotOptimize(live);
  }
  state.SetItemsProcessed(state.iterations() * kChildren);
}
BENCHMARK(BM_ForwardWalk)->Unit(benchmark::kMicrosecond);

void BM_ForwardWalkFromCurrentNode(benchmark::State& state) {
  vesk::TreeNodeIterator iterator(&bigDirectory());
  for (auto _ : state) {
    int live = 0;
    for (vesk::TreeNode* node = iterator.firstNode(); node != nullptr;
         node = iterator.nextNode(node)) {
      ++live;
    }
    benchmark::DoNotOptimize(live);
  }
  state.SetItemsProcessed(state.iterations() * kChildren);
}
BENCHMARK(BM_ForwardWalkFromCurrentNode)->Unit(benchmark::kMicrosecond);

void BM_WildcardSearch(benchmark::State& state) {
  vesk::TreeSearcher search("top/img_*7?.JPG", &bigDirectory());
  for (auto _ : state) {
    int found = 0;
    for (vesk::TreeNode* node = search.first(); node != nullptr; node = search.next()) {
      ++found;
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * kChildren);
}
BENCHMARK(BM_WildcardSearch)->Unit(benchmark::kMicrosecond);

}  // namespace
