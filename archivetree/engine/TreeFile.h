/// \class vesk::TreeFile TreeFile.h <vesk/TreeFile.h>
/// TreeFile: the saved tree of an archive, A.toc. Loading reads only a regular file, never
/// more than it holds, and remembers which file it read. Saving writes the whole tree to a
/// temporary file of a unique name in the same folder, syncs it, makes sure A.toc is still
/// the file last loaded or saved (so that a tree changed on disk in the meantime is never
/// overwritten), renames the temporary file over A.toc and syncs the folder: A.toc is always
/// either the old tree or the new one, whole. A save can be given space in advance (reserve()),
/// so that it succeeds on a disk that has filled up since. The caller holds the archive's
/// lock: exclusive to save. One thread at a time.
#ifndef VESK_TREEFILE_H
#define VESK_TREEFILE_H

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "FileDescriptor.h"

namespace vesk {

class DirectoryNode;

class TreeFile {
 public:
  /// The saved tree at `path`; nothing is read until load().
  explicit TreeFile(std::string path);
  TreeFile(const TreeFile&) = delete;
  TreeFile& operator=(const TreeFile&) = delete;
  ~TreeFile();

  /// The path of the saved tree.
  const std::string& path() const noexcept { return path_; }
  /// Whether the file exists.
  bool exists() const;

  /// Reads the saved tree into `root`, an empty directory. Throws ArchiveError: damaged when
  /// the file does not parse or holds more than the tree, failed when it cannot be read or is
  /// not a regular file.
  void load(DirectoryNode& root);

  /// Replaces the saved tree with `root`. Throws ArchiveError when the tree nests deeper than
  /// a load accepts, when A.toc changed on disk since it was last loaded or saved, or when a
  /// write fails; A.toc is then unchanged and no temporary file is left.
  void save(const DirectoryNode& root);

  /// Takes the file as it is now for the one last loaded, when its tree was read another way
  /// (a cleanup's, from its journal, after checking that the file is the one it started from).
  void takeAsLoaded() { known_ = current(); }

  /// Sets aside `bytes` bytes on the disk for the next save (a temporary file that the save
  /// then writes into). Throws ArchiveError when the disk has not that much left.
  void reserve(std::int64_t bytes);

  /// The size of the file as last loaded or saved.
  std::int64_t size() const noexcept { return known_.size; }

  /// The bytes of `root` in its stored form.
  static std::int64_t storedSize(const DirectoryNode& root);
  /// The deepest directory level below `root` (0 for a root without directories).
  static unsigned depth(const DirectoryNode& root);

  /// Removes temporary files that processes killed while saving left beside `path`. Only for
  /// a holder of the exclusive lock, when no other save can be under way.
  static void removeLeftovers(const std::string& path);

 private:
  struct Identity {
    bool present = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modified = 0;  ///< nanoseconds
  };
  static Identity identityOf(const struct stat& status);
  Identity current() const;
  FileDescriptor makeTemporary(std::string& name) const;
  void discardReserved() noexcept;

  std::string path_;
  Identity known_;  // the file as last loaded or saved
  FileDescriptor reserved_;
  std::string reservedName_;
};

}  // namespace vesk

#endif  // VESK_TREEFILE_H
