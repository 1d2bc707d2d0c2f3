// UncommittedNode: the abstract base of pending files, whose data is not yet in the archive
// stream. It keeps the full path of the data's source; the node's name is the last
// component of that path. Until commit, offsetPrefix is -1 and compressedSize 0xFFFFFFFF.
#ifndef VESK_UNCOMMITTEDNODE_H
#define VESK_UNCOMMITTEDNODE_H

#include "FileNode.h"

namespace vesk {

class UncommittedNode : public FileNode {
 public:
  UncommittedNode();
  // Name: path.fileName(); source path: path.
  UncommittedNode(FileString const& path, DirectoryNode* parent, unsigned int fileSize,
                  TimeDate const& creationTime);
  UncommittedNode(FileString const& path, DirectoryNode* parent, unsigned int fileSize,
                  TimeDate const& creationTime, unsigned int thumbSize);
  UncommittedNode(UncommittedNode const& source);
  ~UncommittedNode() override;
  UncommittedNode& operator=(UncommittedNode const& source);

  void clone(UncommittedNode const& source);
  bool operator==(UncommittedNode const& other) const;

  FileString const& uncommittedPathName() const noexcept { return uncommittedPathName_; }

  bool committed() const override;
  UncommittedNode* uncommittedFile() override;
  // The position in the source at which the data to copy begins.
  virtual std::int64_t offset() const = 0;

  unsigned int objectSize() const override;
  BinStream& output(BinStream& stream) const override;
  BinStream& input(BinStream& stream) override;

  static char const* version();

 protected:
  explicit UncommittedNode(DirectoryNode* parent);

 private:
  FileString uncommittedPathName_;
};

}  // namespace vesk

#endif  // VESK_UNCOMMITTEDNODE_H
