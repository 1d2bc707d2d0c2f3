/// \class vesk::UncommittedFileNode UncommittedFileNode.h <vesk/UncommittedFileNode.h>
/// UncommittedFileNode: a pending file whose data comes from a file on disk or removable
/// media. Its source path is kept in volume form, so that commit finds the file again
/// wherever its medium is mounted then.
#ifndef VESK_UNCOMMITTEDFILENODE_H
#define VESK_UNCOMMITTEDFILENODE_H

#include "UncommittedNode.h"

namespace vesk {

class UncommittedFileNode : public UncommittedNode {
 public:
  UncommittedFileNode();
  UncommittedFileNode(FileString const& path, DirectoryNode* parent, unsigned int fileSize,
                      TimeDate const& creationTime);
  UncommittedFileNode(FileString const& path, DirectoryNode* parent, unsigned int fileSize,
                      TimeDate const& creationTime, unsigned int thumbSize);
  UncommittedFileNode(UncommittedFileNode const& source);
  ~UncommittedFileNode() override;
  UncommittedFileNode& operator=(UncommittedFileNode const& source);

  TreeNode* clone(DirectoryNode* parent) const override;
  void clone(UncommittedFileNode const& source);
  bool operator==(UncommittedFileNode const& other) const;

  /// The data is read from the start of the source file.
  std::int64_t offset() const override;
  /// Appends the file's data block. A source that is missing (its medium not inserted) is
  /// asked for with the missing-media prompt until it is found or the user cancels; a
  /// cancelled or failed copy answers 0, leaving the block prefix in the stream. Throws
  /// VeskException "File size discrepancy on commit" when only part of the data is copied,
  /// and the stream's errors.
  unsigned int commit(BinStream& archive, ConCommittedFiles& committed,
                      ProgressMeter& meter) override;
  NodeType nodeType() const override;

  static char const* version();

 protected:
  friend class DirectoryNode;
  explicit UncommittedFileNode(DirectoryNode* parent);

 private:
  // Shows the missing-media prompt; true when the user asks to try again.
  bool askForMedium() const;
};

}  // namespace vesk

#endif  // VESK_UNCOMMITTEDFILENODE_H
