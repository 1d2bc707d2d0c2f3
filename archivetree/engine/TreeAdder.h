/// \class vesk::TreeAdder TreeAdder.h <vesk/TreeAdder.h>
/// TreeAdder: puts pending files into a tree below one target directory, from disk (files,
/// and folders with everything in them) or from another archive (its committed files as
/// slices of its stream, each with the CRC-32 of its data in archiveCount, see Archive). A
/// folder joins a live directory of the same name; a file whose name is taken gets the next
/// free name, which the report tells, unless updating, when an entry whose source changed in
/// size or time is replaced and an unchanged one kept. Symbolic links are followed (a folder
/// is never entered twice, so a loop ends) or passed over, as the options say; the pending
/// file of a followed link reads the file it leads to. Only regular files and folders are
/// added; anything else, and a folder that would nest deeper than a saved tree may, is passed
/// over and reported. Each entry on disk costs one stat (a followed link also the resolving
/// of its path). The tree must outlive the adder.
#ifndef VESK_TREEADDER_H
#define VESK_TREEADDER_H

#include <sys/stat.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "FileDescriptor.h"

namespace vesk {

class BinStream;
class DirectoryNode;
class FileString;
class TimeDate;
class TreeNode;

class TreeAdder {
 public:
  /// How adding treats taken names, links and exclusions.
  struct Options {
    /// A file whose name is taken replaces the entry there when its size or time differs,
    /// and is left out when they are the same.
    bool update = false;
    /// Follow symbolic links; false passes them over.
    bool followLinks = true;
    /// Wildcard patterns ('*', '?', letters ignoring case) of names on disk to leave out,
    /// files and folders alike.
    std::vector<std::string> exclude;
  };
  /// An entry that got another name, its own being taken.
  struct Renamed {
    std::string wanted;  ///< the name that was taken
    std::string path;    ///< the tree path the entry got instead
    std::string holder;  ///< the name of the entry that holds it (may differ in letter case)
  };
  /// A file or folder that was not added, and why.
  struct PassedOver {
    std::string what;  ///< a path on disk, or "ARCHIVE: tree path"
    /// One line.
    std::string why;
  };
  /// What adding did.
  struct Report {
    unsigned added = 0;                   ///< pending files put in, replacements included
    unsigned replaced = 0;                ///< entries replaced by a changed source
    unsigned unchanged = 0;               ///< entries left as they were, their source unchanged
    unsigned excluded = 0;                ///< files and folders on disk an exclude pattern left out
    std::vector<std::string> addedPaths;  ///< tree paths of the pending files put in
    std::vector<Renamed> renamed;         ///< entries that got another name
    /// What was not added.
    std::vector<PassedOver> passedOver;
    std::vector<PassedOver> links;  ///< symbolic links passed over: not followed, broken, loops
  };

  /// Adds below the directory `target`, which must outlive the adder, as `options` say.
  TreeAdder(DirectoryNode& target, Options options);
  /// Adds below `target` with the default options.
  explicit TreeAdder(DirectoryNode& target) : TreeAdder(target, Options()) {}

  /// Adds the file or folder at `path`; a path that names a folder by "." or "/" adds what
  /// the folder holds. Throws ArchiveError failed when `path` itself cannot be read.
  void addPath(const std::string& path);
  /// Adds the live entry `node` of the archive whose stream is `otherStream`, reading the
  /// data of its files from `otherData` for their CRC. Throws the stream's VeskException when
  /// a read fails.
  void addFromArchive(TreeNode& node, const std::string& otherStream, BinStream& otherData);

  /// What has been added so far.
  const Report& report() const noexcept { return report_; }
  /// What has been added so far, taken out of the adder, which starts a new report.
  Report takeReport() noexcept { return std::exchange(report_, Report()); }

 private:
  struct DiskEntry;

  void addDiskEntry(DirectoryNode& into, unsigned depth, DiskEntry entry);
  bool followLink(DiskEntry& entry);
  void addDiskFolder(DirectoryNode& into, unsigned depth, const DiskEntry& entry);
  FileDescriptor readNames(const DiskEntry& entry, std::vector<std::string>& names);
  void addDiskFile(DirectoryNode& into, const DiskEntry& entry);
  bool keepExisting(DirectoryNode& into, const std::string& name, const struct stat& status);
  bool excluded(const std::string& name) const;
  void addArchiveEntry(DirectoryNode& into, unsigned depth, TreeNode& node);
  bool tooDeep(unsigned depth, const std::string& what);
  static DirectoryNode& folderNamed(DirectoryNode& into, const FileString& name);
  void noteAdded(DirectoryNode& into, const TreeNode& node, const std::string& wanted);
  const std::string& pathBelow(const DirectoryNode& directory);
  void passOver(const std::string& what, const std::string& why);

  DirectoryNode& target_;
  unsigned targetDepth_;
  Options options_;
  std::set<std::pair<dev_t, ino_t>> folders_;  // folders entered, so that none is twice
  static constexpr unsigned kOpenFolders = 64;
  unsigned openFolders_ = 0;   // folders held open by the adds under way
  std::vector<char> listing_;  // what the system lists of a folder, read into one buffer
  // The directory that nodes were last added to in this call, and what the tree paths of its
  // children begin with.
  const DirectoryNode* pathDirectory_ = nullptr;
  std::string pathPrefix_;
  std::string otherStream_;
  BinStream* otherData_ = nullptr;
  Report report_;
};

}  // namespace vesk

#endif  // VESK_TREEADDER_H
