// Throughput of the archive stream's hot paths: copyFile (commit) and shiftBlock (cleanup),
// each through BinVeskStream's own copy and through the generic one of BinStream, on 64 MiB.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "BinVeskStream.h"

namespace {

constexpr std::int64_t kBytes = std::int64_t{64} << 20;
constexpr unsigned kCount = static_cast<unsigned>(kBytes);
constexpr unsigned kPiece = 65536;

// A folder with one 64 MiB source file, removed when the program ends.
class Scene {
 public:
  Scene() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vesk-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot make a temporary folder");
    }
    folder_ = pattern;
    std::string bytes(static_cast<std::size_t>(kBytes), '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      bytes[i] = static_cast<char>(i * 131 % 251);
    }
    std::ofstream(source(), std::ios::binary).write(bytes.data(), kBytes);
  }
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;
  ~Scene() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  std::string source() const { return (folder_ / "source").string(); }
  std::string archive() const { return (folder_ / "archive").string(); }

 private:
  std::filesystem::path folder_;
};

const Scene& scene() {
  static const Scene instance;
  return instance;
}

// Copies the whole source into the archive at state.range(0): commit copies each file's
// data to just behind its 8-byte block prefix, off the system's page boundaries.
void copyFile(benchmark::State& state, bool generic) {
  const std::string source = scene().source();
  vesk::BinVeskStream archive(scene().archive().c_str(),
                              vesk::OpenMode::readWrite | vesk::OpenMode::truncate, true);
  for (auto _ : state) {
    archive.seekp(state.range(0));
    const unsigned copied = generic ? archive.BinStream::copyFile(source.c_str(), kCount, 0, kPiece)
                                    : archive.copyFile(source.c_str(), kCount, 0, kPiece);
    archive.flush();
    benchmark::DoNotOptimize(copied);
  }
  state.SetBytesProcessed(state.iterations() * kBytes);
}

// Moves 64 MiB down by state.range(0) bytes, as cleanup does after cutting out a block.
void shiftBlock(benchmark::State& state, bool generic) {
  const std::int64_t distance = state.range(0);
  vesk::BinVeskStream archive(scene().archive().c_str(),
                              vesk::OpenMode::readWrite | vesk::OpenMode::truncate, true);
  archive.seekp(distance);
  archive.copyFile(scene().source().c_str(), kCount, 0, kPiece);
  for (auto _ : state) {
    if (generic) {
      archive.BinStream::shiftBlock(distance, 0, kBytes, kPiece);
    } else {
      archive.shiftBlock(distance, 0, kBytes, kPiece);
    }
    archive.flush();
  }
  state.SetBytesProcessed(state.iterations() * kBytes);
}

void BM_CopyFile(benchmark::State& state) {
  copyFile(state, false);
}
void BM_CopyFileGeneric(benchmark::State& state) {
  copyFile(state, true);
}
void BM_ShiftBlock(benchmark::State& state) {
  shiftBlock(state, false);
}
void BM_ShiftBlockGeneric(benchmark::State& state) {
  shiftBlock(state, true);
}

BENCHMARK(BM_CopyFile)->Arg(0)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyFileGeneric)->Arg(0)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShiftBlock)
    ->Arg(8)
    ->Arg(4096)
    ->Arg(65536)
    ->Arg(8 << 20)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShiftBlockGeneric)->Arg(8)->Arg(8 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
