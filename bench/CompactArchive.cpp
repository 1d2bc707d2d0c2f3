// Builds an archive of FILES blocks of MIB MiB each, deletes every other file (the first
// included) and times the cleanup that compacts it. Prints the bytes cleanup moved, the
// nanoseconds the whole cleanup took and the nanoseconds of its final cut of the stream
// (the file system's freeing of the cut-off half); cleanup-vs-cat.sh sets them against cat
// copying as many bytes.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "BinVeskStream.h"
#include "ByteOrder.h"
#include "ConFileString.h"
#include "DirectoryNode.h"
#include "FileNode.h"

namespace {

// Writes the blocks and adds a committed node for each; answers the nodes.
std::vector<vesk::FileNode*> buildArchive(const char* path, vesk::DirectoryNode& root, int files,
                                          unsigned bytes) {
  vesk::BinVeskStream archive(path, vesk::OpenMode::readWrite | vesk::OpenMode::truncate, true);
  std::string data(bytes, '\0');
  std::vector<vesk::FileNode*> nodes;
  for (int i = 0; i < files; ++i) {
    for (std::size_t at = 0; at < data.size(); at += 4096) {
      data[at] = static_cast<char>(i + static_cast<int>(at));
    }
    char prefix[8];
    vesk::storeLittle64(prefix, bytes);
    auto* node = new vesk::FileNode("f" + std::to_string(i), &root, bytes, vesk::TimeDate());
    node->offsetPrefix(archive.tellp());
    root.push_back(vesk::SmartPointer<vesk::TreeNode>(node));
    nodes.push_back(node);
    archive.write(prefix, 8);
    archive.write(data.data(), bytes);
  }
  archive.sync();
  return nodes;
}

// The archive stream, timing its setEOF.
class TimedCut : public vesk::BinVeskStream {
 public:
  using BinVeskStream::BinVeskStream;
  void setEOF() override {
    const auto start = std::chrono::steady_clock::now();
    BinVeskStream::setEOF();
    cut = std::chrono::steady_clock::now() - start;
  }
  std::chrono::steady_clock::duration cut{};
};

long long nanoseconds(std::chrono::steady_clock::duration span) {
  return static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(span).count());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s ARCHIVE FILES MIB\n", argv[0]);
    return 2;
  }
  try {
    const int files = std::atoi(argv[2]);
    const auto bytes = static_cast<unsigned>(std::atoi(argv[3])) << 20;
    vesk::DirectoryNode root;
    std::vector<vesk::FileNode*> nodes = buildArchive(argv[1], root, files, bytes);
    std::int64_t moved = 0;
    for (int i = 0; i < files; ++i) {
      if (i % 2 == 0) {
        nodes[static_cast<std::size_t>(i)]->deleted(true);
      } else {
        moved += 8 + std::int64_t{bytes};
      }
    }
    ::sync();
    TimedCut archive(argv[1], vesk::OpenMode::readWrite, true);
    vesk::ConFileString removed;
    const auto start = std::chrono::steady_clock::now();
    root.cleanup(archive, removed);
    archive.flush();
    const auto took = std::chrono::steady_clock::now() - start;
    if (!root.verifyCommitted(archive) || archive.size() != moved) {
      std::fprintf(stderr, "the compacted archive is not as expected\n");
      return 1;
    }
    std::printf("%lld %lld %lld\n", static_cast<long long>(moved), nanoseconds(took),
                nanoseconds(archive.cut));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
