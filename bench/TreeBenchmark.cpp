// Benchmarks of trees: saving and loading a tree of 1,000,000 nodes through a buffered
// archive stream, the insertion scan of add() over one large directory and over many small
// ones, and the memory a node takes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BinVeskStream.h"
#include "DirectoryNode.h"
#include "FileNode.h"
#include "HeapInUse.h"

namespace {

constexpr int kDirectories = 1000;
constexpr int kFilesEach = 1000;
constexpr std::int64_t kNodes = kDirectories * (kFilesEach + 1);

// 1,000 directories of 1,000 committed files each, names as a camera gives them.
std::unique_ptr<vesk::DirectoryNode> millionNodeTree() {
  auto root = std::make_unique<vesk::DirectoryNode>();
  std::int64_t position = 0;
  for (int d = 0; d < kDirectories; ++d) {
    auto* directory = new vesk::DirectoryNode("folder " + std::to_string(d), root.get());
    root->push_back(vesk::SmartPointer<vesk::TreeNode>(directory));
    for (int f = 0; f < kFilesEach; ++f) {
      char name[32];
      std::snprintf(name, sizeof name, "IMG_%04d.jpg", f);
      auto* file = new vesk::FileNode(name, directory, 3000000, vesk::TimeDate());
      file->offsetPrefix(position);
      position += 3000008;
      directory->push_back(vesk::SmartPointer<vesk::TreeNode>(file));
    }
  }
  return root;
}

std::string treeFile() {
  return std::filesystem::temp_directory_path() / "vesk-bench-tree";
}

void BM_SaveTree(benchmark::State& state) {
  const auto root = millionNodeTree();
  for (auto _ : state) {
    vesk::BinVeskStream stream(treeFile().c_str(),
                               vesk::OpenMode::readWrite | vesk::OpenMode::truncate, true);
    root->output(stream);
    stream.flush();
  }
  state.SetItemsProcessed(state.iterations() * kNodes);
  state.counters["bytes_per_node"] =
      static_cast<double>(std::filesystem::file_size(treeFile())) / static_cast<double>(kNodes);
}
BENCHMARK(BM_SaveTree)->Unit(benchmark::kMillisecond);

void BM_LoadTree(benchmark::State& state) {
  {
    vesk::BinVeskStream stream(treeFile().c_str(),
                               vesk::OpenMode::readWrite | vesk::OpenMode::truncate, true);
    millionNodeTree()->output(stream);
  }
  for (auto _ : state) {
    vesk::BinVeskStream stream(treeFile().c_str(), vesk::OpenMode::read, true);
    vesk::DirectoryNode root;
    root.input(stream);
    benchmark::DoNotOptimize(root.size());
    state.PauseTiming();  // destroying the tree is not part of loading it
    root.clear();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kNodes);
  std::filesystem::remove(treeFile());
}
BENCHMARK(BM_LoadTree)->Unit(benchmark::kMillisecond);

// File names "IMG_00000.jpg" ... in a random order.
std::vector<std::string> shuffledNames(std::size_t count) {
  std::vector<std::string> names;
  names.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%05zu.jpg", i);
    names.emplace_back(name);
  }
  std::shuffle(names.begin(), names.end(), std::mt19937(1));
  return names;
}

void BM_AddFilesToOneDirectory(benchmark::State& state) {
  const auto names = shuffledNames(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    vesk::DirectoryNode root;
    for (const std::string& name : names) {
      root.add(new vesk::FileNode(name, &root));
    }
    benchmark::DoNotOptimize(root.size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AddFilesToOneDirectory)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_AddFilesSpreadOverDirectories(benchmark::State& state) {
  const auto names = shuffledNames(100);
  for (auto _ : state) {
    vesk::DirectoryNode root;
    for (int d = 0; d < 1000; ++d) {
      vesk::DirectoryNode* directory = root.addDirectory("folder " + std::to_string(d));
      for (const std::string& name : names) {
        directory->add(new vesk::FileNode(name, directory));
      }
    }
    benchmark::DoNotOptimize(root.size());
  }
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_AddFilesSpreadOverDirectories)->Unit(benchmark::kMillisecond);

// Heap bytes per file node of a 1,000 x 1,000 tree, counted by the allocator; names are
// short enough to live inside their string objects.
void BM_MemoryPerNode(benchmark::State& state) {
  for (auto _ : state) {
    const std::size_t before = heapInUse();
    auto* root = new vesk::DirectoryNode;
    for (int d = 0; d < 1000; ++d) {
      auto* directory = new vesk::DirectoryNode("d" + std::to_string(d), root);
      root->push_back(vesk::SmartPointer<vesk::TreeNode>(directory));
      for (int f = 0; f < 1000; ++f) {
        directory->push_back(vesk::SmartPointer<vesk::TreeNode>(
            new vesk::FileNode("f" + std::to_string(f), directory)));
      }
    }
    const std::size_t after = heapInUse();
    state.counters["bytes_per_node"] = static_cast<double>(after - before) / 1001000.0;
    delete root;
  }
}
BENCHMARK(BM_MemoryPerNode)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
