/// \class vesk::TreeWalker TreeWalker.h <vesk/TreeWalker.h>
/// TreeWalker: the one depth-first walk over a tree: every live entry below a directory, in
/// the tree's order (each directory's children, directories first, then files, by name; an
/// entry before what lies below it). The visitor is told each entry and its depth (1 for the
/// start's children) and answers whether to go below it; deleted entries are shown only when
/// asked for, and nothing below a deleted directory ever is. The tree must not change while
/// a walk is under way. It holds nothing, so it can be used from any thread that owns the tree.
#ifndef VESK_TREEWALKER_H
#define VESK_TREEWALKER_H

#include <functional>

namespace vesk {

class DirectoryNode;
class TreeNode;

class TreeWalker {
 public:
  /// Answers true to go below `node` (ignored for files).
  using Visitor = std::function<bool(TreeNode& node, unsigned depth)>;

  /// Walks everything below `start`; with `withDeleted` the deleted children of live
  /// directories are visited too.
  static void walk(DirectoryNode& start, const Visitor& visit, bool withDeleted = false);
  /// Visits every live entry below `start`, going below every directory.
  static void walkAll(DirectoryNode& start, const std::function<void(TreeNode& node)>& visit);

 private:
  static void walkBelow(DirectoryNode& directory, unsigned depth, const Visitor& visit,
                        bool withDeleted);
};

}  // namespace vesk

#endif  // VESK_TREEWALKER_H
