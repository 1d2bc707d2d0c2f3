#include "UncommittedFileNode.h"

#include <unistd.h>

#include <typeinfo>

#include "ArchiveTreeStrings.h"
#include "BinStream.h"
#include "IOPosition.h"
#include "MediaPrompt.h"
#include "MessageIds.h"
#include "ProgressMeter.h"
#include "VeskException.h"

namespace vesk {

UncommittedFileNode::UncommittedFileNode() = default;

UncommittedFileNode::UncommittedFileNode(DirectoryNode* parent) : UncommittedNode(parent) {}

UncommittedFileNode::UncommittedFileNode(FileString const& path, DirectoryNode* parent,
                                         unsigned int fileSize, TimeDate const& creationTime)
    : UncommittedNode(path, parent, fileSize, creationTime) {}

UncommittedFileNode::UncommittedFileNode(FileString const& path, DirectoryNode* parent,
                                         unsigned int fileSize, TimeDate const& creationTime,
                                         unsigned int thumbSize)
    : UncommittedNode(path, parent, fileSize, creationTime, thumbSize) {}

UncommittedFileNode::UncommittedFileNode(UncommittedFileNode const& source)
    : UncommittedNode(source) {}

UncommittedFileNode::~UncommittedFileNode() = default;

UncommittedFileNode& UncommittedFileNode::operator=(UncommittedFileNode const& source) {
  UncommittedNode::operator=(source);
  return *this;
}

TreeNode* UncommittedFileNode::clone(DirectoryNode* parent) const {
  if (deleted()) {
    return nullptr;
  }
  auto* copy = new UncommittedFileNode(parent);
  copy->clone(*this);
  return copy;
}

void UncommittedFileNode::clone(UncommittedFileNode const& source) {
  UncommittedNode::clone(source);
}

bool UncommittedFileNode::operator==(UncommittedFileNode const& other) const {
  return typeid(*this) == typeid(other) && UncommittedNode::operator==(other);
}

std::int64_t UncommittedFileNode::offset() const {
  return 0;
}

unsigned int UncommittedFileNode::commit(BinStream& archive, ConCommittedFiles& /*committed*/,
                                         ProgressMeter& meter) {
  if (deleted()) {
    return 0;
  }
  meter.startFile(uncommittedPathName().c_str());
  std::unique_ptr<IOPosition> delayed;
  const std::int64_t position = beginBlock(archive, delayed);
  FileString path = drivePath(uncommittedPathName());
  while (path.empty() || ::access(path.c_str(), F_OK) != 0) {
    if (!askForMedium()) {
      return 0;
    }
    path = drivePath(uncommittedPathName());
  }
  unsigned int copied = 0;
  try {
    copied = archive.copyFile(path.c_str(), fileSize(), 0, kCopyPiece);
  } catch (const VeskException&) {
    copied = 0;
  }
  compressedSize(copied);
  offsetPrefix(blockPosition(delayed, position));
  if (copied == fileSize()) {
    return 1;
  }
  if (copied == 0) {
    return 0;
  }
  throw VeskException(archiveTreeStrings(kMsgFileSizeDiscrepancy));
}

bool UncommittedFileNode::askForMedium() const {
  const FileString source = uncommittedPathName();
  const StdString text = StdString::format(archiveTreeStrings(kMsgMissingFilePrompt).c_str(),
                                           source.fileName().c_str(), source.volumeName().c_str());
  const StdString caption = archiveTreeStrings(kMsgMissingFileCaption);
  return MediaPrompt::messageBox(MediaPrompt::foregroundWindow(), text.c_str(), caption.c_str(),
                                 MediaPrompt::kRetryCancel) == MediaPrompt::kAnswerRetry;
}

TreeNode::NodeType UncommittedFileNode::nodeType() const {
  return UNCOMMITTED_FILE_NODE;
}

char const* UncommittedFileNode::version() {
  return "UncommittedFileNode 1.0, 16.08.1999";
}

}  // namespace vesk
