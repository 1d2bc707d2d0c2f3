// Extractor: writes entries of an archive back to disk below one target folder and never
// outside it. Each entry's name is used as one path component only: a name that is empty,
// "." or "..", or holds '/', '\' or a NUL byte is refused (with a warning) together with
// everything below it, and folders are entered without following symbolic links. A file's
// data is read from its block after checking that the block's prefix announces the file's
// size; its modification time is set from the entry's creation time. Pending files have no
// data yet and are passed over. The stream and output streams must outlive the Extractor.
#ifndef VESK_EXTRACTOR_H
#define VESK_EXTRACTOR_H

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace vesk {

class BinStream;
class DirectoryNode;
class FileNode;
class TreeNode;

class Extractor {
 public:
  Extractor(BinStream& stream, std::string archive, std::ostream& out, std::ostream& err);

  // Writes `node` into the folder `target` (created when missing) under its own name; for
  // the root, its children. Throws ToolError kUser when writing fails, kDamaged when a block
  // does not match its entry.
  void extract(TreeNode& node, const std::string& target);

  // Whether `name` can be used as one path component inside a folder.
  static bool safeName(const std::string& name);

  unsigned files() const noexcept { return files_; }
  unsigned refused() const noexcept { return refused_; }
  unsigned pending() const noexcept { return pending_; }

 private:
  void extractInto(int folder, const std::string& shownFolder, TreeNode& node);
  void extractChildren(int folder, const std::string& shownFolder, DirectoryNode& directory);
  void writeFile(int folder, const std::string& shown, FileNode& file);
  void copyData(int descriptor, const std::string& shown, FileNode& file);

  BinStream& stream_;
  std::string archive_;
  std::ostream& out_;
  std::ostream& err_;
  std::vector<char> buffer_;
  unsigned files_ = 0;
  unsigned refused_ = 0;
  unsigned pending_ = 0;
};

}  // namespace vesk

#endif  // VESK_EXTRACTOR_H
