#include "UncommittedFileNode.h"

#include <typeinfo>

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

TreeNode::NodeType UncommittedFileNode::nodeType() const {
  return UNCOMMITTED_FILE_NODE;
}

char const* UncommittedFileNode::version() {
  return "UncommittedFileNode 1.0, 16.08.1999";
}

}  // namespace vesk
