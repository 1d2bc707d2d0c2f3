// TreeAdder: puts pending files into a tree below one target directory, from disk (files,
// and folders with everything in them) or from another archive (its committed files as
// slices of its stream). A folder joins a live directory of the same name; a file whose
// name is taken gets the next free name, and the renaming is reported. Only regular files
// and folders are added; anything else is passed over with a warning. The tree and output
// streams must outlive the adder.
#ifndef VESK_TREEADDER_H
#define VESK_TREEADDER_H

#include <ostream>
#include <string>

namespace vesk {

class DirectoryNode;
class FileString;
class TreeNode;

class TreeAdder {
 public:
  TreeAdder(DirectoryNode& target, std::ostream& out, std::ostream& err);

  // Adds the file or folder at `path`; a path that names a folder by "." or "/" adds what
  // the folder holds. Throws ToolError kUser when `path` cannot be read.
  void addPath(const std::string& path);
  // Adds the live entry `node` of the archive whose stream is `otherStream`.
  void addFromArchive(TreeNode& node, const std::string& otherStream);

  unsigned added() const noexcept { return added_; }
  unsigned passedOver() const noexcept { return passedOver_; }

 private:
  void addDiskEntry(DirectoryNode& into, const std::string& path, bool contentsOnly);
  void addDiskFolder(DirectoryNode& into, const std::string& path);
  void addDiskFile(DirectoryNode& into, const std::string& path, unsigned long long size);
  void addArchiveEntry(DirectoryNode& into, TreeNode& node, const std::string& otherStream);
  static DirectoryNode& folderNamed(DirectoryNode& into, const FileString& name);
  void reportRename(const TreeNode& node, const std::string& wanted);
  void passOver(const std::string& what, const std::string& why);

  DirectoryNode& target_;
  std::ostream& out_;
  std::ostream& err_;
  unsigned added_ = 0;
  unsigned passedOver_ = 0;
};

}  // namespace vesk

#endif  // VESK_TREEADDER_H
