/// \class vesk::Committer Committer.h <vesk/Committer.h>
/// Committer: stores the data of every pending file of an Archive, as Archive's invariants 3
/// to 5 say. It walks the tree depth-first in list order and lets each pending node commit
/// itself into a CommitStream, which opens and checks the node's source; a stored node is
/// replaced by a committed FileNode that takes this commit's number (one more than the
/// largest a live file has), a node whose source failed is made afresh, still pending, with
/// the reason in the report, and one whose disk source changed is made afresh with the size
/// and time it has now and stored again. A disk file met again in the same commit (a hard
/// link, or a link followed to it), the same inode not changed since, is not copied again:
/// its node shares the block stored for it. It saves the tree every few files or every second
/// (after syncing the stream), and at the end. Missing media are asked for through the
/// prompt answerer in place, or through the one given in the options for the commit's
/// while. The archive and the meter must outlive it; one at a time per process, as the
/// answerer is the process's.
#ifndef VESK_COMMITTER_H
#define VESK_COMMITTER_H

#include <chrono>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CommitMeter.h"
#include "ConCommittedFiles.h"
#include "MediaPrompt.h"
#include "ProgressMeter.h"
#include "SmartPointer.h"
#include "TimeDate.h"
#include "VeskException.h"

namespace vesk {

class Archive;
class BinVeskStream;
class CommitStream;
class DirectoryNode;
class FileNode;
class TreeNode;
class UncommittedArchiveNode;
class UncommittedNode;
class WriteBehind;

class Committer {
 public:
  /// How a commit runs.
  struct Options {
    /// Answers the missing-media prompt during the commit; empty keeps the process's.
    MediaPrompt::Answerer answerer;
    /// The tree is saved after this many stored files, and at least this often...
    unsigned saveEveryFiles = 256;
    /// \copydoc saveEveryFiles
    std::chrono::milliseconds saveEveryTime{1000};
    /// ...but checkpoints take at most about this share of the commit's time: after one that
    /// took d, the next waits until d * (1 - saveShare) / saveShare has passed. Saving a tree
    /// costs time in proportion to its size, so a big tree is saved less often instead of
    /// making the commit slower with every file. 1 saves as the two triggers say.
    double saveShare = 0.1;
    /// How long to wait for an archive that slices are read from, when another process holds
    /// it; past that its slices stay pending.
    std::chrono::milliseconds sourceWait{30000};
  };
  /// A pending file the commit left pending, and why.
  struct Skipped {
    std::string path;    ///< in the tree
    std::string reason;  ///< one line
  };
  /// What a commit did.
  struct Report {
    unsigned files = 0;       ///< pending when the commit began
    std::uint64_t bytes = 0;  ///< of those
    /// Files stored.
    unsigned stored = 0;
    std::int64_t cut = 0;          ///< bytes an interrupted commit had left behind, cut first
    std::vector<Skipped> skipped;  ///< left pending
    bool cancelled = false;        ///< the meter stopped the commit
  };

  /// A commit of `archive`, opened for writing, telling `meter`; run() does it.
  Committer(Archive& archive, CommitMeter& meter, const Options& options);
  Committer(const Committer&) = delete;
  Committer& operator=(const Committer&) = delete;
  ~Committer();

  /// Throws ArchiveError when the archive cannot be written, after saving what was stored.
  Report run();

 private:
  class QuietMeter : public ProgressMeter {
   public:
    void startFile(char const*) override {}
    bool cancelled() override { return false; }
  };
  struct Source;
  using Position = std::list<SmartPointer<TreeNode>>::iterator;
  // A file stored since the last checkpoint, whose pending node goes back should its data
  // turn out not to have reached the disk.
  struct Unsaved {
    DirectoryNode* directory;
    Position at;
    SmartPointer<TreeNode> pending;
    std::int64_t blockStart;
    std::int64_t blockEnd;
  };

  bool walk(DirectoryNode& directory);
  void store(DirectoryNode& directory, Position at);
  std::string storeNode(DirectoryNode& directory, Position at, const std::string& path);
  std::string prepareSlice(DirectoryNode& directory, Position at);
  Source& sourceFor(const UncommittedArchiveNode& slice);
  void keepStored(Position at, std::int64_t blockStart);
  static UncommittedNode& renew(DirectoryNode& directory, Position at,
                                std::optional<std::uint64_t> size, std::optional<TimeDate> time,
                                std::optional<std::int64_t> offset);
  void cutBack(std::int64_t end);
  void writeBehind(const std::string& path);
  void checkpointIfDue(const std::string& path);
  void saveWork(const std::string& path);
  void checkpoint();
  [[noreturn]] void stop(const std::string& path, const VeskException& cause, bool synced);
  std::int64_t restoreBeyond(std::int64_t durableEnd);

  Archive& archive_;
  CommitMeter& meter_;
  Options options_;
  Report report_;
  std::unique_ptr<BinVeskStream> stream_;
  std::unique_ptr<CommitStream> commitStream_;
  std::unique_ptr<WriteBehind> writeBehind_;  // on the stream's descriptor: goes before it
  // What a pending node's own commit is given to record in; it records nothing, as the
  // directory's commit does that, and the stored nodes are in the tree.
  ConCommittedFiles records_;
  QuietMeter quiet_;
  std::uint32_t archiveCount_ = 0;
  std::map<std::string, std::unique_ptr<Source>> sources_;
  std::vector<Unsaved> unsaved_;
  std::string lastStarted_;
  std::int64_t savedEnd_ = 0;  // the stream's end at the last checkpoint
  static constexpr std::int64_t kWriteBehind = 8 << 20;
  std::int64_t writtenBehind_ = 0;  // where the last request to start writing ended
  std::chrono::steady_clock::time_point lastSave_;
  std::chrono::steady_clock::duration lastSaveCost_{};
};

}  // namespace vesk

#endif  // VESK_COMMITTER_H
