#include "UncommittedArchiveNode.h"

#include <typeinfo>

#include "ArchiveTreeStrings.h"
#include "BinStream.h"
#include "ConstStrings.h"
#include "IOPosition.h"
#include "MessageIds.h"
#include "ProgressMeter.h"
#include "VeskException.h"

namespace vesk {

UncommittedArchiveNode::UncommittedArchiveNode() : archive_(STR_NULL) {}

UncommittedArchiveNode::UncommittedArchiveNode(DirectoryNode* parent)
    : UncommittedNode(parent), archive_(STR_NULL) {}

UncommittedArchiveNode::UncommittedArchiveNode(FileString const& path, DirectoryNode* parent,
                                               unsigned int fileSize, std::int64_t const& offset,
                                               FileString const& archive,
                                               TimeDate const& creationTime)
    : UncommittedNode(path.pathName(), parent, fileSize, creationTime),
      archiveOffset_(offset),
      archive_(archive) {}

UncommittedArchiveNode::UncommittedArchiveNode(UncommittedArchiveNode const& source)
    : UncommittedNode(source), archiveOffset_(source.archiveOffset_), archive_(source.archive_) {}

UncommittedArchiveNode::~UncommittedArchiveNode() = default;

UncommittedArchiveNode& UncommittedArchiveNode::operator=(UncommittedArchiveNode const& source) {
  if (this != &source) {
    UncommittedNode::operator=(source);
    archiveOffset_ = source.archiveOffset_;
    archive_ = source.archive_;
  }
  return *this;
}

TreeNode* UncommittedArchiveNode::clone(DirectoryNode* parent) const {
  if (deleted()) {
    return nullptr;
  }
  auto* copy = new UncommittedArchiveNode(parent);
  copy->clone(*this);
  return copy;
}

void UncommittedArchiveNode::clone(UncommittedArchiveNode const& source) {
  UncommittedNode::clone(source);
  archiveOffset_ = source.archiveOffset_;
  archive_ = source.archive_;
}

bool UncommittedArchiveNode::operator==(UncommittedArchiveNode const& other) const {
  return typeid(*this) == typeid(other) && UncommittedNode::operator==(other) &&
         archiveOffset_ == other.archiveOffset_ && archive_ == other.archive_;
}

std::int64_t UncommittedArchiveNode::offset() const {
  return archiveOffset_;
}

unsigned int UncommittedArchiveNode::commit(BinStream& stream, ConCommittedFiles& /*committed*/,
                                            ProgressMeter& meter) {
  if (deleted()) {
    return 0;
  }
  meter.startFile(archive_.c_str());
  std::unique_ptr<IOPosition> delayed;
  const std::int64_t position = beginBlock(stream, delayed);
  const FileString path = drivePath(archive_);
  if (path.empty()) {
    return 0;
  }
  const unsigned int copied = stream.copyFile(path.c_str(), fileSize(), archiveOffset_, kCopyPiece);
  if (copied != fileSize()) {
    throw VeskException(archiveTreeStrings(kMsgFileSizeDiscrepancy));
  }
  compressedSize(copied);
  offsetPrefix(blockPosition(delayed, position));
  return 1;
}

TreeNode::NodeType UncommittedArchiveNode::nodeType() const {
  return UNCOMMITTED_ARCHIVE_NODE;
}

unsigned int UncommittedArchiveNode::objectSize() const {
  return deleted() ? 0 : UncommittedNode::objectSize() + 8 + archive_.storedSize();
}

BinStream& UncommittedArchiveNode::output(BinStream& stream) const {
  UncommittedNode::output(stream);
  writeSigned64(stream, archiveOffset_);
  return archive_.output(stream);
}

BinStream& UncommittedArchiveNode::input(BinStream& stream) {
  UncommittedNode::input(stream);
  archiveOffset_ = readSigned64(stream);
  return archive_.input(stream);
}

char const* UncommittedArchiveNode::version() {
  return "UncommittedArchiveNode 1.0, 12.10.1999";
}

}  // namespace vesk
