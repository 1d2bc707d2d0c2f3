// Loads a saved tree of 1,000,000 nodes (1,000 directories of 1,000 files) and opens a zip
// file of as many entries with libzip, each in a fresh process of its own (this program run
// again) from a warm cache, and prints the time and the process's peak memory of both: the
// tree's table of contents should load faster than the zip's central directory opens.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <chrono>
#include <cstdio>
#include <cstring>
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

// This process's peak resident memory in MiB (VmHWM, which starts afresh at exec, unlike
// the maxrss that wait4 reports).
double peakMebibytes() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  char line[128];
  double kibibytes = -1;
  while (status != nullptr && std::fgets(line, sizeof line, status) != nullptr) {
    if (std::strncmp(line, "VmHWM:", 6) == 0) {
      kibibytes = std::atof(line + 6);
    }
  }
  if (status != nullptr) {
    std::fclose(status);
  }
  return kibibytes / 1024.0;
}

// Runs this program again as `mode path` and answers the seconds and the peak memory it
// printed.
std::pair<double, double> inFreshProcess(const char* mode, const std::string& path) {
  int out[2];
  if (::pipe(out) != 0) {
    return {-1, -1};
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  char* const argv[] = {const_cast<char*>(self.c_str()), const_cast<char*>(mode),
                        const_cast<char*>(path.c_str()), nullptr};
  pid_t child = -1;
  const int spawned = posix_spawn(&child, self.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  char text[64] = {};
  const ssize_t got = spawned == 0 ? ::read(out[0], text, sizeof text - 1) : -1;
  ::close(out[0]);
  int status = 0;
  double seconds = -1;
  double peak = -1;
  if (spawned != 0 || ::waitpid(child, &status, 0) != child || got <= 0 ||
      std::sscanf(text, "%lf %lf", &seconds, &peak) != 2) {
    return {-1, -1};
  }
  return {seconds, peak};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3) {
    std::int64_t entries = 0;
    const bool tree = std::strcmp(argv[1], "--load-tree") == 0;
    const double seconds = tree ? loadTree(argv[2]) : openZip(argv[2], entries);
    std::printf("%.6f %.1f\n", seconds, peakMebibytes());
    return 0;
  }
  const fs::path folder = fs::temp_directory_path();
  const std::string tree = (folder / "vesk-compare.toc").string();
  const std::string zip = (folder / "vesk-compare.zip").string();
  writeTree(tree);
  if (!writeZip(zip)) {
    std::fprintf(stderr, "cannot write %s\n", zip.c_str());
    return 1;
  }
  std::pair<double, double> bestTree{1e9, 0};
  std::pair<double, double> bestZip{1e9, 0};
  for (int run = 0; run < 3; ++run) {
    bestTree = std::min(bestTree, inFreshProcess("--load-tree", tree));
    bestZip = std::min(bestZip, inFreshProcess("--open-zip", zip));
  }
  std::printf("tree of 1001000 nodes:   %8.1f ms, peak %6.1f MiB (%zu bytes)\n",
              bestTree.first * 1000, bestTree.second,
              static_cast<std::size_t>(fs::file_size(tree)));
  std::printf("zip of 1000000 entries:  %8.1f ms, peak %6.1f MiB (%zu bytes)\n",
              bestZip.first * 1000, bestZip.second, static_cast<std::size_t>(fs::file_size(zip)));
  fs::remove(tree);
  fs::remove(zip);
  return 0;
}
