// Micro-benchmarks of the utility library's hot paths: wildcard matching (including a
// pattern that makes naive backtracking exponential), name comparison and stored strings.
#include <benchmark/benchmark.h>

#include <string>

#include "FileString.h"
#include "MemoryStream.h"
#include "WildString.h"

namespace {

void BM_WildStringPathological(benchmark::State& state) {
  std::string pattern;
  for (int i = 0; i < 30; ++i) {
    pattern += "*a";
  }
  const vesk::WildString wild((pattern + "b").c_str());
  const vesk::StdString name(std::string(200, 'a'));
  for (auto _ : state) {
    benchmark::DoNotOptimize(wild.match(name, 0, 0));
  }
}
BENCHMARK(BM_WildStringPathological)->Unit(benchmark::kMicrosecond);

void BM_WildStringTypical(benchmark::State& state) {
  const vesk::WildString wild("IMG_*.jp?");
  const vesk::StdString name("img_20261205_173012.JPG");
  for (auto _ : state) {
    benchmark::DoNotOptimize(wild.match(name, 0, 0));
  }
}
BENCHMARK(BM_WildStringTypical);

void BM_NameCompare(benchmark::State& state) {
  const vesk::FileString a("Holiday photos 2026/IMG_0001.jpg");
  const vesk::FileString b("holiday PHOTOS 2026/img_0002.JPG");
  for (auto _ : state) {
    benchmark::DoNotOptimize(a.compare(b));
  }
}
BENCHMARK(BM_NameCompare);

void BM_StoredStringRoundTrip(benchmark::State& state) {
  const vesk::StdString text("IMG_20261205_173012.jpg");
  vesk::MemoryStream stream;
  vesk::StdString back;
  for (auto _ : state) {
    stream.seekp(0);
    text.output(stream);
    stream.seekg(0);
    back.input(stream);
    benchmark::DoNotOptimize(back.data());
  }
}
BENCHMARK(BM_StoredStringRoundTrip);

}  // namespace
