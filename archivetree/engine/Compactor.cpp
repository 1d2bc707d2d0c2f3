#include "Compactor.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <tuple>
#include <unordered_set>

#include "Archive.h"
#include "ArchiveCheck.h"
#include "ArchiveError.h"
#include "BinVeskStream.h"
#include "CleanupJournal.h"
#include "ConFileString.h"
#include "DirectoryNode.h"
#include "FileDescriptor.h"
#include "FileNode.h"
#include "JournaledStream.h"
#include "MemoryStream.h"
#include "TreeFile.h"
#include "TreePath.h"
#include "VeskDataIO.h"
#include "VeskException.h"

namespace vesk {

namespace {

// The directory that holds the adopted runs while the library cleans up; its name cannot
// come from a path.
constexpr const char* kAdoptedRuns = "\x01reclaimed";
// The longest run one adopted file covers: its size is a 32-bit count.
constexpr std::int64_t kLongestAdopted = std::int64_t{0xFFFFFFFF} + 8;

Compactor::FileObjectWrapper& wrapper() {
  static Compactor::FileObjectWrapper* const installed = new Compactor::FileObjectWrapper;
  return *installed;
}

// The archive stream, unbuffered, so that each write is in the file before the journal's next
// record.
std::unique_ptr<BinVeskStream> openUnbuffered(const std::string& path) {
  CIOParent* file =
      VeskCreateIO(path.c_str(), VESK_ACCESS_READ | VESK_ACCESS_WRITE, 0, FILE_OPEN_EXISTING, 0);
  if (file == nullptr) {
    throw ArchiveError::system("Cannot open for writing", path, errno);
  }
  return std::make_unique<BinVeskStream>(wrapper() ? wrapper()(file) : file);
}

// The size and CRC-32 of the file at `path`, or -1 and 0 when there is none.
std::pair<std::int64_t, std::uint32_t> sizeAndCrc(const std::string& path) {
  const FileDescriptor file = FileDescriptor::open(path.c_str(), O_RDONLY | O_NONBLOCK);
  struct stat status {};
  if (!file.valid() || !file.status(status) || !S_ISREG(status.st_mode)) {
    return {-1, 0};
  }
  std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
  if (file.readAt(bytes.data(), bytes.size(), 0) != status.st_size) {
    throw ArchiveError::system("Cannot read", path, errno);
  }
  return {status.st_size, CleanupJournal::crc(bytes.data(), bytes.size())};
}

}  // namespace

void Compactor::wrapFileObjects(FileObjectWrapper replacement) {
  wrapper() = std::move(replacement);
}

Compactor::Compactor(Archive& archive, const ArchiveCheck& check)
    : archive_(archive), check_(check) {}

// The steps (numbered as the invariants they keep):
//  1. Work out the runs to give back from the chain: joined waste regions longer than 8 bytes.
//  2. Adopt them as deleted files of a directory of their own, and write the journal's begin
//     record with that tree, the stream's size and the saved tree it starts from, with the
//     room for all its records and the final save allocated; from here on, the next Archive
//     opened on the archive finishes what this starts.
//  3. The library's cleanup cuts the runs out through the journaled stream.
//  4. Sync the stream, drop the adopted directory and the deleted entries, give back the
//     journal's reserve, replace A.toc, delete the journal.
Compactor::Result Compactor::run(bool dryRun) {
  result_.bytesBefore = check_.chain().streamSize();
  listRemoved(archive_.root());
  result_.unnamedBlocks = countUnnamedBlocks();
  planRuns();
  if (dryRun) {
    return result_;
  }
  if (runs_.empty()) {
    if (!result_.removed.empty()) {
      dropDeleted(archive_.root());
      archive_.save();
    }
    return result_;
  }
  adoptRuns(archive_.root());
  CleanupJournal::Begin begin;
  begin.streamSize = result_.bytesBefore;
  std::tie(begin.treeSize, begin.treeCrc) = sizeAndCrc(archive_.tocPath());
  MemoryStream tree;
  archive_.root().output(tree);
  begin.tree = tree.bytes();
  begin.largestData = largestKeptPiece();
  std::optional<CleanupJournal> journal;
  try {
    journal.emplace(CleanupJournal::create(archive_.journalPath(), begin));
  } catch (const ArchiveError& error) {
    throw ArchiveError(error.kind(),
                       archive_.path() + ": cannot clean up, nothing was moved: " + error.what(),
                       error.error(), error.path());
  }
  compact(archive_, *journal);
  return result_;
}

Compactor::Recovery Compactor::recover(Archive& archive) {
  if (!std::filesystem::exists(std::filesystem::symlink_status(archive.journalPath()))) {
    return Recovery::none;
  }
  CleanupJournal journal = CleanupJournal::resume(archive.journalPath());
  const CleanupJournal::Begin& begin = journal.begin();
  if (!journal.hasBegin()) {
    // Torn by a crash, nothing was moved yet; but damage looks the same, so the journal goes
    // only when the stream is still the one the saved tree describes.
    if (!streamMatchesSavedTree(archive)) {
      throw ArchiveError(ArchiveError::Kind::damaged,
                         archive.journalPath() +
                             ": the journal of an interrupted cleanup is damaged and the stream "
                             "no longer matches its tree; the journal is kept for inspection");
    }
    journal.remove();
    return Recovery::discarded;
  }
  if (sizeAndCrc(archive.tocPath()) != std::make_pair(begin.treeSize, begin.treeCrc)) {
    journal.remove();  // the compacted tree is in place already
    return Recovery::discarded;
  }
  if (journal.damaged()) {
    throw ArchiveError(ArchiveError::Kind::damaged,
                       archive.journalPath() +
                           ": the journal of an interrupted cleanup is damaged, so where its "
                           "moves stand cannot be told; the journal is kept for inspection");
  }
  auto root = std::make_unique<DirectoryNode>(TreePath::kRootName, nullptr);
  MemoryStream tree(begin.tree);
  try {
    root->input(tree);
  } catch (const VeskException& error) {
    throw ArchiveError(ArchiveError::Kind::damaged,
                       archive.journalPath() + ": damaged journal: " + std::string(error.what()));
  }
  archive.replaceTree(std::move(root));
  archive.treeFile().takeAsLoaded();
  compact(archive, journal);
  return Recovery::finished;
}

bool Compactor::streamMatchesSavedTree(Archive& archive) {
  DirectoryNode saved(TreePath::kRootName, nullptr);
  TreeFile tree(archive.tocPath());
  if (tree.exists()) {
    tree.load(saved);
  }
  const std::unique_ptr<BinStream> stream = archive.openForReading();
  return ArchiveCheck(saved, *stream).sound();
}

void Compactor::compact(Archive& archive, CleanupJournal& journal) {
  try {
    const std::unique_ptr<BinVeskStream> stream = openUnbuffered(archive.path());
    JournaledStream journaled(*stream, journal);
    ConFileString names;
    archive.root().cleanup(journaled, names);
    stream->sync();
  } catch (const ArchiveError& error) {
    throw ArchiveError(error.kind(),
                       archive.path() + ": cleanup stopped: " + error.what() +
                           "; the next command on the archive finishes it",
                       error.error(), error.path());
  } catch (const VeskException& error) {
    throw ArchiveError(ArchiveError::Kind::failed,
                       archive.path() + ": cleanup stopped: " + error.message() +
                           "; the next command on the archive finishes it",
                       error.error(), error.path());
  }
  DirectoryNode& root = archive.root();
  root.remove_if([](const SmartPointer<TreeNode>& child) {
    return child->directory() != nullptr && child->name() == FileString(kAdoptedRuns);
  });
  dropDeleted(root);
  journal.releaseReserve();
  archive.save();
  journal.remove();
}

// Waste regions that touch join into one run; a run of 8 bytes or less cannot be a block of
// data and stays.
void Compactor::planRuns() {
  for (const WasteRegion& waste : check_.chain().waste()) {
    if (!runs_.empty() && runs_.back().position + runs_.back().bytes == waste.position) {
      runs_.back().bytes += waste.bytes;
    } else {
      runs_.push_back({waste.position, waste.bytes});
    }
  }
  std::int64_t reclaimed = 0;
  std::erase_if(runs_, [&](const Run& run) {
    if (run.bytes <= 8) {
      result_.keptBytes += run.bytes;
      return true;
    }
    reclaimed += run.bytes;
    return false;
  });
  result_.bytesAfter = result_.bytesBefore - reclaimed;
  if (!runs_.empty()) {
    result_.bytesMoved = result_.bytesBefore - runs_.front().position - reclaimed;
  }
}

// The largest piece whose bytes the journal will keep: of the moves whose distance (all the
// bytes given back in front of them) is short, the longest, up to what a record can hold.
std::int64_t Compactor::largestKeptPiece() const {
  std::int64_t largest = 0;
  std::int64_t removed = 0;
  for (std::size_t k = 0; k < runs_.size(); ++k) {
    removed += runs_[k].bytes;
    const std::int64_t from = runs_[k].position + runs_[k].bytes;
    const std::int64_t to = k + 1 < runs_.size() ? runs_[k + 1].position : result_.bytesBefore;
    if (removed < JournaledStream::kDirectDistance) {
      largest = std::max(largest, std::min(to - from, CleanupJournal::kLargestData));
    }
  }
  return largest;
}

// Deleted files below `directory` (and every file below a deleted directory) lose their
// block positions, so that the library's cleanup goes only by the adopted runs, which the
// chain walk vouches for.
void forgetDeletedBlocks(DirectoryNode& directory, bool deletedAbove) {
  for (const SmartPointer<TreeNode>& child : directory) {
    const bool deleted = deletedAbove || child->deleted();
    if (DirectoryNode* below = child->directory()) {
      forgetDeletedBlocks(*below, deleted);
    } else if (deleted && TreePath::isCommittedFile(*child)) {
      child->file()->offsetPrefix(-1);
    }
  }
}

// Each run becomes deleted files whose blocks cover it exactly, none longer than a 32-bit
// size allows and none shorter than 9 bytes.
void Compactor::adoptRuns(DirectoryNode& root) const {
  forgetDeletedBlocks(root, false);
  auto* adopted = new DirectoryNode(kAdoptedRuns, &root);
  root.push_back(SmartPointer<TreeNode>(adopted));
  unsigned count = 0;
  for (const Run& run : runs_) {
    for (std::int64_t at = run.position, end = run.position + run.bytes; at < end;) {
      std::int64_t bytes = std::min(end - at, kLongestAdopted);
      if (end - at - bytes > 0 && end - at - bytes < 9) {
        bytes -= 9;  // leaves enough for a last piece
      }
      auto* file = new FileNode(std::to_string(count++), adopted, static_cast<unsigned>(bytes - 8),
                                TimeDate::fromNanoseconds(0));
      file->offsetPrefix(at);
      file->deleted(true);
      adopted->push_back(SmartPointer<TreeNode>(file));
      at += bytes;
    }
  }
}

void Compactor::listRemoved(DirectoryNode& directory) {
  for (const SmartPointer<TreeNode>& child : directory) {
    DirectoryNode* below = child->directory();
    if (child->deleted()) {
      result_.removed.push_back(TreePath::of(*child) + (below != nullptr ? "/" : ""));
    } else if (below != nullptr) {
      listRemoved(*below);
    }
  }
}

void Compactor::dropDeleted(DirectoryNode& directory) {
  for (auto child = directory.begin(); child != directory.end();) {
    if ((*child)->deleted()) {
      child = directory.erase(child);
      continue;
    }
    if (DirectoryNode* below = (*child)->directory()) {
      dropDeleted(*below);
    }
    ++child;
  }
}

// Blocks that neither a live file nor a deleted entry of the tree names.
unsigned Compactor::countUnnamedBlocks() {
  std::unordered_set<std::int64_t> named;
  std::function<void(DirectoryNode&)> collect = [&](DirectoryNode& directory) {
    for (const SmartPointer<TreeNode>& child : directory) {
      if (DirectoryNode* below = child->directory()) {
        collect(*below);
      } else if (TreePath::isCommittedFile(*child)) {
        named.insert(child->file()->offsetPrefix());
      }
    }
  };
  collect(archive_.root());
  return static_cast<unsigned>(std::count_if(
      check_.chain().blocks().begin(), check_.chain().blocks().end(),
      [&](const ChainBlock& block) { return !block.live && !named.contains(block.position); }));
}

}  // namespace vesk
