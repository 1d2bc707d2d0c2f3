#include "TreeNodeIterator.h"

#include <iterator>
#include <typeinfo>

#include "ArchiveTreeStrings.h"
#include "ConstStrings.h"
#include "FileNode.h"
#include "MessageIds.h"
#include "VeskException.h"

namespace vesk {

namespace {

// Steps pass over deleted nodes always; the directory and file steps that must reach a node
// of their kind pass over the other kind too.
bool passedOver(TreeNode* node) {
  return node != nullptr && node->deleted();
}
bool passedOverByDirectories(TreeNode* node) {
  return node != nullptr && (node->deleted() || node->directory() == nullptr);
}
bool passedOverByFiles(TreeNode* node) {
  return node != nullptr && (node->deleted() || node->file() == nullptr);
}

DirectoryNode* asDirectory(TreeNode* node) {
  return node != nullptr ? node->directory() : nullptr;
}
FileNode* asFile(TreeNode* node) {
  return node != nullptr ? node->file() : nullptr;
}

}  // namespace

TreeNodeIterator::TreeNodeIterator() : root_(nullptr), directory_(nullptr) {}

TreeNodeIterator::TreeNodeIterator(DirectoryNode* root)
    : root_(root), forward_(root->end()), backward_(root->end()), directory_(root) {}

TreeNodeIterator::~TreeNodeIterator() = default;

// The walked directories are compared before the positions, so only positions of one list
// are ever compared.
bool TreeNodeIterator::operator==(TreeNodeIterator const& other) const {
  return typeid(*this) == typeid(other) && root_ == other.root_ && directory_ == other.directory_ &&
         forward_ == other.forward_ && backward_ == other.backward_;
}

void TreeNodeIterator::root(DirectoryNode* root) {
  root_ = root;
  directory_ = root;
  forward_ = backward_ = root->end();
}

void TreeNodeIterator::directory(DirectoryNode* walked) {
  if (walked != directory_) {
    directory_ = walked;
    forward_ = backward_ = walked != nullptr ? walked->end() : Position();
  }
}

TreeNode* TreeNodeIterator::first() {
  forward_ = directory_->begin();
  return forward_ != directory_->end() ? forward_->get() : nullptr;
}

TreeNode* TreeNodeIterator::next() {
  if (forward_ == directory_->end() || ++forward_ == directory_->end()) {
    return nullptr;
  }
  return forward_->get();
}

TreeNode* TreeNodeIterator::last() {
  backward_ = directory_->empty() ? directory_->end() : std::prev(directory_->end());
  return backward_ != directory_->end() ? backward_->get() : nullptr;
}

TreeNode* TreeNodeIterator::previous() {
  if (backward_ == directory_->end()) {
    return nullptr;
  }
  if (backward_ == directory_->begin()) {
    backward_ = directory_->end();
    return nullptr;
  }
  return (--backward_)->get();
}

void TreeNodeIterator::check(TreeNode* node) {
  if (forward_ == directory_->end() || forward_->get() != node) {
    find(node);
  }
}

void TreeNodeIterator::rcheck(TreeNode* node) {
  if (backward_ == directory_->end() || backward_->get() != node) {
    rfind(node);
  }
}

void TreeNodeIterator::find(TreeNode* node) {
  for (TreeNode* at = first(); at != nullptr; at = next()) {
    if (at == node) {
      return;
    }
  }
  throw VeskException(archiveTreeStrings(kMsgInvalidNodePointer));
}

void TreeNodeIterator::rfind(TreeNode* node) {
  for (TreeNode* at = last(); at != nullptr; at = previous()) {
    if (at == node) {
      return;
    }
  }
  throw VeskException(archiveTreeStrings(kMsgInvalidNodePointer));
}

// Any node.

TreeNode* TreeNodeIterator::firstNode() {
  TreeNode* node = first();
  while (passedOver(node)) {
    node = next();
  }
  return node;
}

TreeNode* TreeNodeIterator::firstNode(DirectoryNode* walked) {
  directory(walked);
  return firstNode();
}

TreeNode* TreeNodeIterator::lastNode() {
  TreeNode* node = last();
  while (passedOver(node)) {
    node = previous();
  }
  return node;
}

TreeNode* TreeNodeIterator::lastNode(DirectoryNode* walked) {
  directory(walked);
  return lastNode();
}

TreeNode* TreeNodeIterator::nextNode() {
  TreeNode* node = next();
  while (passedOver(node)) {
    node = next();
  }
  return node;
}

TreeNode* TreeNodeIterator::nextNode(TreeNode* current) {
  if (current == nullptr) {
    return nullptr;
  }
  check(current);
  return nextNode();
}

TreeNode* TreeNodeIterator::nextNode(DirectoryNode* walked, TreeNode* current) {
  directory(walked);
  return nextNode(current);
}

TreeNode* TreeNodeIterator::previousNode() {
  TreeNode* node = previous();
  while (passedOver(node)) {
    node = previous();
  }
  return node;
}

TreeNode* TreeNodeIterator::previousNode(TreeNode* current) {
  if (current == nullptr) {
    return nullptr;
  }
  rcheck(current);
  return previousNode();
}

TreeNode* TreeNodeIterator::previousNode(DirectoryNode* walked, TreeNode* current) {
  directory(walked);
  return previousNode(current);
}

// Directories. Forwards only deleted nodes are passed over, so the first file ends the walk;
// backwards the files are passed over on the way to the last directory.

DirectoryNode* TreeNodeIterator::firstDirectory() {
  TreeNode* node = first();
  while (passedOver(node)) {
    node = next();
  }
  return asDirectory(node);
}

DirectoryNode* TreeNodeIterator::firstDirectory(DirectoryNode* walked) {
  directory(walked);
  return firstDirectory();
}

DirectoryNode* TreeNodeIterator::lastDirectory() {
  TreeNode* node = last();
  while (passedOverByDirectories(node)) {
    node = previous();
  }
  return asDirectory(node);
}

DirectoryNode* TreeNodeIterator::lastDirectory(DirectoryNode* walked) {
  directory(walked);
  return lastDirectory();
}

DirectoryNode* TreeNodeIterator::nextDirectory() {
  TreeNode* node = next();
  while (passedOver(node)) {
    node = next();
  }
  return asDirectory(node);
}

DirectoryNode* TreeNodeIterator::nextDirectory(DirectoryNode* current) {
  if (current == nullptr) {
    return nullptr;
  }
  check(current);
  return nextDirectory();
}

DirectoryNode* TreeNodeIterator::nextDirectory(DirectoryNode* walked, DirectoryNode* current) {
  directory(walked);
  return nextDirectory(current);
}

DirectoryNode* TreeNodeIterator::previousDirectory() {
  TreeNode* node = previous();
  while (passedOverByDirectories(node)) {
    node = previous();
  }
  return asDirectory(node);
}

DirectoryNode* TreeNodeIterator::previousDirectory(DirectoryNode* current) {
  if (current == nullptr) {
    return nullptr;
  }
  rcheck(current);
  return previousDirectory();
}

DirectoryNode* TreeNodeIterator::previousDirectory(DirectoryNode* walked, DirectoryNode* current) {
  directory(walked);
  return previousDirectory(current);
}

// Files: the mirror image. Forwards the directories are passed over; backwards only deleted
// nodes, so the last directory ends the walk.

FileNode* TreeNodeIterator::firstFile() {
  TreeNode* node = first();
  while (passedOverByFiles(node)) {
    node = next();
  }
  return asFile(node);
}

FileNode* TreeNodeIterator::firstFile(DirectoryNode* walked) {
  directory(walked);
  return firstFile();
}

FileNode* TreeNodeIterator::lastFile() {
  TreeNode* node = last();
  while (passedOver(node)) {
    node = previous();
  }
  return asFile(node);
}

FileNode* TreeNodeIterator::lastFile(DirectoryNode* walked) {
  directory(walked);
  return lastFile();
}

FileNode* TreeNodeIterator::nextFile() {
  TreeNode* node = next();
  while (passedOverByFiles(node)) {
    node = next();
  }
  return asFile(node);
}

FileNode* TreeNodeIterator::nextFile(FileNode* current) {
  if (current == nullptr) {
    return nullptr;
  }
  check(current);
  return nextFile();
}

FileNode* TreeNodeIterator::nextFile(DirectoryNode* walked, FileNode* current) {
  directory(walked);
  return nextFile(current);
}

FileNode* TreeNodeIterator::previousFile() {
  TreeNode* node = previous();
  while (passedOver(node)) {
    node = previous();
  }
  return asFile(node);
}

FileNode* TreeNodeIterator::previousFile(FileNode* current) {
  if (current == nullptr) {
    return nullptr;
  }
  rcheck(current);
  return previousFile();
}

FileNode* TreeNodeIterator::previousFile(DirectoryNode* walked, FileNode* current) {
  directory(walked);
  return previousFile(current);
}

// Path lookups.

// The first component must be the start's own name; every further one names a live child
// directory of the one before, which becomes the walked directory as it is reached.
TreeNode* TreeNodeIterator::findNode(DirectoryNode* start, FileString const& path) {
  directory(start);
  unsigned position = 0;
  unsigned length = 0;
  if (!path.token(STR_SLASH_BAR_BACKSLASH, position, length)) {
    throw VeskException(archiveTreeStrings(kMsgInvalidPathName));
  }
  if (path.compare(position, length, start->name()) != 0) {
    throw VeskException(archiveTreeStrings(kMsgInvalidDirectoryName));
  }
  DirectoryNode* reached = start;
  for (position += length; path.token(STR_SLASH_BAR_BACKSLASH, position, length);
       position += length) {
    reached = reached->findDirectory(FileString(path.data() + position, length));
    if (reached == nullptr) {
      throw VeskException(archiveTreeStrings(kMsgInvalidDirectoryName));
    }
    directory(reached);
  }
  return reached;
}

DirectoryNode* TreeNodeIterator::findDirectory(FileString const& path) {
  return findNode(directory_, path)->directory();
}

DirectoryNode* TreeNodeIterator::findDirectory(DirectoryNode* walked, FileString const& path) {
  directory(walked);
  return findDirectory(path);
}

// The components before the last lead to a directory as findDirectory() goes; there the last
// one names a live file (preferred), a live directory, or nothing. A path of one component
// names the walked directory itself.
FileNode* TreeNodeIterator::findFile(FileString const& path) {
  unsigned position = 0;
  unsigned length = 0;
  unsigned lastPosition = 0;
  unsigned lastLength = 0;
  unsigned components = 0;
  for (; path.token(STR_SLASH_BAR_BACKSLASH, position, length); position += length) {
    lastPosition = position;
    lastLength = length;
    ++components;
  }
  if (components < 2) {
    findNode(directory_, path);
    return nullptr;
  }
  DirectoryNode* holder = findNode(directory_, FileString(path.data(), lastPosition))->directory();
  const FileString name = FileString(path.data() + lastPosition, lastLength);
  if (FileNode* file = holder->findFile(name)) {
    return file;
  }
  if (holder->findDirectory(name) != nullptr) {
    return nullptr;
  }
  throw VeskException(archiveTreeStrings(kMsgInvalidDirectoryName));
}

FileNode* TreeNodeIterator::findFile(DirectoryNode* walked, FileString const& path) {
  directory(walked);
  return findFile(path);
}

char const* TreeNodeIterator::version() {
  return "TreeNodeIterator 1.0, 23.09.1999";
}

}  // namespace vesk
