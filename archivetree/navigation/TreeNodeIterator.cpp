#include "TreeNodeIterator.h"

#include <iterator>
#include <type_traits>
#include <typeinfo>

#include "ArchiveTreeStrings.h"
#include "ConstStrings.h"
#include "FileNode.h"
#include "MessageIds.h"
#include "VeskException.h"

namespace vesk {

namespace {

// What a step answers of the node it stops on: the node, or null when it is not of the kind
// the step walks.
template <class Node>
Node* ofKind(TreeNode* node);
template <>
TreeNode* ofKind<TreeNode>(TreeNode* node) {
  return node;
}
template <>
DirectoryNode* ofKind<DirectoryNode>(TreeNode* node) {
  return node != nullptr ? node->directory() : nullptr;
}
template <>
FileNode* ofKind<FileNode>(TreeNode* node) {
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

// The steps. Deleted nodes are passed over always. Directories stand before files, so a walk
// for one kind that moves towards the other kind passes over it too (directories backwards
// pass over files, files forwards pass over directories), while a walk that moves away from
// it ends where the other kind begins.

template <class Node>
Node* TreeNodeIterator::step(Move move) {
  const bool forwards = move == Move::first || move == Move::next;
  const bool passesOtherKind =
      std::is_same_v<Node, DirectoryNode> ? !forwards : std::is_same_v<Node, FileNode> && forwards;
  TreeNode* node = move == Move::first  ? first()
                   : move == Move::last ? last()
                   : forwards           ? next()
                                        : previous();
  while (node != nullptr &&
         (node->deleted() || (passesOtherKind && ofKind<Node>(node) == nullptr))) {
    node = forwards ? next() : previous();
  }
  return ofKind<Node>(node);
}

template <class Node>
Node* TreeNodeIterator::stepFrom(TreeNode* current, Move move) {
  if (current == nullptr) {
    return nullptr;
  }
  if (move == Move::next) {
    check(current);
  } else {
    rcheck(current);
  }
  return step<Node>(move);
}

TreeNode* TreeNodeIterator::firstNode() {
  return step<TreeNode>(Move::first);
}

TreeNode* TreeNodeIterator::firstNode(DirectoryNode* walked) {
  directory(walked);
  return firstNode();
}

TreeNode* TreeNodeIterator::lastNode() {
  return step<TreeNode>(Move::last);
}

TreeNode* TreeNodeIterator::lastNode(DirectoryNode* walked) {
  directory(walked);
  return lastNode();
}

TreeNode* TreeNodeIterator::nextNode() {
  return step<TreeNode>(Move::next);
}

TreeNode* TreeNodeIterator::nextNode(TreeNode* current) {
  return stepFrom<TreeNode>(current, Move::next);
}

TreeNode* TreeNodeIterator::nextNode(DirectoryNode* walked, TreeNode* current) {
  directory(walked);
  return nextNode(current);
}

TreeNode* TreeNodeIterator::previousNode() {
  return step<TreeNode>(Move::previous);
}

TreeNode* TreeNodeIterator::previousNode(TreeNode* current) {
  return stepFrom<TreeNode>(current, Move::previous);
}

TreeNode* TreeNodeIterator::previousNode(DirectoryNode* walked, TreeNode* current) {
  directory(walked);
  return previousNode(current);
}

DirectoryNode* TreeNodeIterator::firstDirectory() {
  return step<DirectoryNode>(Move::first);
}

DirectoryNode* TreeNodeIterator::firstDirectory(DirectoryNode* walked) {
  directory(walked);
  return firstDirectory();
}

DirectoryNode* TreeNodeIterator::lastDirectory() {
  return step<DirectoryNode>(Move::last);
}

DirectoryNode* TreeNodeIterator::lastDirectory(DirectoryNode* walked) {
  directory(walked);
  return lastDirectory();
}

DirectoryNode* TreeNodeIterator::nextDirectory() {
  return step<DirectoryNode>(Move::next);
}

DirectoryNode* TreeNodeIterator::nextDirectory(DirectoryNode* current) {
  return stepFrom<DirectoryNode>(current, Move::next);
}

DirectoryNode* TreeNodeIterator::nextDirectory(DirectoryNode* walked, DirectoryNode* current) {
  directory(walked);
  return nextDirectory(current);
}

DirectoryNode* TreeNodeIterator::previousDirectory() {
  return step<DirectoryNode>(Move::previous);
}

DirectoryNode* TreeNodeIterator::previousDirectory(DirectoryNode* current) {
  return stepFrom<DirectoryNode>(current, Move::previous);
}

DirectoryNode* TreeNodeIterator::previousDirectory(DirectoryNode* walked, DirectoryNode* current) {
  directory(walked);
  return previousDirectory(current);
}

FileNode* TreeNodeIterator::firstFile() {
  return step<FileNode>(Move::first);
}

FileNode* TreeNodeIterator::firstFile(DirectoryNode* walked) {
  directory(walked);
  return firstFile();
}

FileNode* TreeNodeIterator::lastFile() {
  return step<FileNode>(Move::last);
}

FileNode* TreeNodeIterator::lastFile(DirectoryNode* walked) {
  directory(walked);
  return lastFile();
}

FileNode* TreeNodeIterator::nextFile() {
  return step<FileNode>(Move::next);
}

FileNode* TreeNodeIterator::nextFile(FileNode* current) {
  return stepFrom<FileNode>(current, Move::next);
}

FileNode* TreeNodeIterator::nextFile(DirectoryNode* walked, FileNode* current) {
  directory(walked);
  return nextFile(current);
}

FileNode* TreeNodeIterator::previousFile() {
  return step<FileNode>(Move::previous);
}

FileNode* TreeNodeIterator::previousFile(FileNode* current) {
  return stepFrom<FileNode>(current, Move::previous);
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
