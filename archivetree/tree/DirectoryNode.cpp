#include "DirectoryNode.h"

#include <algorithm>
#include <memory>
#include <typeinfo>
#include <vector>

#include "ArchiveTreeStrings.h"
#include "BinStream.h"
#include "ChildIndex.h"
#include "ConCommittedFiles.h"
#include "ConFileString.h"
#include "ConOffsetFix.h"
#include "ConstStrings.h"
#include "FileNode.h"
#include "MessageIds.h"
#include "ProgressMeter.h"
#include "UncommittedArchiveNode.h"
#include "UncommittedFileNode.h"
#include "VeskException.h"

namespace vesk {

DirectoryNode::DirectoryNode() : description_(STR_NULL) {}

DirectoryNode::DirectoryNode(DirectoryNode* parent) : TreeNode(parent), description_(STR_NULL) {}

DirectoryNode::DirectoryNode(FileString const& name, DirectoryNode* parent)
    : TreeNode(name, parent), description_(STR_NULL) {}

DirectoryNode::DirectoryNode(DirectoryNode const& source)
    : TreeNode(source), std::list<SmartPointer<TreeNode>>(), description_(source.description_) {}

DirectoryNode::~DirectoryNode() = default;

DirectoryNode& DirectoryNode::operator=(DirectoryNode const& /*source*/) {
  return *this;
}

TreeNode* DirectoryNode::clone(DirectoryNode* parent) const {
  if (deleted()) {
    return nullptr;
  }
  std::unique_ptr<DirectoryNode> copy(new DirectoryNode(parent));  // freed if copying throws
  copy->clone(*this);
  return copy.release();
}

void DirectoryNode::clone(DirectoryNode const& source) {
  TreeNode::clone(source);
  description_ = source.description_;
  for (const SmartPointer<TreeNode>& child : source) {
    if (TreeNode* copy = child->clone(this)) {
      push_back(SmartPointer<TreeNode>(copy));
    }
  }
}

bool DirectoryNode::operator==(DirectoryNode const& other) const {
  return typeid(*this) == typeid(other) && TreeNode::operator==(other);
}

TreeNode::NodeType DirectoryNode::nodeType() const {
  return DIRECTORY_NODE;
}

DirectoryNode* DirectoryNode::directory() {
  return this;
}

unsigned int DirectoryNode::objectSize() const {
  return deleted() ? 0 : TreeNode::objectSize() + description_.storedSize() + 4;
}

unsigned int DirectoryNode::treeSize(bool withChildren) const {
  unsigned int total = objectSize();
  if (withChildren && !deleted()) {
    for (const SmartPointer<TreeNode>& child : *this) {
      total += 4 + child->objectSize();
    }
  }
  return total;
}

BinStream& DirectoryNode::output(BinStream& stream) const {
  TreeNode::output(stream);
  writeUnsigned(stream, deleted() ? 0 : static_cast<std::uint32_t>(size()));
  description_.output(stream);
  if (!deleted()) {
    for (const SmartPointer<TreeNode>& child : *this) {
      writeUnsigned(stream, static_cast<std::uint32_t>(child->nodeType()));
      child->output(stream);
    }
  }
  return stream;
}

BinStream& DirectoryNode::input(BinStream& stream) {
  inputAtDepth(stream, 0);
  return stream;
}

void DirectoryNode::inputAtDepth(BinStream& stream, unsigned depth) {
  TreeNode::input(stream);
  const std::uint32_t count = readUnsigned(stream);
  description_.input(stream);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t tag = readUnsigned(stream);
    TreeNode* child = newChild(tag, depth);
    push_back(SmartPointer<TreeNode>(child));
    if (DirectoryNode* directory = child->directory()) {
      directory->inputAtDepth(stream, depth + 1);
    } else {
      child->input(stream);
    }
  }
}

// A new child for the type tag, built with this directory as parent.
TreeNode* DirectoryNode::newChild(std::uint32_t tag, unsigned depth) {
  switch (tag) {
    case DIRECTORY_NODE:
      if (depth >= kMaximumStoredDepth) {
        throw VeskException(archiveTreeStrings(kMsgTreeNestedTooDeeply));
      }
      return new DirectoryNode(this);
    case FILE_NODE:
      return new FileNode(this);
    case UNCOMMITTED_FILE_NODE:
      return new UncommittedFileNode(this);
    case UNCOMMITTED_ARCHIVE_NODE:
      return new UncommittedArchiveNode(this);
    default:
      throw VeskException(archiveTreeStrings(kMsgInvalidNodeType));
  }
}

// Where `node` belongs: the first element, in its own group, that is live and does not order
// before it (or the end of the group). A deleted element never stops the scan.
DirectoryNode::iterator DirectoryNode::placeFor(TreeNode& node) {
  const bool isDirectory = node.directory() != nullptr;
  iterator at = begin();
  if (!isDirectory) {
    while (at != end() && (*at)->directory() != nullptr) {
      ++at;
    }
  }
  while (at != end() && ((*at)->directory() != nullptr) == isDirectory &&
         ((*at)->deleted() || (*at)->name() < node.name())) {
    ++at;
  }
  return at;
}

TreeNode* DirectoryNode::add(TreeNode* node) {
  const SmartPointer<TreeNode> handle(node);
  if (ChildIndex* indexed = index()) {
    return addIndexed(*indexed, handle);
  }
  for (;;) {
    const iterator at = placeFor(*node);
    if (at == end() || !((*at)->name() == node->name())) {
      insert(at, handle);
      return node;
    }
    FileString next = node->name();
    next.increment();
    node->name_ = next;
  }
}

// The walk of add() over a list in order stops at the first live child of the group that
// does not order before the name, or at the group's end: the first file for a directory, the
// list's end for a file.
TreeNode* DirectoryNode::addIndexed(ChildIndex& indexed, SmartPointer<TreeNode> const& handle) {
  TreeNode* node = handle.get();
  const ChildIndex::Group group = ChildIndex::groupOf(*node);
  for (;;) {
    const ChildIndex::Place place = indexed.placeOf(group, node->name());
    const iterator* live = indexed.at(group, place);
    const iterator at = live != nullptr                     ? *live
                        : group == ChildIndex::kDirectories ? indexed.firstFile()
                                                            : end();
    if (at == end() || !((*at)->name() == node->name())) {
      indexed.inserted(group, place, List::insert(at, handle), at);
      return node;
    }
    FileString next = node->name();
    next.increment();
    node->name_ = next;
  }
}

DirectoryNode* DirectoryNode::addDirectory(FileString const& name) {
  return static_cast<DirectoryNode*>(add(new DirectoryNode(name, this)));
}

FileNode* DirectoryNode::addFile(FileString const& name) {
  return static_cast<FileNode*>(add(new FileNode(name, this)));
}

UncommittedFileNode* DirectoryNode::addUncommittedFile(FileString const& path,
                                                       unsigned int const& fileSize,
                                                       TimeDate const& creationTime,
                                                       unsigned int const& thumbSize) {
  const FileString source = diskDriveAccessor_.driveFileNameToVolumeFileName(path, "||");
  return static_cast<UncommittedFileNode*>(
      add(new UncommittedFileNode(source, this, fileSize, creationTime, thumbSize)));
}

UncommittedArchiveNode* DirectoryNode::addUncommittedArchiveFile(FileString const& name,
                                                                 unsigned int fileSize,
                                                                 std::int64_t offset,
                                                                 FileString const& archive,
                                                                 TimeDate const& creationTime) {
  const FileString source = diskDriveAccessor_.driveFileNameToVolumeFileName(archive, "||");
  return static_cast<UncommittedArchiveNode*>(
      add(new UncommittedArchiveNode(name, this, fileSize, offset, source, creationTime)));
}

void DirectoryNode::addTree(FileString const& path) {
  DirectoryNode* at = this;
  unsigned position = 0;
  unsigned length = 0;
  while (path.token(STR_ANY_SLASH, position, length)) {
    const FileString component(path.view().substr(position, length));
    DirectoryNode* next = at->findDirectory(component);
    at = next ? next : at->addDirectory(component);
    position += length;
  }
}

void DirectoryNode::markDeleted() {
  edited();
  for (const SmartPointer<TreeNode>& child : *this) {
    child->markDeleted();
  }
  deleted(true);
}

void DirectoryNode::remove(TreeNode* node) {
  if (indexedChild(node)) {
    node->markDeleted();
    return;
  }
  for (const SmartPointer<TreeNode>& child : *this) {
    if (child.get() == node) {
      node->markDeleted();
      return;
    }
  }
  throw VeskException(archiveTreeStrings(kMsgCannotRemoveNode));
}

// Whether the index holds `node`, which makes it a live child; deleted children are not
// indexed and are looked for in the list.
bool DirectoryNode::indexedChild(TreeNode* node) const {
  ChildIndex* indexed = node != nullptr && !node->deleted() ? index() : nullptr;
  return indexed != nullptr && indexed->holds(*node);
}

DirectoryNode* DirectoryNode::root() const {
  const DirectoryNode* top = this;
  while (top->parent() != nullptr) {
    top = top->parent();
  }
  return const_cast<DirectoryNode*>(top);
}

DirectoryNode* DirectoryNode::findDirectory(FileString const& name) const {
  if (ChildIndex* indexed = index()) {
    const iterator* at = indexed->firstNotBefore(ChildIndex::kDirectories, name);
    return at != nullptr && (**at)->name() == name ? (**at)->directory() : nullptr;
  }
  for (const SmartPointer<TreeNode>& child : *this) {
    if (child->name() == name && child->directory() != nullptr && !child->deleted()) {
      return child->directory();
    }
  }
  return nullptr;
}

FileNode* DirectoryNode::findFile(FileString const& name) const {
  if (ChildIndex* indexed = index()) {
    const iterator* at = indexed->firstNotBefore(ChildIndex::kFiles, name);
    return at != nullptr && (**at)->name() == name ? (**at)->file() : nullptr;
  }
  for (const SmartPointer<TreeNode>& child : *this) {
    if (child->name() == name && child->file() != nullptr && !child->deleted()) {
      return child->file();
    }
  }
  return nullptr;
}

// In a list in order at most one live directory and one live file carry a name, the
// directory first.
TreeNode* DirectoryNode::findChild(FileString const& name, TreeNode const* after) const {
  if (index() == nullptr) {
    return scanFor(name, after);
  }
  TreeNode* directory = findDirectory(name);
  TreeNode* file = findFile(name);
  if (after == nullptr) {
    return directory != nullptr ? directory : file;
  }
  if (after == directory) {
    return file;
  }
  return after == file ? nullptr : scanFor(name, after);
}

TreeNode* DirectoryNode::scanFor(FileString const& name, TreeNode const* after) const {
  const_iterator at = begin();
  if (after != nullptr) {
    at = std::find_if(at, end(), [&](const SmartPointer<TreeNode>& c) { return c.get() == after; });
    if (at == end()) {
      return nullptr;
    }
    ++at;
  }
  for (; at != end(); ++at) {
    if (!(*at)->deleted() && (*at)->name() == name) {
      return at->get();
    }
  }
  return nullptr;
}

void DirectoryNode::edited() noexcept {
  index_.reset();
  unorderedAt_ = 0;
}

ChildIndex* DirectoryNode::index() const {
  const std::size_t count = size();
  if (count < kIndexedFrom) {
    return nullptr;
  }
  if (ChildIndex* indexed = currentIndex()) {
    return indexed;
  }
  if (unorderedAt_ == count) {
    return nullptr;
  }
  index_ = ChildIndex::build(const_cast<DirectoryNode&>(*this));
  unorderedAt_ = index_ ? 0 : count;
  return index_.get();
}

// Only a child the index holds orders by its name; a node not yet in the list, or a deleted
// one, may take any name.
// The index as built, when it still describes the list; never builds one.
ChildIndex* DirectoryNode::currentIndex() const noexcept {
  return index_ && index_->listSize() == size() ? index_.get() : nullptr;
}

void DirectoryNode::childRenaming(TreeNode& child) noexcept {
  ChildIndex* indexed = currentIndex();
  if (indexed != nullptr && !child.deleted() && indexed->holds(child)) {
    edited();
  }
}

void DirectoryNode::childDeleted(TreeNode& child) noexcept {
  if (ChildIndex* indexed = currentIndex()) {
    indexed->markedDeleted(ChildIndex::groupOf(child), child);
  }
}

// What the counting and total members answer, gathered in one walk.
struct DirectoryNode::Tally {
  unsigned int files = 0;
  unsigned int uncommittedFiles = 0;
  unsigned int directories = 0;
  std::uint64_t fileSize = 0;
  std::uint64_t uncommittedFileSize = 0;
};

void DirectoryNode::tally(bool recursive, Tally& counts) const {
  for (const SmartPointer<TreeNode>& child : *this) {
    if (child->deleted()) {
      continue;
    }
    if (DirectoryNode* directory = child->directory()) {
      ++counts.directories;
      if (recursive) {
        directory->tally(true, counts);
      }
    } else if (FileNode* file = child->file()) {
      ++counts.files;
      counts.fileSize += std::uint64_t{file->fileSize()} + file->thumbSize();
      if (child->uncommittedFile() != nullptr) {
        ++counts.uncommittedFiles;
        counts.uncommittedFileSize += file->fileSize();
      }
    }
  }
}

unsigned int DirectoryNode::numberOfItems(bool recursive) const {
  Tally counts;
  tally(recursive, counts);
  return counts.files + counts.directories;
}

unsigned int DirectoryNode::numberOfFiles(bool recursive) const {
  Tally counts;
  tally(recursive, counts);
  return counts.files;
}

unsigned int DirectoryNode::numberOfUncommittedFiles(bool recursive) const {
  Tally counts;
  tally(recursive, counts);
  return counts.uncommittedFiles;
}

unsigned int DirectoryNode::numberOfCommittedFiles(bool recursive) const {
  Tally counts;
  tally(recursive, counts);
  return counts.files - counts.uncommittedFiles;
}

unsigned int DirectoryNode::numberOfDirectories(bool recursive) const {
  Tally counts;
  tally(recursive, counts);
  return counts.directories;
}

std::uint64_t DirectoryNode::totalFileSize(bool recursive) const {
  Tally counts;
  tally(recursive, counts);
  return counts.fileSize;
}

std::uint64_t DirectoryNode::totalUncommittedFileSize(bool recursive) const {
  Tally counts;
  tally(recursive, counts);
  return counts.uncommittedFileSize;
}

void DirectoryNode::sort() {}

void DirectoryNode::recursiveSort() {
  for (const SmartPointer<TreeNode>& child : *this) {
    if (DirectoryNode* directory = child->directory()) {
      directory->recursiveSort();
    }
  }
  sort();
}

unsigned int DirectoryNode::commit(BinStream& archive, ConCommittedFiles& committed,
                                   ProgressMeter& meter, std::uint32_t archiveCount) {
  unsigned int total = 0;
  for (iterator at = begin(); at != end(); ++at) {
    if (meter.cancelled()) {
      return total;
    }
    TreeNode& child = **at;
    if (child.deleted()) {
      continue;
    }
    if (DirectoryNode* directory = child.directory()) {
      total += directory->commit(archive, committed, meter, archiveCount);
    } else if (FileNode* file = child.file()) {
      file->archiveCount(archiveCount);
      const unsigned int stored = child.commit(archive, committed, meter);
      total += stored;
      if (UncommittedNode* pending = child.uncommittedFile()) {
        if (stored != 0) {
          replaceCommitted(at, *pending, committed);
        } else {
          pending->markDeleted();
        }
      }
    }
  }
  return total;
}

// Puts a committed copy of `pending` in its place and records it; `pending` dies with its
// last handle.
void DirectoryNode::replaceCommitted(iterator at, UncommittedNode& pending,
                                     ConCommittedFiles& committed) {
  const SmartPointer<TreeNode> replacement(new FileNode(static_cast<FileNode const&>(pending)));
  committed.push_back(CommittedFiles(replacement->file(), sourceName(pending)));
  *at = replacement;
}

// The name under which the data of `pending` was found: the source path of a disk file; for
// an archive slice the other archive's volume name up to its marker, followed by the node's
// path in this tree.
FileString DirectoryNode::sourceName(UncommittedNode& pending) {
  if (pending.nodeType() != UNCOMMITTED_ARCHIVE_NODE) {
    return pending.uncommittedPathName();
  }
  const auto& slice = static_cast<UncommittedArchiveNode const&>(pending);
  FileString name = diskDriveAccessor_.driveFileNameToVolumeFileName(slice.archive(), "||");
  const std::size_t marker = name.view().find_first_of(STR_GTLT);
  if (marker != std::string_view::npos) {
    name.resize(marker + 1);
    name.append(pending.pathName());
  }
  return name;
}

unsigned int DirectoryNode::commit(BinStream& archive, ConCommittedFiles& committed,
                                   ConFileString& removed, ProgressMeter& meter,
                                   std::uint32_t archiveCount) {
  cleanup(archive, removed);
  return commit(archive, committed, meter, archiveCount);
}

// Cleanup
//
// The archive stream holds data blocks back to back from 0. Cleanup keeps these invariants:
//  1. A block is removed only when its node is a committed file that is deleted, has data
//     (fileSize > 0) and a position (offsetPrefix >= 0), and no live committed file points
//     into the block.
//  2. Each byte that stays moves down once, front to back, by the total length of the
//     removed blocks in front of it; nothing in front of the first removed block moves.
//  3. Every committed file whose block moved gets the new position of its prefix.
// The steps: collect (walk), sort and merge the removed blocks into disjoint gaps, move
// each kept region behind a gap down with one shiftBlock, cut the stream, fix positions.

namespace {

constexpr unsigned kMovePiece = 65536;

// Whether one of the ascending positions `live` lies in [start, start + length).
bool blockInUse(std::vector<std::int64_t> const& live, std::int64_t start, std::int64_t length) {
  const auto at = std::lower_bound(live.begin(), live.end(), start);
  return at != live.end() && *at - start < length;
}

// Joins records that touch or overlap into one, so the gaps are disjoint and ascending.
void mergeTouching(ConOffsetFix& moves) {
  auto current = moves.begin();
  for (auto next = current + 1; next != moves.end(); ++next) {
    const std::int64_t end = current->oldOffset() + current->blockSize();
    if (next->oldOffset() <= end) {
      current->blockSize(std::max(end, next->oldOffset() + next->blockSize()) -
                         current->oldOffset());
    } else {
      *++current = *next;
    }
  }
  moves.erase(current + 1, moves.end());
}

// Moves the region behind each gap down to where the kept bytes end; each record then
// describes the region it moved.
void moveKeptRegions(BinStream& archive, ConOffsetFix& moves) {
  const std::int64_t streamEnd = archive.size();
  std::int64_t newPosition = moves.front().oldOffset();
  for (std::size_t k = 0; k < moves.size(); ++k) {
    const std::int64_t from = moves[k].oldOffset() + moves[k].blockSize();
    const std::int64_t until = k + 1 < moves.size() ? moves[k + 1].oldOffset() : streamEnd;
    const std::int64_t length = std::max<std::int64_t>(0, until - from);
    archive.shiftBlock(from, newPosition, length, kMovePiece);
    moves[k].oldOffset(from);
    moves[k].newOffset(newPosition);
    moves[k].blockSize(length);
    newPosition += length;
  }
}

}  // namespace

struct DirectoryNode::RemovalPlan {
  std::vector<FileNode*> released;       // deleted committed files with data, in walk order
  std::vector<std::int64_t> liveBlocks;  // block positions of live committed files
};

void DirectoryNode::cleanup(BinStream& archive, ConFileString& removed) {
  RemovalPlan plan;
  cleanup(plan, false);
  std::sort(plan.liveBlocks.begin(), plan.liveBlocks.end());
  ConOffsetFix moves;
  for (FileNode* file : plan.released) {
    const std::int64_t length = std::int64_t{file->fileSize()} + 8;
    file->fileSize(0);
    if (!blockInUse(plan.liveBlocks, file->offsetPrefix(), length)) {
      moves.emplace_back(file->offsetPrefix(), length);
      removed.push_back(file->pathName());
    }
  }
  if (moves.empty()) {
    return;
  }
  std::sort(moves.begin(), moves.end());
  mergeTouching(moves);
  moveKeptRegions(archive, moves);
  archive.setEOF();
  fixTree(moves);
}

void DirectoryNode::cleanup(RemovalPlan& plan, bool parentDeleted) {
  for (const SmartPointer<TreeNode>& child : *this) {
    if (parentDeleted) {
      child->deleted(true);
    }
    if (DirectoryNode* directory = child->directory()) {
      directory->cleanup(plan, directory->deleted());
      continue;
    }
    FileNode* file = child->file();
    if (file == nullptr || child->uncommittedFile() != nullptr || file->offsetPrefix() < 0) {
      continue;
    }
    if (!file->deleted()) {
      plan.liveBlocks.push_back(file->offsetPrefix());
    } else if (file->fileSize() > 0) {
      plan.released.push_back(file);
    }
  }
}

void DirectoryNode::fixTree(ConOffsetFix const& moves) {
  for (const SmartPointer<TreeNode>& child : *this) {
    if (DirectoryNode* directory = child->directory()) {
      directory->fixTree(moves);
      continue;
    }
    FileNode* file = child->file();
    if (file == nullptr || child->uncommittedFile() != nullptr) {
      continue;
    }
    // The regions ascend and do not overlap: only the last one starting at or before the
    // position can hold it.
    const std::int64_t position = file->offsetPrefix();
    auto region = std::upper_bound(
        moves.begin(), moves.end(), position,
        [](std::int64_t at, OffsetFix const& move) { return at < move.oldOffset(); });
    if (region != moves.begin() && position < (--region)->oldOffset() + region->blockSize()) {
      file->offsetPrefix(position + region->newOffset() - region->oldOffset());
    }
  }
}

bool DirectoryNode::verifyCommitted(BinStream& archive) const {
  const auto total = static_cast<std::uint64_t>(archive.size());
  std::uint64_t position = 0;
  archive.seekg(0);
  while (position < total) {
    const std::uint64_t length = readUnsigned64(archive);
    if (length == 0 || length > total - position - 8) {
      return false;
    }
    position += length + 8;
    archive.seekg(static_cast<std::int64_t>(position));
    if (archive.fail()) {
      return false;
    }
  }
  return true;
}

char const* DirectoryNode::version() {
  return "DirectoryNode 1.0, 16.08.1999";
}

}  // namespace vesk
