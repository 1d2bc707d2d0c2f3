/// \class vesk::DirectoryNode DirectoryNode.h <vesk/DirectoryNode.h>
/// DirectoryNode: a node that holds other nodes. It is at once a node and the list of its
/// children: each element of the list is a handle that holds one reference to a child, and
/// the child's parent pointer points back here. A directory owns its subtree; destroying it
/// destroys every node below it. A directory is never copied with its children by its copy
/// constructor or assignment; clone() copies a subtree. Deleted children stay in the list
/// until cleanup.
///
/// A directory of many children keeps a name index beside its list (ChildIndex), so that
/// add() and the lookups cost logarithmic time; it answers exactly as the walks of the list
/// would. The directory keeps the index in step with every change it makes itself, with the
/// list members called on it (insert, erase, push_back, splice and the others), with changes
/// of its children's names and deleted marks, and with the list's size. An element replaced
/// through an iterator by a node of the same name and deleted mark needs nothing more; after
/// any other change made through the list's iterators or through a reference to the list
/// base, call childrenChanged(). The index is built on first use and dropped on such changes;
/// it is not thread-safe, as the tree is used from one thread at a time.
#ifndef VESK_DIRECTORYNODE_H
#define VESK_DIRECTORYNODE_H

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <utility>

#include "DiskDriveAccessor.h"
#include "SmartPointer.h"
#include "TreeNode.h"

namespace vesk {

class ChildIndex;
class ConCommittedFiles;
class ConFileString;
class ConOffsetFix;
class FileNode;
class ProgressMeter;
class UncommittedArchiveNode;
class UncommittedFileNode;
class UncommittedNode;

class DirectoryNode : public TreeNode, public std::list<SmartPointer<TreeNode>> {
 public:
  /// Stored trees deeper than this many directory levels below the directory read into are
  /// refused.
  static constexpr unsigned kMaximumStoredDepth = 4096;
  /// Directories of fewer children are walked; larger ones get a name index.
  static constexpr std::size_t kIndexedFrom = 32;

  /// The child list, the base class.
  using List = std::list<SmartPointer<TreeNode>>;

  DirectoryNode();
  DirectoryNode(FileString const& name, DirectoryNode* parent);
  /// A detached shell: name, parent, marks and description, a fresh time stamp, no children.
  DirectoryNode(DirectoryNode const& source);
  ~DirectoryNode() override;
  /// Changes nothing: directories are copied by clone() only.
  DirectoryNode& operator=(DirectoryNode const& source);

  /// A deep copy under `parent` without deleted nodes, or null when this one is deleted.
  TreeNode* clone(DirectoryNode* parent) const override;
  /// Copies the base fields and the description of `source` and appends copies of its live
  /// children behind this directory's own.
  void clone(DirectoryNode const& source);
  /// Same class and equal base fields; description and children are not compared.
  bool operator==(DirectoryNode const& other) const;

  FileString const& description() const noexcept { return description_; }
  FileString const& description(FileString const& text) { return description_ = text; }
  DiskDriveAccessor& diskDriveAccessor() noexcept { return diskDriveAccessor_; }

  NodeType nodeType() const override;
  DirectoryNode* directory() override;
  unsigned int objectSize() const override;
  /// Writes this directory's record followed by its children's entries (none when this
  /// directory is deleted).
  BinStream& output(BinStream& stream) const override;
  /// Reads a directory record, appending the stored children behind the present ones.
  /// Throws VeskException on a failed read, an unknown type tag ("Invalid node type") or a
  /// tree nested too deeply; the children read so far stay.
  BinStream& input(BinStream& stream) override;
  /// objectSize(), plus 4 + objectSize() of every child when `withChildren` and live.
  virtual unsigned int treeSize(bool withChildren) const;

  // Editing. Every directory keeps its children in one order: directories before files, and
  // in each group the live children in ascending name order (names compare ignoring case).

  /// Puts `node`, newly built with this directory as parent and held by no handle, into its
  /// place in the order and answers it. A name that equals the one at that place is advanced
  /// with FileString::increment() until it does not. The directory owns the node from then
  /// on, even when this throws.
  TreeNode* add(TreeNode* node);
  DirectoryNode* addDirectory(FileString const& name);
  /// A pending file whose data comes from the file at `path`, kept in volume form.
  UncommittedFileNode* addUncommittedFile(FileString const& path, unsigned int const& fileSize,
                                          TimeDate const& creationTime,
                                          unsigned int const& thumbSize);
  /// A pending slice of another archive: fileSize bytes at `offset` of the archive file
  /// `archive` (kept in volume form); `name` is the file's path inside that archive.
  UncommittedArchiveNode* addUncommittedArchiveFile(FileString const& name, unsigned int fileSize,
                                                    std::int64_t offset, FileString const& archive,
                                                    TimeDate const& creationTime);
  /// Creates the chain of directories that `path` names below this directory, reusing the
  /// live ones that exist; separators are '/' and '\'.
  void addTree(FileString const& path);
  /// Marks the subtree deleted, children first, then this directory.
  void markDeleted() override;
  /// Marks the direct child `node` deleted; throws VeskException "Cannot remove node" when
  /// `node` is not one of the children.
  void remove(TreeNode* node);

  // The list's own editing members, called on the directory, do what the list's do and
  // drop the directory's name index.
  /// std::list::insert(); drops the name index.
  template <class... A>
  decltype(auto) insert(A&&... a) {
    return edited(), List::insert(std::forward<A>(a)...);
  }
  /// std::list::emplace(); drops the name index.
  template <class... A>
  decltype(auto) emplace(A&&... a) {
    return edited(), List::emplace(std::forward<A>(a)...);
  }
  /// std::list::erase(); drops the name index.
  template <class... A>
  decltype(auto) erase(A&&... a) {
    return edited(), List::erase(std::forward<A>(a)...);
  }
  /// std::list::push_back(); drops the name index.
  template <class... A>
  decltype(auto) push_back(A&&... a) {
    return edited(), List::push_back(std::forward<A>(a)...);
  }
  /// std::list::push_front(); drops the name index.
  template <class... A>
  decltype(auto) push_front(A&&... a) {
    return edited(), List::push_front(std::forward<A>(a)...);
  }
  /// std::list::emplace_back(); drops the name index.
  template <class... A>
  decltype(auto) emplace_back(A&&... a) {
    return edited(), List::emplace_back(std::forward<A>(a)...);
  }
  /// std::list::emplace_front(); drops the name index.
  template <class... A>
  decltype(auto) emplace_front(A&&... a) {
    return edited(), List::emplace_front(std::forward<A>(a)...);
  }
  /// std::list::pop_back(); drops the name index.
  void pop_back() { edited(), List::pop_back(); }
  /// std::list::pop_front(); drops the name index.
  void pop_front() { edited(), List::pop_front(); }
  /// std::list::clear(); drops the name index.
  void clear() noexcept { edited(), List::clear(); }
  /// std::list::resize(); drops the name index.
  template <class... A>
  decltype(auto) resize(A&&... a) {
    return edited(), List::resize(std::forward<A>(a)...);
  }
  /// std::list::assign(); drops the name index.
  template <class... A>
  decltype(auto) assign(A&&... a) {
    return edited(), List::assign(std::forward<A>(a)...);
  }
  /// std::list::splice(); drops the name index.
  template <class... A>
  decltype(auto) splice(A&&... a) {
    return edited(), List::splice(std::forward<A>(a)...);
  }
  /// std::list::remove_if(); drops the name index.
  template <class... A>
  decltype(auto) remove_if(A&&... a) {
    return edited(), List::remove_if(std::forward<A>(a)...);
  }
  /// std::list::unique(); drops the name index.
  template <class... A>
  decltype(auto) unique(A&&... a) {
    return edited(), List::unique(std::forward<A>(a)...);
  }
  /// std::list::merge(); drops the name index.
  template <class... A>
  decltype(auto) merge(A&&... a) {
    return edited(), List::merge(std::forward<A>(a)...);
  }
  /// std::list::reverse(); drops the name index.
  void reverse() noexcept { edited(), List::reverse(); }
  /// std::list::swap(); drops the name index.
  void swap(List& other) noexcept { edited(), List::swap(other); }
  /// Tells the directory that its list changed through the list's iterators or through a
  /// reference to the list base: its name index is dropped and built anew when next needed.
  void childrenChanged() noexcept { edited(); }

  // Queries. Deleted nodes, and everything below a deleted directory, are passed over.

  /// The directory at the top of this directory's tree.
  DirectoryNode* root() const;
  /// The live child directory or file named `name`, or null.
  DirectoryNode* findDirectory(FileString const& name) const;
  FileNode* findFile(FileString const& name) const;
  /// The first live child named `name`, of either kind, behind `after` in list order (from
  /// the first child when `after` is null), or null.
  TreeNode* findChild(FileString const& name, TreeNode const* after) const;
  /// Counts of the children, or with `recursive` of the whole subtree below.
  unsigned int numberOfItems(bool recursive) const;
  unsigned int numberOfFiles(bool recursive) const;
  unsigned int numberOfUncommittedFiles(bool recursive) const;
  unsigned int numberOfCommittedFiles(bool recursive) const;
  unsigned int numberOfDirectories(bool recursive) const;
  /// fileSize + thumbSize of every file.
  std::uint64_t totalFileSize(bool recursive) const;
  /// fileSize of every pending file.
  std::uint64_t totalUncommittedFileSize(bool recursive) const;
  /// The order of children is the one add() keeps: both leave every list as it is.
  void sort();
  void recursiveSort();

  /// Commit. Appends the data of every live pending file below this directory to the end of
  /// `archive`, depth-first in list order, and answers how many files it stored. Every live
  /// file node reached takes `archiveCount`. A stored pending node is replaced in its list by
  /// a committed FileNode (so pointers to it die) and recorded at the end of `committed`; one
  /// whose data cannot be had is marked deleted. `meter` hears of every file and is asked
  /// before every child whether to stop. An exception leaves what was stored before it
  /// committed and recorded, the failing node and the rest pending.
  using TreeNode::commit;
  unsigned int commit(BinStream& archive, ConCommittedFiles& committed, ProgressMeter& meter,
                      std::uint32_t archiveCount);
  /// cleanup(archive, removed), then the commit above; a failing cleanup commits nothing.
  unsigned int commit(BinStream& archive, ConCommittedFiles& committed, ConFileString& removed,
                      ProgressMeter& meter, std::uint32_t archiveCount);

  /// Cleanup. Cuts the data blocks of deleted committed files below this directory out of
  /// `archive`, moves the bytes behind them down, ends the stream behind the last byte kept,
  /// and rewrites the block positions of the committed files that moved. Everything below a
  /// deleted directory is marked deleted; a released file's fileSize becomes 0 and its tree
  /// path is appended to `removed`. A block that a live node still points at (a node and its
  /// clone share one) is kept. The stream's errors pass out, leaving the stream partly
  /// compacted and the positions not yet rewritten; write the tree out after a cleanup.
  void cleanup(BinStream& archive, ConFileString& removed);
  /// Whether `archive` is an unbroken chain of data blocks with non-zero lengths that ends
  /// exactly at the stream's end; reads the stream only. Throws the stream's read errors.
  bool verifyCommitted(BinStream& archive) const;

  static char const* version();

 protected:
  explicit DirectoryNode(DirectoryNode* parent);

  /// A committed file node with its default fields.
  FileNode* addFile(FileString const& name);

 private:
  friend class TreeNode;
  struct Tally;
  // Drops the name index.
  void edited() noexcept;
  // The name index of the list as it is now, or null for a small list or one out of order.
  ChildIndex* index() const;
  ChildIndex* currentIndex() const noexcept;
  TreeNode* addIndexed(ChildIndex& index, SmartPointer<TreeNode> const& handle);
  TreeNode* scanFor(FileString const& name, TreeNode const* after) const;
  bool indexedChild(TreeNode* node) const;
  // Children tell their directory when they become deleted or change otherwise.
  void childDeleted(TreeNode& child) noexcept;
  void childRenaming(TreeNode& child) noexcept;

  void tally(bool recursive, Tally& counts) const;
  iterator placeFor(TreeNode& node);
  void replaceCommitted(iterator at, UncommittedNode& pending, ConCommittedFiles& committed);
  struct RemovalPlan;
  // The collecting walk of cleanup: marks children of a deleted directory deleted and notes
  // the blocks of deleted committed files and the positions of live ones.
  void cleanup(RemovalPlan& plan, bool parentDeleted);
  // Moves the positions of committed files that lie in a moved region.
  void fixTree(ConOffsetFix const& moves);
  FileString sourceName(UncommittedNode& pending);

  void inputAtDepth(BinStream& stream, unsigned depth);
  TreeNode* newChild(std::uint32_t tag, unsigned depth);

  FileString description_;
  DiskDriveAccessor diskDriveAccessor_;
  mutable std::unique_ptr<ChildIndex> index_;
  // The list's size when it was last found out of order, so that it is not looked at again
  // until it changes.
  mutable std::size_t unorderedAt_ = 0;
};

}  // namespace vesk

#endif  // VESK_DIRECTORYNODE_H
