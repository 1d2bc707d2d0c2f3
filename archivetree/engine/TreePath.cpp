#include "TreePath.h"

#include <vector>

#include "DirectoryNode.h"
#include "FileNode.h"
#include "TreeNodeIterator.h"
#include "TreeWalker.h"
#include "VeskException.h"

namespace vesk {

std::string TreePath::of(const TreeNode& node) {
  std::vector<const TreeNode*> line;
  for (const TreeNode* at = &node; at->parent() != nullptr; at = at->parent()) {
    line.push_back(at);
  }
  if (line.empty()) {
    return "/";
  }
  std::string path;
  for (auto at = line.rbegin(); at != line.rend(); ++at) {
    if (!path.empty()) {
      path += '/';
    }
    path += (*at)->name().view();
  }
  return path;
}

TreeNode* TreePath::resolve(DirectoryNode& root, const std::string& path) {
  const std::size_t first = path.find_first_not_of("/\\");
  if (first == std::string::npos) {
    return &root;
  }
  const std::string inside = path.substr(first, path.find_last_not_of("/\\") + 1 - first);
  if (inside == ".") {
    return &root;
  }
  const std::string full = root.name().str() + "/" + inside;
  TreeNodeIterator iterator(&root);
  try {
    if (FileNode* file = iterator.findFile(&root, full)) {
      return file;
    }
    return iterator.findDirectory(&root, full);
  } catch (const VeskException&) {
    return nullptr;  // a component names no live directory or file
  }
}

void TreePath::eachLive(DirectoryNode& directory, const std::function<void(TreeNode&)>& visit) {
  TreeWalker::walkAll(directory, visit);
}

unsigned TreePath::depthOf(const TreeNode& node) {
  unsigned depth = 0;
  for (const TreeNode* at = node.parent(); at != nullptr; at = at->parent()) {
    ++depth;
  }
  return depth;
}

bool TreePath::isCommittedFile(TreeNode& node) {
  return node.file() != nullptr && node.uncommittedFile() == nullptr;
}

}  // namespace vesk
