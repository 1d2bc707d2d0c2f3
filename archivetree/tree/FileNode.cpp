#include "FileNode.h"

#include <typeinfo>

#include "BinStream.h"

namespace vesk {

FileNode::FileNode() : creationTime_(timeStamp()) {}

FileNode::FileNode(DirectoryNode* parent) : TreeNode(parent), creationTime_(timeStamp()) {}

FileNode::FileNode(FileString const& name, DirectoryNode* parent)
    : TreeNode(name, parent), creationTime_(timeStamp()) {}

FileNode::FileNode(FileString const& name, DirectoryNode* parent, unsigned int fileSize,
                   TimeDate const& creationTime)
    : TreeNode(name, parent), fileSize_(fileSize), creationTime_(creationTime) {}

FileNode::FileNode(FileString const& name, DirectoryNode* parent, unsigned int fileSize,
                   TimeDate const& creationTime, unsigned int thumbSize)
    : TreeNode(name, parent),
      fileSize_(fileSize),
      thumbSize_(thumbSize),
      creationTime_(creationTime) {}

FileNode::FileNode(FileNode const& source)
    : TreeNode(source),
      fileSize_(source.fileSize_),
      thumbSize_(source.thumbSize_),
      compressedSize_(source.compressedSize_),
      archiveCount_(source.archiveCount_),
      offsetPrefix_(source.offsetPrefix_),
      creationTime_(source.creationTime_) {}

FileNode::~FileNode() = default;

FileNode& FileNode::operator=(FileNode const& source) {
  if (this != &source) {
    TreeNode::operator=(source);
    fileSize_ = source.fileSize_;
    thumbSize_ = source.thumbSize_;
    offsetPrefix_ = source.offsetPrefix_;
    compressedSize_ = source.compressedSize_;
    creationTime_ = source.creationTime_;
    archiveCount_ = source.archiveCount_;
  }
  return *this;
}

TreeNode* FileNode::clone(DirectoryNode* parent) const {
  if (deleted()) {
    return nullptr;
  }
  auto* copy = new FileNode(parent);
  copy->clone(*this);
  return copy;
}

void FileNode::clone(FileNode const& source) {
  TreeNode::clone(source);
  fileSize_ = source.fileSize_;
  thumbSize_ = source.thumbSize_;
  offsetPrefix_ = source.offsetPrefix_;
  compressedSize_ = source.compressedSize_;
  creationTime_ = source.creationTime_;
  archiveCount_ = source.archiveCount_;
}

bool FileNode::operator==(FileNode const& other) const {
  return typeid(*this) == typeid(other) && TreeNode::operator==(other) &&
         fileSize_ == other.fileSize_ && thumbSize_ == other.thumbSize_ &&
         compressedSize_ == other.compressedSize_ && creationTime_ == other.creationTime_ &&
         offsetPrefix_ == other.offsetPrefix_ && archiveCount_ == other.archiveCount_;
}

bool FileNode::committed() const {
  return true;
}

TreeNode::NodeType FileNode::nodeType() const {
  return FILE_NODE;
}

FileNode* FileNode::file() {
  return this;
}

unsigned int FileNode::objectSize() const {
  return deleted() ? 0 : TreeNode::objectSize() + creationTime_.storedSize() + 24;
}

BinStream& FileNode::output(BinStream& stream) const {
  TreeNode::output(stream);
  writeUnsigned(stream, fileSize_);
  writeUnsigned(stream, thumbSize_);
  writeSigned64(stream, offsetPrefix_);
  writeUnsigned(stream, compressedSize_);
  creationTime_.output(stream);
  writeUnsigned(stream, archiveCount_);
  return stream;
}

BinStream& FileNode::input(BinStream& stream) {
  TreeNode::input(stream);
  fileSize_ = readUnsigned(stream);
  thumbSize_ = readUnsigned(stream);
  offsetPrefix_ = readSigned64(stream);
  compressedSize_ = readUnsigned(stream);
  creationTime_.input(stream);
  archiveCount_ = readUnsigned(stream);
  return stream;
}

char const* FileNode::version() {
  return "FileNode 1.0, 16.08.1999";
}

}  // namespace vesk
