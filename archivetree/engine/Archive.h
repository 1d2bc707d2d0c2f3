/// \class vesk::Archive Archive.h <vesk/Archive.h>
/// Archive: an archive on disk, safe for many processes and against a crash at any moment. An
/// archive A is two files side by side: the stream A, data blocks back to back, and the saved
/// tree A.toc, which names every block. An Archive opens them, holds the tree in memory, and
/// offers what an application does with an archive: add files, folders and slices of other
/// archives as pending entries, remove, commit, clean up, verify, extract, save. The Archive
/// owns its tree; pointers into it stay valid until the Archive changes that part of the tree
/// (commit replaces pending nodes, cleanup drops deleted ones) or ends. One thread at a time.
///
/// How it stays whole. These hold for every process that works through an Archive:
///
///  1. Locks. Every Archive holds a flock(2) lock on the stream file A from construction to
///     destruction: shared when opened for reading, exclusive for writing. Only the holder of
///     the exclusive lock changes A, A.toc or A.journal, so readers never see a change half
///     made, and two writers never interleave. A process that holds one archive's lock and
///     wants another's (a commit reading a slice's source archive) waits only so long, so
///     that two such processes cannot wait on each other for ever.
///  2. The tree. A.toc is replaced only by renaming a complete, synced file of a unique name
///     over it, then syncing the folder: it is always the old tree or the new one, whole. A
///     save refuses when A.toc is no longer the file this Archive read, and refuses a tree
///     nested deeper than a load accepts.
///  3. Order of commit. Each pending file's block is appended behind the last block the tree
///     names; the tree that names new blocks is saved only after the stream's writes are
///     synced (a checkpoint, every few files or a second). A crash loses the files stored
///     since the last checkpoint; the next commit cuts the bytes no saved tree names off the
///     end of the stream before it appends, so they are never mistaken for data, and cuts
///     only after a walk of the stream's whole chain of blocks found the tree to match it.
///  4. Sources. A commit reads each disk source through a descriptor it opened itself without
///     following a symbolic link and without blocking, and takes it only if it is a regular
///     file; a source whose size or time changed since it was added is stored as it is now;
///     one that fails or keeps changing stays pending with the reason, and the commit goes on.
///     A slice of another archive is found again by its path in that archive's tree, checked
///     against the size and time it was added with and against the CRC-32 of its data (kept
///     in the pending node's archiveCount, which commit overwrites), and read under that
///     archive's shared lock.
///  5. Full disk. A commit sets aside room for the next save of the tree before it stores
///     anything, and again after every checkpoint, so a full disk stops it with every file it
///     stored completely saved; the torn block is cut off.
///  6. Order of cleanup. The stream is compacted in place. Before the first byte moves, the
///     journal A.journal is written whole and synced, with all the room its records and the
///     final save will need allocated. Each piece of a move is recorded in the journal before
///     the piece that would overwrite its own source is written, and after one that cannot.
///     Then the stream is cut and synced, the compacted tree saved (invariant 2), and only
///     then the journal deleted.
///  7. Recovery. An Archive that finds A.journal takes the exclusive lock (dropping a shared
///     one for the while) and finishes the compaction from it, whatever command it was opened
///     for, before it reads the tree; a journal whose compacted tree is already in place is
///     deleted. A journal whose begin record is not whole is deleted only when the stream
///     still matches A.toc; one that is otherwise damaged is kept, and the archive refused
///     until someone looks at it.
///  8. Extraction writes each file to a temporary file in the target folder and renames it
///     over the target, never writing through an existing file or link.
#ifndef VESK_ARCHIVE_H
#define VESK_ARCHIVE_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ArchiveCheck.h"
#include "ArchiveError.h"
#include "ArchiveLock.h"
#include "Committer.h"
#include "Compactor.h"
#include "Extractor.h"
#include "TreeAdder.h"
#include "TreeFile.h"

namespace vesk {

class BinStream;
class BinVeskStream;
class DirectoryNode;
class TreeNode;

class Archive {
 public:
  /// Whether an Archive only reads (sharing the archive) or also writes (alone).
  enum class Access { read, write };

  /// How an archive is opened.
  struct Options {
    /// Read shares the archive with other readers; write holds it alone.
    Access access = Access::read;
    /// With write access: an archive that does not exist starts out empty (its stream is
    /// created at once, its tree at the first save).
    bool create = false;
    /// How long to wait for another process that holds the archive, and whom to tell.
    ArchiveLock::Wait wait;
    /// False: an interrupted cleanup is an error (ArchiveError failed) instead of being
    /// finished.
    bool finishCleanup = true;
    /// Told, in one line, what opening did besides reading: that it finished a cleanup.
    std::function<void(const std::string& note)> notice;
  };

  /// Opens the archive whose stream is `path`. Throws ArchiveError: failed when it does not
  /// exist (unless created) or cannot be read, damaged when its tree does not parse, busy when
  /// another process holds it longer than `options.wait` allows.
  Archive(std::string path, Options options);
  /// Opens the archive `path` for reading, waiting as long as another process holds it.
  explicit Archive(std::string path) : Archive(std::move(path), Options()) {}
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;
  /// Lets go of the lock. Changes not saved are lost.
  ~Archive();

  /// The path of the archive's stream, as given.
  const std::string& path() const noexcept { return path_; }
  /// The path of the saved tree: the stream's path and ".toc".
  std::string tocPath() const { return path_ + ".toc"; }
  /// The path of the cleanup journal: the stream's path and ".journal".
  std::string journalPath() const { return path_ + ".journal"; }
  /// Whether the archive was opened for writing (holds the exclusive lock).
  bool writable() const noexcept { return lock_.mode() == ArchiveLock::Mode::exclusive; }

  /// The tree. Its root's name is not part of the paths below.
  DirectoryNode& root() noexcept { return *root_; }
  /// The live node at the tree path `path` ("docs/a.txt"; "", "/" and "." name the root), or
  /// null.
  TreeNode* find(const std::string& path);
  /// The same, but throws ArchiveError failed naming the path when there is none.
  TreeNode& entry(const std::string& path);
  /// The tree path of `node`, "/" for the root.
  static std::string pathOf(const TreeNode& node);

  // Editing: write access. Changes stay in memory until save(), commit() or cleanup().

  /// The directory at `path`, made with its parents where missing. Throws ArchiveError failed
  /// when a file stands in the way or it would nest deeper than a saved tree may.
  DirectoryNode& directory(const std::string& path);
  /// Adds files and folders on disk (folders with everything in them) as pending files below
  /// the tree directory `to`; `options` tell how to treat names taken, links and exclusions.
  TreeAdder::Report add(const std::vector<std::string>& paths, const std::string& to = "/",
                        const TreeAdder::Options& options = TreeAdder::Options());
  /// Adds the entries `paths` of the archive `other` (all committed files below them) as
  /// pending slices below `to`. Reads `other` under its shared lock.
  TreeAdder::Report addFrom(const std::string& other, const std::vector<std::string>& paths,
                            const std::string& to = "/");
  /// Marks the entries deleted and answers their tree paths (directories ending in '/'); all
  /// must exist before any is removed, and the top of the tree cannot be.
  std::vector<std::string> remove(const std::vector<std::string>& paths);
  /// Saves the tree (invariant 2).
  void save();

  /// Stores the data of every pending file (invariants 3 to 5). Throws ArchiveError when the
  /// archive's stream or tree cannot be written, after saving what was stored.
  Committer::Report commit(CommitMeter& meter, const Committer::Options& options);
  /// commit() with the default options.
  Committer::Report commit(CommitMeter& meter) { return commit(meter, Committer::Options()); }
  /// Gives back the bytes of the stream no live file uses (invariant 6); with `dryRun` only
  /// answers what it would do. Needs write access unless `dryRun`.
  Compactor::Result cleanup(bool dryRun = false);
  /// Checks the tree against the stream.
  ArchiveCheck verify();

  /// Writes the entries `paths` into the folder `target` (made when missing), each under its
  /// own name; the root's children for the root. Failures of single entries are reported, not
  /// thrown.
  Extractor::Report extract(const std::vector<std::string>& paths, const std::string& target,
                            const Extractor::Options& options);
  /// extract() with the default options.
  Extractor::Report extract(const std::vector<std::string>& paths, const std::string& target) {
    return extract(paths, target, Extractor::Options());
  }
  /// Writes the data of the committed file at `path` to the open descriptor `descriptor`, or
  /// to `out`. Throws ArchiveError when it is not a committed file or its block is damaged.
  void extractFile(const std::string& path, int descriptor);
  /// The same, to a C++ stream.
  void extractFile(const std::string& path, std::ostream& out);

  /// The stream for reading, for those who read blocks themselves; an empty stream when the
  /// archive has none yet.
  std::unique_ptr<BinStream> openForReading();

 private:
  friend class Committer;
  friend class Compactor;

  void open(const Options& options);
  void finishInterruptedCleanup(const Options& options);
  void loadTree(bool create);
  void requireWritable(const char* operation) const;
  // The stream for appending: cuts what lies behind the last live block, after checking the
  // tree against the stream; `cut` tells how many bytes went.
  std::unique_ptr<BinVeskStream> openForWriting(std::int64_t& cut);
  std::optional<std::int64_t> endOfNamedBlocks(BinStream& stream);
  // Puts `root` in place of the tree (a cleanup's tree read from its journal).
  void replaceTree(std::unique_ptr<DirectoryNode> root);
  TreeFile& treeFile() noexcept { return treeFile_; }
  const ArchiveLock& lock() const noexcept { return lock_; }

  std::string path_;
  ArchiveLock lock_;
  TreeFile treeFile_;
  std::unique_ptr<DirectoryNode> root_;
};

}  // namespace vesk

#endif  // VESK_ARCHIVE_H
