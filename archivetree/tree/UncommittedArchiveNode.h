/// \class vesk::UncommittedArchiveNode UncommittedArchiveNode.h <vesk/UncommittedArchiveNode.h>
/// UncommittedArchiveNode: a pending file whose data is a slice of another archive file:
/// fileSize bytes from the archive offset on. The other archive's path is kept in volume
/// form; the source path names the file inside the other archive.
#ifndef VESK_UNCOMMITTEDARCHIVENODE_H
#define VESK_UNCOMMITTEDARCHIVENODE_H

#include "UncommittedNode.h"

namespace vesk {

class UncommittedArchiveNode : public UncommittedNode {
 public:
  UncommittedArchiveNode();
  UncommittedArchiveNode(FileString const& path, DirectoryNode* parent, unsigned int fileSize,
                         std::int64_t const& offset, FileString const& archive,
                         TimeDate const& creationTime);
  UncommittedArchiveNode(UncommittedArchiveNode const& source);
  ~UncommittedArchiveNode() override;
  UncommittedArchiveNode& operator=(UncommittedArchiveNode const& source);

  TreeNode* clone(DirectoryNode* parent) const override;
  void clone(UncommittedArchiveNode const& source);
  bool operator==(UncommittedArchiveNode const& other) const;

  FileString const& archive() const noexcept { return archive_; }
  /// The position of the slice's first byte in the other archive.
  std::int64_t offset() const override;
  /// Appends the slice's data block; answers 0 when the other archive's volume is not
  /// mounted, leaving the block prefix in the stream. Throws VeskException "File size
  /// discrepancy on commit" when fewer bytes than fileSize could be copied, and the errors of
  /// the stream and of reading the other archive.
  unsigned int commit(BinStream& archive, ConCommittedFiles& committed,
                      ProgressMeter& meter) override;
  NodeType nodeType() const override;

  unsigned int objectSize() const override;
  BinStream& output(BinStream& stream) const override;
  BinStream& input(BinStream& stream) override;

  static char const* version();

 protected:
  friend class DirectoryNode;
  explicit UncommittedArchiveNode(DirectoryNode* parent);

 private:
  std::int64_t archiveOffset_ = 0;
  FileString archive_;
};

}  // namespace vesk

#endif  // VESK_UNCOMMITTEDARCHIVENODE_H
