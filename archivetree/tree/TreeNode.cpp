#include "TreeNode.h"

#include <typeinfo>
#include <vector>

#include "BinStream.h"
#include "ByteOrder.h"
#include "ConstStrings.h"
#include "DirectoryNode.h"

namespace vesk {

TreeNode::TreeNode() : TreeNode(FileString(STR_NULL), nullptr) {}

TreeNode::TreeNode(FileString const& name, DirectoryNode* parent)
    : name_(name), parent_(parent), deleted_(false), readOnly_(false) {}

TreeNode::TreeNode(DirectoryNode* parent) : TreeNode(FileString(STR_NULL), parent) {}

TreeNode::TreeNode(TreeNode const& source)
    : name_(source.name_),
      parent_(source.parent_),
      deleted_(source.deleted_),
      readOnly_(source.readOnly_) {}

TreeNode& TreeNode::operator=(TreeNode const& source) {
  if (this != &source) {
    tellParent();
    name_ = source.name_;
    parent_ = source.parent_;
    deleted_ = source.deleted_;
    timeStamp_ = source.timeStamp_;
    readOnly_ = source.readOnly_;
    tellParent();
  }
  return *this;
}

TreeNode::~TreeNode() = default;

unsigned int TreeNode::commit(BinStream& /*archive*/, ConCommittedFiles& /*committed*/,
                              ProgressMeter& /*meter*/) {
  return 0;
}

DirectoryNode* TreeNode::directory() {
  return nullptr;
}

FileNode* TreeNode::file() {
  return nullptr;
}

UncommittedNode* TreeNode::uncommittedFile() {
  return nullptr;
}

void TreeNode::markDeleted() {
  deleted(true);
}

void TreeNode::name(FileString const& name) {
  if (parent_ != nullptr) {
    parent_->childRenaming(*this);
  }
  name_ = name;
}

bool TreeNode::deleted(bool value) noexcept {
  if (value != deleted_) {
    deleted_ = value;
    if (parent_ != nullptr && value) {
      parent_->childDeleted(*this);
    } else {
      tellParent();
    }
  }
  return value;
}

void TreeNode::tellParent() noexcept {
  if (parent_ != nullptr) {
    parent_->edited();
  }
}

void TreeNode::clone(TreeNode const& source) {
  name_ = source.name_;
  deleted_ = source.deleted_;
  timeStamp_ = source.timeStamp_;
  readOnly_ = source.readOnly_;
  tellParent();
}

bool TreeNode::operator==(TreeNode const& other) const {
  return typeid(*this) == typeid(other) && name_ == other.name_ && parent_ == other.parent_ &&
         deleted_ == other.deleted_ && timeStamp_ == other.timeStamp_ &&
         readOnly_ == other.readOnly_;
}

FileString TreeNode::pathName() const {
  std::vector<const TreeNode*> line;
  for (const TreeNode* node = this; node != nullptr; node = node->parent_) {
    line.push_back(node);
  }
  FileString path = line.back()->name_;
  for (auto node = line.rbegin() + 1; node != line.rend(); ++node) {
    path.append(STR_BACKSLASH).append((*node)->name_);
  }
  return path;
}

char const* TreeNode::version() {
  return "TreeNode 1.0, 16.08.1999";
}

BinStream& TreeNode::output(BinStream& stream) const {
  name_.output(stream);
  writeBool(stream, deleted_);
  timeStamp_.output(stream);
  writeBool(stream, readOnly_);
  return stream;
}

BinStream& TreeNode::input(BinStream& stream) {
  name_.input(stream);
  deleted_ = readBool(stream);
  timeStamp_.input(stream);
  readOnly_ = readBool(stream);
  tellParent();
  return stream;
}

unsigned int TreeNode::objectSize() const {
  return deleted_ ? 0 : name_.storedSize() + timeStamp_.storedSize() + 2;
}

void TreeNode::writeBool(BinStream& stream, bool value) {
  const char byte = value ? 1 : 0;
  stream.write(&byte, 1);
  stream.throwOnError();
}

void TreeNode::writeUnsigned(BinStream& stream, std::uint32_t value) {
  char bytes[4];
  storeLittle32(bytes, value);
  stream.write(bytes, 4);
  stream.throwOnError();
}

void TreeNode::writeSigned64(BinStream& stream, std::int64_t value) {
  writeUnsigned64(stream, static_cast<std::uint64_t>(value));
}

void TreeNode::writeUnsigned64(BinStream& stream, std::uint64_t value) {
  char bytes[8];
  storeLittle64(bytes, value);
  stream.write(bytes, 8);
  stream.throwOnError();
}

bool TreeNode::readBool(BinStream& stream) {
  char byte = 0;
  stream.read(&byte, 1);
  stream.throwOnError();
  return byte != 0;
}

std::uint32_t TreeNode::readUnsigned(BinStream& stream) {
  char bytes[4];
  stream.read(bytes, 4);
  stream.throwOnError();
  return loadLittle32(bytes);
}

std::int64_t TreeNode::readSigned64(BinStream& stream) {
  return static_cast<std::int64_t>(readUnsigned64(stream));
}

std::uint64_t TreeNode::readUnsigned64(BinStream& stream) {
  char bytes[8];
  stream.read(bytes, 8);
  stream.throwOnError();
  return loadLittle64(bytes);
}

}  // namespace vesk
