/// \class vesk::UncommittedNode UncommittedNode.h <vesk/UncommittedNode.h>
/// UncommittedNode: the abstract base of pending files, whose data is not yet in the archive
/// stream. It keeps the full path of the data's source; the node's name is the last
/// component of that path. Until commit, offsetPrefix is -1 and compressedSize 0xFFFFFFFF.
/// Its commit() appends one data block at the end of the archive stream (an 8-byte
/// little-endian prefix holding fileSize, then the data) and answers 1 when the data is
/// stored, 0 when it cannot be had; the directory commit then replaces or deletes the node.
#ifndef VESK_UNCOMMITTEDNODE_H
#define VESK_UNCOMMITTEDNODE_H

#include <memory>

#include "FileNode.h"

class IOPosition;

namespace vesk {

class UncommittedNode : public FileNode {
 public:
  UncommittedNode();
  /// Name: path.fileName(); source path: path.
  UncommittedNode(FileString const& path, DirectoryNode* parent, unsigned int fileSize,
                  TimeDate const& creationTime);
  UncommittedNode(FileString const& path, DirectoryNode* parent, unsigned int fileSize,
                  TimeDate const& creationTime, unsigned int thumbSize);
  UncommittedNode(UncommittedNode const& source);
  ~UncommittedNode() override;
  UncommittedNode& operator=(UncommittedNode const& source);

  /// Each concrete pending class copies itself.
  TreeNode* clone(DirectoryNode* parent) const override = 0;
  void clone(UncommittedNode const& source);
  bool operator==(UncommittedNode const& other) const;

  FileString const& uncommittedPathName() const noexcept { return uncommittedPathName_; }

  bool committed() const override;
  UncommittedNode* uncommittedFile() override;
  /// The position in the source at which the data to copy begins.
  virtual std::int64_t offset() const = 0;
  unsigned int commit(BinStream& archive, ConCommittedFiles& committed,
                      ProgressMeter& meter) override = 0;

  unsigned int objectSize() const override;
  BinStream& output(BinStream& stream) const override;
  BinStream& input(BinStream& stream) override;

  static char const* version();

  /// The bytes that commit copies from a source at once.
  static constexpr unsigned kCopyPiece = 65536;

 protected:
  explicit UncommittedNode(DirectoryNode* parent);

  /// Appends the block prefix at the end of `archive` and answers where it stands: in
  /// `delayed` when the stream knows it only later, else as the result.
  std::int64_t beginBlock(BinStream& archive, std::unique_ptr<IOPosition>& delayed) const;
  /// The position of the block begun by beginBlock().
  static std::int64_t blockPosition(std::unique_ptr<IOPosition>& delayed, std::int64_t known);
  /// The path of the source `name` (kept in volume form) where it can be read now; empty when
  /// its volume is not mounted.
  FileString drivePath(FileString const& name) const;

 private:
  FileString uncommittedPathName_;
};

}  // namespace vesk

#endif  // VESK_UNCOMMITTEDNODE_H
