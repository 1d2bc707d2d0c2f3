#include "UncommittedNode.h"

#include <typeinfo>

#include "BinStream.h"
#include "DirectoryNode.h"
#include "IOPosition.h"

namespace vesk {

UncommittedNode::UncommittedNode() = default;

UncommittedNode::UncommittedNode(DirectoryNode* parent) : FileNode(parent) {}

UncommittedNode::UncommittedNode(FileString const& path, DirectoryNode* parent,
                                 unsigned int fileSize, TimeDate const& creationTime)
    : FileNode(path.fileName(), parent, fileSize, creationTime), uncommittedPathName_(path) {}

UncommittedNode::UncommittedNode(FileString const& path, DirectoryNode* parent,
                                 unsigned int fileSize, TimeDate const& creationTime,
                                 unsigned int thumbSize)
    : FileNode(path.fileName(), parent, fileSize, creationTime, thumbSize),
      uncommittedPathName_(path) {}

UncommittedNode::UncommittedNode(UncommittedNode const& source)
    : FileNode(source), uncommittedPathName_(source.uncommittedPathName_) {}

UncommittedNode::~UncommittedNode() = default;

UncommittedNode& UncommittedNode::operator=(UncommittedNode const& source) {
  if (this != &source) {
    FileNode::operator=(source);
    uncommittedPathName_ = source.uncommittedPathName_;
  }
  return *this;
}

void UncommittedNode::clone(UncommittedNode const& source) {
  FileNode::clone(source);
  uncommittedPathName_ = source.uncommittedPathName_;
}

bool UncommittedNode::operator==(UncommittedNode const& other) const {
  return typeid(*this) == typeid(other) && FileNode::operator==(other) &&
         uncommittedPathName_ == other.uncommittedPathName_;
}

bool UncommittedNode::committed() const {
  return false;
}

UncommittedNode* UncommittedNode::uncommittedFile() {
  return this;
}

unsigned int UncommittedNode::objectSize() const {
  return deleted() ? 0 : FileNode::objectSize() + uncommittedPathName_.storedSize();
}

BinStream& UncommittedNode::output(BinStream& stream) const {
  FileNode::output(stream);
  return uncommittedPathName_.output(stream);
}

BinStream& UncommittedNode::input(BinStream& stream) {
  FileNode::input(stream);
  return uncommittedPathName_.input(stream);
}

std::int64_t UncommittedNode::beginBlock(BinStream& archive,
                                         std::unique_ptr<IOPosition>& delayed) const {
  archive.seekp(0, std::ios_base::end);
  delayed.reset(archive.telldelayp());
  const std::int64_t position = delayed ? 0 : archive.tellp();
  writeUnsigned64(archive, fileSize());
  return position;
}

std::int64_t UncommittedNode::blockPosition(std::unique_ptr<IOPosition>& delayed,
                                            std::int64_t known) {
  if (!delayed) {
    return known;
  }
  while (!delayed->isReady()) {
  }
  const std::int64_t position = delayed->position();
  delayed.reset();
  return position;
}

FileString UncommittedNode::drivePath(FileString const& name) const {
  const DiskDriveAccessor accessor;
  DiskDriveAccessor const& mapper = parent() ? parent()->diskDriveAccessor() : accessor;
  return mapper.volumeFileNameToDriveFileName(name, "||");
}

char const* UncommittedNode::version() {
  return "UncommittedNode 1.0, 16.08.1999";
}

}  // namespace vesk
