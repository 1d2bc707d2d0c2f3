/// \class vesk::Compactor Compactor.h <vesk/Compactor.h>
/// Compactor: the cleanup of an archive, in place and safe against a crash at any instant.
/// It gives back every run of the stream that no live file uses and that is longer than a
/// block prefix (8 bytes): blocks of deleted files, blocks no entry names any more (the
/// contents of a deleted directory, whose entries the saved tree does not keep), prefixes
/// left by copies that failed. It does so with the library's own cleanup: each such run is
/// adopted as a deleted file of a directory of its own, then the library cuts them out,
/// moves the rest down and fixes the positions. The archive stream is seen through a
/// JournaledStream, so every move is recorded in A.journal (see CleanupJournal); the next
/// Archive opened on it finishes a compaction that was cut short (see recover()). Deleted
/// entries are dropped from the tree at the end. The Archive must be open for writing.
#ifndef VESK_COMPACTOR_H
#define VESK_COMPACTOR_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CIOParent;

namespace vesk {

class Archive;
class ArchiveCheck;
class CleanupJournal;
class DirectoryNode;

class Compactor {
 public:
  /// What a cleanup did, or with a dry run would do.
  struct Result {
    std::vector<std::string> removed;  ///< the deleted entries, directories ending in '/'
    /// The stream's size before.
    std::int64_t bytesBefore = 0;
    /// The stream's size after.
    std::int64_t bytesAfter = 0;
    std::int64_t bytesMoved = 0;  ///< live bytes behind the first run given back
    unsigned unnamedBlocks = 0;   ///< blocks on the chain that no entry of the tree names
    std::int64_t keptBytes = 0;   ///< runs of 8 bytes or less no file uses, which stay
  };

  /// Puts a file object of a test's own around the archive stream's (to make it fail).
  using FileObjectWrapper = std::function<CIOParent*(CIOParent* real)>;
  /// Puts `wrapper` in place for every compaction of the process; empty removes it.
  static void wrapFileObjects(FileObjectWrapper wrapper);

  /// A cleanup of `archive`, opened for writing, from the check `check` of its tree.
  Compactor(Archive& archive, const ArchiveCheck& check);

  /// Works out what goes and, unless `dryRun`, compacts and saves; answers what went (or would
  /// go). Throws ArchiveError when a file cannot be written; the journal then lets the next
  /// Archive opened on it finish the compaction.
  Result run(bool dryRun);

  /// What recover() found and did.
  enum class Recovery {
    none,       ///< there was no journal
    finished,   ///< an interrupted compaction is finished
    discarded,  ///< the journal belonged to no compaction under way, and is deleted
  };
  /// Finishes a compaction of `archive` that was cut short, before its tree is loaded, under
  /// its exclusive lock; nothing happens without a journal. Throws ArchiveError as run(), and
  /// damaged (keeping the journal) when the journal is damaged and the stream no longer
  /// matches the saved tree.
  static Recovery recover(Archive& archive);

 private:
  struct Run {
    std::int64_t position;
    std::int64_t bytes;
  };

  void planRuns();
  std::int64_t largestKeptPiece() const;
  void adoptRuns(DirectoryNode& root) const;
  static void compact(Archive& archive, CleanupJournal& journal);
  static bool streamMatchesSavedTree(Archive& archive);
  void listRemoved(DirectoryNode& directory);
  static void dropDeleted(DirectoryNode& directory);
  unsigned countUnnamedBlocks();

  Archive& archive_;
  const ArchiveCheck& check_;
  Result result_;
  std::vector<Run> runs_;  // what goes, ascending
};

}  // namespace vesk

#endif  // VESK_COMPACTOR_H
