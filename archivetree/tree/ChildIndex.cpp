#include "ChildIndex.h"

#include <algorithm>

#include "FileString.h"
#include "TreeNode.h"

namespace vesk {

namespace {

bool ordersBefore(ChildIndex::Position position, FileString const& name) {
  return (*position)->name() < name;
}

}  // namespace

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

const ChildIndex::Position* ChildIndex::firstNotBefore(Group group, FileString const& name) const {
  const Sequence& sequence = groups_[group];
  return sequence.at(sequence.find(name));
}

void ChildIndex::inserted(Group group, Position at, Position before) {
  Sequence& sequence = groups_[group];
  sequence.insert(sequence.find((*at)->name()), at);
  if (group == kFiles && before == firstFile_) {
    firstFile_ = at;
  }
  ++listSize_;
}

void ChildIndex::markedDeleted(Group group, TreeNode const& node) {
  Sequence& sequence = groups_[group];
  const Sequence::Place place = sequence.find(node.name());
  const Position* found = sequence.at(place);
  if (found != nullptr && (*found)->get() == &node) {
    sequence.erase(place);
  }
}

std::size_t ChildIndex::bytes() const noexcept {
  return sizeof(*this) + groups_[kDirectories].bytes() + groups_[kFiles].bytes();
}

// The sequence

ChildIndex::Sequence::Place ChildIndex::Sequence::find(FileString const& name) const {
  const auto block = std::partition_point(
      blocks_.begin(), blocks_.end(),
      [&](const std::vector<Position>& b) { return ordersBefore(b.back(), name); });
  if (block == blocks_.end()) {
    return {blocks_.size(), 0};
  }
  const auto entry = std::partition_point(block->begin(), block->end(),
                                          [&](Position p) { return ordersBefore(p, name); });
  return {static_cast<std::size_t>(block - blocks_.begin()),
          static_cast<std::size_t>(entry - block->begin())};
}

const ChildIndex::Position* ChildIndex::Sequence::at(Place place) const {
  return place.block < blocks_.size() ? &blocks_[place.block][place.offset] : nullptr;
}

void ChildIndex::Sequence::append(Position position) {
  if (blocks_.empty() || blocks_.back().size() == kBlock) {
    blocks_.emplace_back().reserve(kBlock);
  }
  blocks_.back().push_back(position);
}

// A full block is split in halves, except at the very end, where a new block is begun so that
// names added in ascending order fill their blocks.
void ChildIndex::Sequence::insert(Place place, Position position) {
  if (place.block == blocks_.size()) {
    append(position);
    return;
  }
  std::vector<Position>* block = &blocks_[place.block];
  if (block->size() == kBlock) {
    std::vector<Position> upper;
    upper.reserve(kBlock);
    upper.assign(block->begin() + kBlock / 2, block->end());
    block->resize(kBlock / 2);
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(place.block) + 1,
                   std::move(upper));
    block = &blocks_[place.block];
    if (place.offset > kBlock / 2) {
      place.offset -= kBlock / 2;
      block = &blocks_[place.block + 1];
    }
  }
  block->insert(block->begin() + static_cast<std::ptrdiff_t>(place.offset), position);
}

void ChildIndex::Sequence::erase(Place place) {
  std::vector<Position>& block = blocks_[place.block];
  block.erase(block.begin() + static_cast<std::ptrdiff_t>(place.offset));
  if (block.empty()) {
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(place.block));
  }
}

std::size_t ChildIndex::Sequence::bytes() const noexcept {
  std::size_t total = blocks_.capacity() * sizeof(std::vector<Position>);
  for (const std::vector<Position>& block : blocks_) {
    total += block.capacity() * sizeof(Position);
  }
  return total;
}

}  // namespace vesk
