#include "TreeSearcher.h"

#include "ArchiveTreeStrings.h"
#include "ConstStrings.h"
#include "DirectoryNode.h"
#include "MessageIds.h"
#include "TreeNode.h"
#include "VeskException.h"

namespace vesk {

namespace {

// The first node from `node` on, stepping forwards with `iterator`, whose name matches.
TreeNode* firstMatch(TreeNodeIterator& iterator, WildString const& pattern, TreeNode* node) {
  while (node != nullptr && !pattern.match(node->name(), 0, 0)) {
    node = iterator.nextNode(node);
  }
  return node;
}

// A pattern without wildcards matches the names equal to it, which the directory looks up
// without a walk.
bool isPlainName(WildString const& pattern) {
  return pattern.pattern().find_first_of("*?") == StdString::npos;
}

}  // namespace

// The lookup comes first, so a directory part that names nothing is reported as such even
// when it also holds the wildcard text. Only the whole wildcard text is refused; a single
// wildcard character in a directory name passes.
TreeSearcher::TreeSearcher(FileString const& searchString, DirectoryNode* start)
    : iterator_(start), pattern_(searchString.fileName()), directory_(nullptr), current_(nullptr) {
  const FileString directoryPart = searchString.directoryName();
  directory_ = iterator_.findDirectory(directoryPart);
  if (directoryPart.find(STR_QM_ASTERISK) != FileString::npos) {
    throw VeskException(archiveTreeStrings(kMsgInvalidSearchString));
  }
}

TreeSearcher::~TreeSearcher() = default;

char const* TreeSearcher::version() const {
  return "TreeSearcher 1.0, 22.09.1999";
}

TreeNode* TreeSearcher::first() {
  iterator_.directory(directory_);
  if (isPlainName(pattern_)) {
    current_ = directory_->findChild(pattern_.pattern(), nullptr);
    return current_;
  }
  current_ = firstMatch(iterator_, pattern_, iterator_.firstNode());
  return current_;
}

TreeNode* TreeSearcher::next() {
  if (isPlainName(pattern_)) {
    current_ = current_ != nullptr ? directory_->findChild(pattern_.pattern(), current_) : nullptr;
    return current_;
  }
  current_ = firstMatch(iterator_, pattern_, iterator_.nextNode(current_));
  return current_;
}

}  // namespace vesk
