// Loads a saved tree of 1,000,000 nodes (1,000 directories of 1,000 files) and opens a zip
// file of as many entries with libzip, each timed from a warm cache, and prints both: the
// tree's table of contents should load faster than the zip's central directory opens.
#include <zip.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "BinVeskStream.h"
#include "DirectoryNode.h"
#include "FileNode.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

std::string entryName(int directory, int file) {
  char name[48];
  std::snprintf(name, sizeof name, "folder %d/IMG_%04d.jpg", directory, file);
  return name;
}

void writeTree(const std::string& path) {
  vesk::DirectoryNode root;
  for (int d = 0; d < 1000; ++d) {
    auto* directory = new vesk::DirectoryNode("folder " + std::to_string(d), &root);
    root.push_back(vesk::SmartPointer<vesk::TreeNode>(directory));
    for (int f = 0; f < 1000; ++f) {
      auto* file = new vesk::FileNode(entryName(d, f).substr(entryName(d, f).find('/') + 1),
                                      directory, 3000000, vesk::TimeDate());
      file->offsetPrefix(std::int64_t{3000008} * (d * 1000 + f));
      directory->push_back(vesk::SmartPointer<vesk::TreeNode>(file));
    }
  }
  vesk::BinVeskStream stream(path.c_str(), vesk::OpenMode::readWrite | vesk::OpenMode::truncate,
                             true);
  root.output(stream);
}

bool writeZip(const std::string& path) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (archive == nullptr) {
    return false;
  }
  for (int d = 0; d < 1000; ++d) {
    for (int f = 0; f < 1000; ++f) {
      zip_source_t* empty = zip_source_buffer(archive, nullptr, 0, 0);
      if (zip_file_add(archive, entryName(d, f).c_str(), empty, ZIP_FL_ENC_UTF_8) < 0) {
        zip_source_free(empty);
        zip_discard(archive);
        return false;
      }
    }
  }
  return zip_close(archive) == 0;
}

double loadTree(const std::string& path) {
  const auto start = Clock::now();
  vesk::BinVeskStream stream(path.c_str(), vesk::OpenMode::read, true);
  vesk::DirectoryNode root;
  root.input(stream);
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  root.clear();
  return took;
}

double openZip(const std::string& path, std::int64_t& entries) {
  const auto start = Clock::now();
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
  entries = archive != nullptr ? zip_get_num_entries(archive, 0) : -1;
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  if (archive != nullptr) {
    zip_discard(archive);
  }
  return took;
}

}  // namespace

int main() {
  const fs::path folder = fs::temp_directory_path();
  const std::string tree = (folder / "vesk-compare.toc").string();
  const std::string zip = (folder / "vesk-compare.zip").string();
  writeTree(tree);
  if (!writeZip(zip)) {
    std::fprintf(stderr, "cannot write %s\n", zip.c_str());
    return 1;
  }
  double bestTree = 1e9;
  double bestZip = 1e9;
  std::int64_t entries = 0;
  for (int run = 0; run < 3; ++run) {
    bestTree = std::min(bestTree, loadTree(tree));
    bestZip = std::min(bestZip, openZip(zip, entries));
  }
  std::printf("tree of 1001000 nodes: %8.1f ms (%zu bytes)\n", bestTree * 1000,
              static_cast<std::size_t>(fs::file_size(tree)));
  std::printf("zip of %lld entries:  %8.1f ms (%zu bytes)\n", static_cast<long long>(entries),
              bestZip * 1000, static_cast<std::size_t>(fs::file_size(zip)));
  fs::remove(tree);
  fs::remove(zip);
  return 0;
}
