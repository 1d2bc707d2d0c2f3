/// \class vesk::TreeAdder TreeAdder.h <vesk/TreeAdder.h>
/// TreeAdder: puts pending files into a tree below one target directory, from disk (files,
/// and folders with everything in them) or from another archive (its committed files as
/// slices of its stream, each with the CRC-32 of its data in archiveCount, see Archive). A
/// folder joins a live directory of the same name; a file whose name is taken gets the next
/// free name, which the report tells. Only regular files and folders are added; anything
/// else, and a folder that would nest deeper than a saved tree may, is passed over and
/// reported. The tree must outlive the adder.
#ifndef VESK_TREEADDER_H
#define VESK_TREEADDER_H

#include <string>
#include <vector>

namespace vesk {

class BinStream;
class DirectoryNode;
class FileString;
class TreeNode;

class TreeAdder {
 public:
  /// An entry that got another name, its own being taken.
  struct Renamed {
    std::string wanted;  ///< the name that was taken
    std::string path;    ///< the tree path the entry got instead
  };
  /// A file or folder that was not added, and why.
  struct PassedOver {
    std::string what;  ///< a path on disk, or "ARCHIVE: tree path"
    /// One line.
    std::string why;
  };
  /// What adding did.
  struct Report {
    /// Pending files added.
    unsigned added = 0;
    /// Entries that got another name.
    std::vector<Renamed> renamed;
    /// What was not added.
    std::vector<PassedOver> passedOver;
  };

  /// Adds below the directory `target`, which must outlive the adder.
  explicit TreeAdder(DirectoryNode& target);

  /// Adds the file or folder at `path`; a path that names a folder by "." or "/" adds what
  /// the folder holds. Throws ArchiveError failed when `path` itself cannot be read.
  void addPath(const std::string& path);
  /// Adds the live entry `node` of the archive whose stream is `otherStream`, reading the
  /// data of its files from `otherData` for their CRC. Throws the stream's VeskException when
  /// a read fails.
  void addFromArchive(TreeNode& node, const std::string& otherStream, BinStream& otherData);

  /// What has been added so far.
  const Report& report() const noexcept { return report_; }

 private:
  void addDiskEntry(DirectoryNode& into, unsigned depth, const std::string& path,
                    bool contentsOnly);
  void addDiskFolder(DirectoryNode& into, unsigned depth, const std::string& path);
  void addDiskFile(DirectoryNode& into, const std::string& path, unsigned long long size);
  void addArchiveEntry(DirectoryNode& into, unsigned depth, TreeNode& node);
  bool tooDeep(unsigned depth, const std::string& what);
  static DirectoryNode& folderNamed(DirectoryNode& into, const FileString& name);
  void noteRename(const TreeNode& node, const std::string& wanted);
  void passOver(const std::string& what, const std::string& why);

  DirectoryNode& target_;
  unsigned targetDepth_;
  std::string otherStream_;
  BinStream* otherData_ = nullptr;
  Report report_;
};

}  // namespace vesk

#endif  // VESK_TREEADDER_H
