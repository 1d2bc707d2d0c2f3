// ChildIndex: the live children of one directory in name order, kept beside its child list
// so that adding and looking up a name take logarithmic time instead of a walk of the list.
// It holds list positions, not nodes: one ascending sequence for the child directories and
// one for the files, and where the files begin in the list.
//
// It describes only a list in the order DirectoryNode::add() keeps (every directory before
// every file, and in each group the live children in strictly ascending name order, deleted
// ones anywhere in their group); build() refuses any other list. In such a list the walk of
// add() stops at the first live child of the group that does not order before the new name,
// or at the end of the group (the first file, or the list's end), which is what
// firstNotBefore() and firstFile() answer.
//
// The index is owned by its directory, which keeps it in step with the list: the directory
// tells it of every child it inserts and of every live child that becomes deleted, and drops
// it on any other change. It never owns or frees a node.
#ifndef VESK_CHILDINDEX_H
#define VESK_CHILDINDEX_H

#include <cstddef>
#include <list>
#include <memory>

#include "FileString.h"
#include "NameSequence.h"
#include "SmartPointer.h"

namespace vesk {

class TreeNode;

class ChildIndex {
 public:
  using List = std::list<SmartPointer<TreeNode>>;
  using Position = List::iterator;
  enum Group { kDirectories, kFiles };

  // The index of `list`, or null when the list is not in the order add() keeps.
  static std::unique_ptr<ChildIndex> build(List& list);

  static Group groupOf(TreeNode& node);

  using Place = NameSequence::Place;
  // The place in `group` of the first live child whose name does not order before `name`.
  Place placeOf(Group group, FileString const& name) const;
  // The child at that place, or null when every child orders before the name.
  const Position* at(Group group, Place place) const;
  const Position* firstNotBefore(Group group, FileString const& name) const {
    return at(group, placeOf(group, name));
  }
  // The first file of the list, deleted or not, or the list's end: where the directories end.
  Position firstFile() const noexcept { return firstFile_; }
  // The live child `at` was inserted into the list in front of `before`, at its place in the
  // order, which placeOf() answered for its name.
  void inserted(Group group, Place place, Position at, Position before);
  // Whether `node` is one of the live children the index holds.
  bool holds(TreeNode& node) const;
  // The live child `node` of `group` was marked deleted.
  void markedDeleted(Group group, TreeNode const& node);

  // The list size the index describes: a list of another size has changed behind its back.
  std::size_t listSize() const noexcept { return listSize_; }
  // Heap bytes the index takes.
  std::size_t bytes() const noexcept;

 private:
  ChildIndex(Position firstFile, std::size_t listSize)
      : firstFile_(firstFile), listSize_(listSize) {}

  NameSequence groups_[2];
  Position firstFile_;
  std::size_t listSize_;
};

}  // namespace vesk

#endif  // VESK_CHILDINDEX_H
