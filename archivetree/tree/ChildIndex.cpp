#include "ChildIndex.h"

#include <algorithm>

#include "FileString.h"
#include "TreeNode.h"

namespace vesk {

ChildIndex::Group ChildIndex::groupOf(TreeNode& node) {
  return node.directory() != nullptr ? kDirectories : kFiles;
}

std::unique_ptr<ChildIndex> ChildIndex::build(List& list) {
  const Position firstFile =
      std::find_if(list.begin(), list.end(),
                   [](SmartPointer<TreeNode>& child) { return groupOf(*child) == kFiles; });
  std::unique_ptr<ChildIndex> index(new ChildIndex(firstFile, list.size()));
  const FileString* last[2] = {nullptr, nullptr};
  bool inFiles = false;
  for (Position at = list.begin(); at != list.end(); ++at) {
    TreeNode& child = **at;
    const Group group = groupOf(child);
    inFiles = inFiles || at == firstFile;
    if (group == kDirectories && inFiles) {
      return nullptr;
    }
    if (child.deleted()) {
      continue;
    }
    if (last[group] != nullptr && !(*last[group] < child.name())) {
      return nullptr;
    }
    last[group] = &child.name();
    index->groups_[group].append(at);
  }
  return index;
}

ChildIndex::Place ChildIndex::placeOf(Group group, FileString const& name) const {
  return groups_[group].find(name);
}

const ChildIndex::Position* ChildIndex::at(Group group, Place place) const {
  return groups_[group].at(place);
}

void ChildIndex::inserted(Group group, Place place, Position at, Position before) {
  groups_[group].insert(place, at);
  if (group == kFiles && before == firstFile_) {
    firstFile_ = at;
  }
  ++listSize_;
}

bool ChildIndex::holds(TreeNode& node) const {
  const Position* at = firstNotBefore(groupOf(node), node.name());
  return at != nullptr && (*at)->get() == &node;
}

void ChildIndex::markedDeleted(Group group, TreeNode const& node) {
  NameSequence& sequence = groups_[group];
  const NameSequence::Place place = sequence.find(node.name());
  const Position* found = sequence.at(place);
  if (found != nullptr && (*found)->get() == &node) {
    sequence.erase(place);
  }
}

std::size_t ChildIndex::bytes() const noexcept {
  return sizeof(*this) + groups_[kDirectories].bytes() + groups_[kFiles].bytes();
}

}  // namespace vesk
