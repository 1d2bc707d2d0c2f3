// Commits files into a new archive the way an application does: through vesk::Archive (its
// tree holds each file as a pending file), or with --plain through DirectoryNode::commit on a
// stream of its own. Used by compare-with-cat.sh to set commit's throughput against cat's.
// Prints the nanoseconds of the commit itself (opening the stream, committing, saving), without
// building the tree.
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>

#include "Archive.h"
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

// Adds the files as pending files of `root`, in folders of 1000.
bool addFiles(vesk::DirectoryNode& root, int count, char** files) {
  for (int i = 0; i < count; ++i) {
    struct stat status {};
    if (::stat(files[i], &status) != 0) {
      std::perror(files[i]);
      return false;
    }
    vesk::DirectoryNode* folder = nullptr;
    if (root.empty() || root.back()->directory()->size() >= 1000) {
      folder = root.addDirectory("folder " + std::to_string(root.size()));
    } else {
      folder = root.back()->directory();
    }
    folder->addUncommittedFile(files[i], static_cast<unsigned>(status.st_size),
                               vesk::TimeDate::fromTimespec(status.st_mtim), 0);
  }
  return true;
}

// The Archive made the stream, empty. It is not truncated again: some file systems write a
// file back at close when it was truncated to nothing before it was written.
unsigned commitPlain(const char* path, vesk::DirectoryNode& root) {
  vesk::BinVeskStream archive(path, vesk::OpenMode::readWrite, true);
  vesk::ConCommittedFiles committed;
  QuietMeter meter;
  const unsigned stored = root.commit(archive, committed, meter, 1);
  archive.flush();
  return stored;
}

}  // namespace

int main(int argc, char** argv) {
  const bool plain = argc > 1 && std::strcmp(argv[1], "--plain") == 0;
  const int first = plain ? 2 : 1;
  if (argc < first + 2) {
    std::fprintf(stderr, "usage: %s [--plain] ARCHIVE FILE...\n", argv[0]);
    return 2;
  }
  const int files = argc - first - 1;
  try {
    vesk::Archive::Options options;
    options.access = vesk::Archive::Access::write;
    options.create = true;
    vesk::Archive archive(argv[first], options);
    if (!addFiles(archive.root(), files, argv + first + 1)) {
      return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    unsigned stored = 0;
    if (plain) {
      stored = commitPlain(argv[first], archive.root());
    } else {
      vesk::CommitMeter meter;
      stored = archive.commit(meter).stored;
    }
    const auto took = std::chrono::steady_clock::now() - start;
    if (stored != static_cast<unsigned>(files)) {
      std::fprintf(stderr, "committed %u of %d files\n", stored, files);
      return 1;
    }
    std::printf("%lld\n", static_cast<long long>(
                              std::chrono::duration_cast<std::chrono::nanoseconds>(took).count()));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
