// Times the crash-safe cleanup of vesk::Archive (in place, every move journaled) against the
// library's plain in-place cleanup, on two identical archives of FILES blocks of MIB MiB
// with every other file deleted. Prints the bytes moved, both times and the ratio of their
// throughputs.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "Archive.h"
#include "BinVeskStream.h"
#include "ByteOrder.h"
#include "ConFileString.h"
#include "DirectoryNode.h"
#include "FileNode.h"
#include "TreeFile.h"

namespace {

using Clock = std::chrono::steady_clock;

// Writes the archive stream and saves its tree, every other file deleted; answers the bytes
// a cleanup moves.
std::int64_t buildArchive(const std::string& path, int files, unsigned bytes) {
  auto root = std::make_unique<vesk::DirectoryNode>("archive", nullptr);
  std::string data(bytes, '\0');
  std::int64_t moved = 0;
  {
    vesk::BinVeskStream stream(path.c_str(), vesk::OpenMode::readWrite | vesk::OpenMode::truncate,
                               true);
    for (int i = 0; i < files; ++i) {
      data[static_cast<std::size_t>(i) % bytes] = static_cast<char>(i);
      auto* node = new vesk::FileNode("f" + std::to_string(i), root.get(), bytes, vesk::TimeDate());
      node->offsetPrefix(stream.tellp());
      node->deleted(i % 2 == 0);
      moved += i % 2 == 0 ? 0 : 8 + std::int64_t{bytes};
      root->push_back(vesk::SmartPointer<vesk::TreeNode>(node));
      char prefix[8];
      vesk::storeLittle64(prefix, bytes);
      stream.write(prefix, 8);
      stream.write(data.data(), bytes);
    }
    stream.sync();
  }
  vesk::TreeFile(path + ".toc").save(*root);
  ::sync();
  return moved;
}

vesk::Archive::Options forWriting() {
  vesk::Archive::Options options;
  options.access = vesk::Archive::Access::write;
  return options;
}

double plainCleanup(const std::string& path) {
  vesk::Archive archive(path, forWriting());
  const auto start = Clock::now();
  {
    vesk::BinVeskStream stream(path.c_str(), vesk::OpenMode::readWrite, true);
    vesk::ConFileString removed;
    archive.root().cleanup(stream, removed);
    stream.sync();
  }
  archive.save();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double safeCleanup(const std::string& path) {
  vesk::Archive archive(path, forWriting());
  const auto start = Clock::now();
  archive.cleanup();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s FOLDER FILES MIB\n", argv[0]);
    return 2;
  }
  try {
    const std::string folder = argv[1];
    const int files = std::atoi(argv[2]);
    const auto bytes = static_cast<unsigned>(std::atoi(argv[3])) << 20;
    const std::int64_t moved = buildArchive(folder + "/plain.vesk", files, bytes);
    const double plain = plainCleanup(folder + "/plain.vesk");
    buildArchive(folder + "/safe.vesk", files, bytes);
    const double safe = safeCleanup(folder + "/safe.vesk");
    const double mib = static_cast<double>(moved) / 1048576.0;
    std::printf("moved %.0f MiB\nplain cleanup:     %6.0f ms  %6.0f MiB/s\n", mib, plain * 1000,
                mib / plain);
    std::printf("crash-safe cleanup: %5.0f ms  %6.0f MiB/s\nratio %.2f\n", safe * 1000, mib / safe,
                plain / safe);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
