#include "TreeWalker.h"

#include "DirectoryNode.h"

namespace vesk {

void TreeWalker::walk(DirectoryNode& start, const Visitor& visit, bool withDeleted) {
  if (!start.deleted()) {
    walkBelow(start, 1, visit, withDeleted);
  }
}

void TreeWalker::walkAll(DirectoryNode& start, const std::function<void(TreeNode& node)>& visit) {
  walk(start, [&visit](TreeNode& node, unsigned /*depth*/) {
    visit(node);
    return true;
  });
}

void TreeWalker::walkBelow(DirectoryNode& directory, unsigned depth, const Visitor& visit,
                           bool withDeleted) {
  for (const SmartPointer<TreeNode>& child : directory) {
    if (child->deleted() && !withDeleted) {
      continue;
    }
    const bool below = visit(*child, depth);
    DirectoryNode* folder = child->directory();
    if (below && folder != nullptr && !child->deleted()) {
      walkBelow(*folder, depth + 1, visit, withDeleted);
    }
  }
}

}  // namespace vesk
