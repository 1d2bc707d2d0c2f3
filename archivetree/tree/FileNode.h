/// \class vesk::FileNode FileNode.h <vesk/FileNode.h>
/// FileNode: a file whose data is stored in the archive stream as one data block: an 8-byte
/// block prefix holding the data length, then the data. offsetPrefix is the position of the
/// prefix (-1 while nothing is stored) and offset() the position of the first data byte.
/// It is the class of committed files and the base of the pending nodes.
#ifndef VESK_FILENODE_H
#define VESK_FILENODE_H

#include <cstdint>

#include "TreeNode.h"

namespace vesk {

class FileNode : public TreeNode {
 public:
  FileNode();
  FileNode(FileString const& name, DirectoryNode* parent);
  FileNode(FileString const& name, DirectoryNode* parent, unsigned int fileSize,
           TimeDate const& creationTime);
  FileNode(FileString const& name, DirectoryNode* parent, unsigned int fileSize,
           TimeDate const& creationTime, unsigned int thumbSize);
  /// The base copy (fresh time stamp), then every file field.
  FileNode(FileNode const& source);
  ~FileNode() override;
  FileNode& operator=(FileNode const& source);

  TreeNode* clone(DirectoryNode* parent) const override;
  /// The base copy (parent kept), then every file field.
  void clone(FileNode const& source);
  bool operator==(FileNode const& other) const;

  unsigned int fileSize() const noexcept { return fileSize_; }
  unsigned int thumbSize() const noexcept { return thumbSize_; }
  unsigned int compressedSize() const noexcept { return compressedSize_; }
  std::int64_t offsetPrefix() const noexcept { return offsetPrefix_; }
  std::int64_t offsetPrefix(std::int64_t value) noexcept { return offsetPrefix_ = value; }
  /// The position of the first data byte: offsetPrefix + 8.
  std::int64_t offset() const noexcept { return offsetPrefix_ + 8; }
  std::uint32_t archiveCount() const noexcept { return archiveCount_; }
  std::uint32_t archiveCount(std::uint32_t value) noexcept { return archiveCount_ = value; }
  TimeDate const& creationTime() const noexcept { return creationTime_; }

  virtual bool committed() const;

  NodeType nodeType() const override;
  FileNode* file() override;
  unsigned int objectSize() const override;
  BinStream& output(BinStream& stream) const override;
  BinStream& input(BinStream& stream) override;

  static char const* version();

 protected:
  explicit FileNode(DirectoryNode* parent);

  void fileSize(unsigned int value) noexcept { fileSize_ = value; }
  void thumbSize(unsigned int value) noexcept { thumbSize_ = value; }
  void compressedSize(unsigned int value) noexcept { compressedSize_ = value; }

 private:
  friend class DirectoryNode;

  // The 32-bit fields first, so that they share 8-byte words.
  unsigned int fileSize_ = 0;
  unsigned int thumbSize_ = 0;
  unsigned int compressedSize_ = 0xFFFFFFFFu;
  std::uint32_t archiveCount_ = 0xFFFFFFFFu;
  std::int64_t offsetPrefix_ = -1;
  TimeDate creationTime_;
};

}  // namespace vesk

#endif  // VESK_FILENODE_H
