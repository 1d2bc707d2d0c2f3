// Commits files into a new archive the way an application does: adds each as a pending file
// of a root directory and runs DirectoryNode::commit with a quiet progress meter. Used by
// compare-with-cat.sh to set commit's throughput against cat's. Prints the nanoseconds of
// the commit itself (opening the archive, committing, flushing), without building the tree.
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <exception>

#include "BinVeskStream.h"
#include "ConCommittedFiles.h"
#include "DirectoryNode.h"
#include "ProgressMeter.h"

namespace {

class QuietMeter : public vesk::ProgressMeter {
 public:
  void startFile(char const*) override {}
  bool cancelled() override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s ARCHIVE FILE...\n", argv[0]);
    return 2;
  }
  try {
    vesk::DirectoryNode root;
    for (int i = 2; i < argc; ++i) {
      struct stat status {};
      if (::stat(argv[i], &status) != 0) {
        std::perror(argv[i]);
        return 1;
      }
      vesk::DirectoryNode* folder = &root;
      if (root.empty() || root.back()->directory()->size() >= 1000) {
        folder = root.addDirectory("folder " + std::to_string(root.size()));
      } else {
        folder = root.back()->directory();
      }
      folder->addUncommittedFile(argv[i], static_cast<unsigned>(status.st_size),
                                 vesk::TimeDate::fromTimespec(status.st_mtim), 0);
    }
    const auto start = std::chrono::steady_clock::now();
    vesk::BinVeskStream archive(argv[1], 0x01 | 0x02 | 0x10, true);
    vesk::ConCommittedFiles committed;
    QuietMeter meter;
    const unsigned stored = root.commit(archive, committed, meter, 1);
    archive.flush();
    if (stored != static_cast<unsigned>(argc - 2)) {
      std::fprintf(stderr, "committed %u of %d files\n", stored, argc - 2);
      return 1;
    }
    const auto took = std::chrono::steady_clock::now() - start;
    std::printf("%lld\n", static_cast<long long>(
                               std::chrono::duration_cast<std::chrono::nanoseconds>(took).count()));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
