/// \class vesk::TreeNode TreeNode.h <vesk/TreeNode.h>
/// TreeNode: the abstract base of every node of an archive tree. A node has a name (one path
/// component), a plain pointer to the directory whose child list holds it (null for a root),
/// a deleted mark, a time stamp and a read-only mark. A node in a tree is owned by the handle
/// in its parent's child list; a root is owned by whoever created it. Pointers to nodes stay
/// valid while the tree holds the node. A tree belongs to one thread at a time.
#ifndef VESK_TREENODE_H
#define VESK_TREENODE_H

#include <cstdint>

#include "FileString.h"
#include "TimeDate.h"

namespace vesk {

class BinStream;
class ConCommittedFiles;
class DirectoryNode;
class FileNode;
class ProgressMeter;
class UncommittedNode;

class TreeNode {
 public:
  /// The kinds of node; the values are the type tags of stored trees.
  enum NodeType {
    DIRECTORY_NODE = 1,
    FILE_NODE = 2,
    UNCOMMITTED_FILE_NODE = 3,
    UNCOMMITTED_ARCHIVE_NODE = 4,
  };

  TreeNode();
  TreeNode(FileString const& name, DirectoryNode* parent);
  explicit TreeNode(DirectoryNode* parent);
  /// Copies name, parent and marks; the time stamp is fresh.
  TreeNode(TreeNode const& source);
  /// Copies everything, the parent pointer and the time stamp included.
  TreeNode& operator=(TreeNode const& source);

  virtual ~TreeNode();
  /// A copy of this node under `parent` (deep for directories), or null for a deleted node.
  virtual TreeNode* clone(DirectoryNode* parent) const = 0;
  /// Stores pending data; a node without pending data commits nothing and answers 0.
  virtual unsigned int commit(BinStream& archive, ConCommittedFiles& committed,
                              ProgressMeter& meter);
  /// Kind queries: this node seen as that class, or null.
  virtual DirectoryNode* directory();
  virtual FileNode* file();
  /// Reads this node's record, replacing its fields; throws VeskException on failure.
  virtual BinStream& input(BinStream& stream);
  virtual void markDeleted();
  virtual NodeType nodeType() const = 0;
  /// Appends this node's record; throws VeskException on failure.
  virtual BinStream& output(BinStream& stream) const;
  virtual UncommittedNode* uncommittedFile();
  /// Bytes of this node's own record as output() writes it; 0 for a deleted node.
  virtual unsigned int objectSize() const;

  /// Copies name, marks and time stamp; keeps this node's parent.
  void clone(TreeNode const& source);
  /// Same dynamic class, name (ignoring case), parent pointer, marks and time stamp.
  bool operator==(TreeNode const& other) const;

  FileString const& name() const noexcept { return name_; }
  void name(FileString const& name);
  DirectoryNode* parent() const noexcept { return parent_; }
  bool deleted() const noexcept { return deleted_; }
  bool deleted(bool value) noexcept;
  TimeDate const& timeStamp() const noexcept { return timeStamp_; }
  bool readOnly() const noexcept { return readOnly_; }
  bool readOnly(bool value) noexcept { return readOnly_ = value; }

  /// The names from the root down to this node, joined by backslashes.
  FileString pathName() const;

  static char const* version();

 protected:
  void parent(DirectoryNode* parent) noexcept { parent_ = parent; }

  /// Raw little-endian record fields; each write or read is followed by the stream's error
  /// check.
  static void writeBool(BinStream& stream, bool value);
  static void writeUnsigned(BinStream& stream, std::uint32_t value);
  static void writeSigned64(BinStream& stream, std::int64_t value);
  static void writeUnsigned64(BinStream& stream, std::uint64_t value);
  static bool readBool(BinStream& stream);
  static std::uint32_t readUnsigned(BinStream& stream);
  static std::int64_t readSigned64(BinStream& stream);
  static std::uint64_t readUnsigned64(BinStream& stream);

 private:
  friend class DirectoryNode;
  // The directory that holds this node hears of changes to its name or deleted mark.
  void tellParent() noexcept;

  // The two marks last, so that a derived class's fields can use the padding behind them.
  FileString name_;
  DirectoryNode* parent_;
  TimeDate timeStamp_;
  bool deleted_;
  bool readOnly_;
};

}  // namespace vesk

#endif  // VESK_TREENODE_H
