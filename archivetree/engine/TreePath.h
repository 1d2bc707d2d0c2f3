// TreePath: how vesk-archive names the nodes of a tree: the names below the root joined by
// '/' ("docs/a.txt"), the root itself being "/". It also walks the live part of a tree.
// Pointers it answers point into the tree and live as long as the tree holds the node.
#ifndef VESK_TREEPATH_H
#define VESK_TREEPATH_H

#include <functional>
#include <string>

namespace vesk {

class DirectoryNode;
class TreeNode;

class TreePath {
 public:
  // The name a root gets when it has none that a path can start with.
  static constexpr const char* kRootName = "archive";

  // The path of `node` below its root; "/" for the root.
  static std::string of(const TreeNode& node);

  // The live node that `path` names below `root`, or null. Components are separated by '/'
  // or '\'; "", "/" and "." name the root. The root's name must be a single component.
  static TreeNode* resolve(DirectoryNode& root, const std::string& path);

  // Calls `visit` for every live node below `directory`, depth-first in list order, each
  // directory before its contents; nothing below a deleted directory is visited.
  static void eachLive(DirectoryNode& directory, const std::function<void(TreeNode&)>& visit);

  // The number of directories above `node`: 0 for a root.
  static unsigned depthOf(const TreeNode& node);

  // Whether `node` is a committed file (not a pending one).
  static bool isCommittedFile(TreeNode& node);
};

}  // namespace vesk

#endif  // VESK_TREEPATH_H
