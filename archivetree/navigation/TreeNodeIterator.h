/// \class vesk::TreeNodeIterator TreeNodeIterator.h <vesk/TreeNodeIterator.h>
/// TreeNodeIterator: a cursor over the children of one directory at a time. It steps forwards
/// and backwards over any node, directories only or files only, passing over deleted nodes,
/// and never descends by itself: callers hand it the directory to walk or find one by path.
/// It owns nothing and holds raw pointers into the tree, so it must not outlive the tree; the
/// nodes it answers live as long as the tree holds them. Adding nodes to or marking nodes in
/// the walked list leaves it working; taking out the element a position stands on does not.
/// One thread at a time.
#ifndef VESK_TREENODEITERATOR_H
#define VESK_TREENODEITERATOR_H

#include "DirectoryNode.h"
#include "FileString.h"

namespace vesk {

class FileNode;
class TreeNode;

class TreeNodeIterator {
 public:
  /// Holds nothing; give it a directory before any step.
  TreeNodeIterator();
  /// Walks `root`; both positions stand at their ends.
  explicit TreeNodeIterator(DirectoryNode* root);
  /// Copies the root, the walked directory and both positions.
  TreeNodeIterator(TreeNodeIterator const& source) = default;
  /// \copydoc TreeNodeIterator(TreeNodeIterator const&)
  TreeNodeIterator& operator=(TreeNodeIterator const& source) = default;
  virtual ~TreeNodeIterator();

  /// Same dynamic class, root, walked directory and both positions.
  bool operator==(TreeNodeIterator const& other) const;

  /// As the constructor: root and walked directory, both positions at their ends.
  void root(DirectoryNode* root);
  /// Sets the walked directory; when it changes, both positions go to the ends of its list.
  void directory(DirectoryNode* walked);

  ///@{
  /// Steps. Each answers a live child of the walked directory, or null when there is none.
  /// A form that takes the current node first puts the position of its direction on that node
  /// (searching the list when it does not already stand there) and answers null at once for a
  /// null node; it throws VeskException "Invalid node pointer" when the node is not in the
  /// walked list, leaving that position at its end. A form with a directory in front walks
  /// that directory.
  ///
  /// Directories stand before files in every list, so walking forwards the directory steps
  /// answer null at the first file, and walking backwards the file steps answer null at the
  /// last directory.
  TreeNode* firstNode();
  TreeNode* firstNode(DirectoryNode* walked);
  TreeNode* lastNode();
  TreeNode* lastNode(DirectoryNode* walked);
  TreeNode* nextNode();
  TreeNode* nextNode(TreeNode* current);
  TreeNode* nextNode(DirectoryNode* walked, TreeNode* current);
  TreeNode* previousNode();
  TreeNode* previousNode(TreeNode* current);
  TreeNode* previousNode(DirectoryNode* walked, TreeNode* current);

  DirectoryNode* firstDirectory();
  DirectoryNode* firstDirectory(DirectoryNode* walked);
  DirectoryNode* lastDirectory();
  DirectoryNode* lastDirectory(DirectoryNode* walked);
  DirectoryNode* nextDirectory();
  DirectoryNode* nextDirectory(DirectoryNode* current);
  DirectoryNode* nextDirectory(DirectoryNode* walked, DirectoryNode* current);
  DirectoryNode* previousDirectory();
  DirectoryNode* previousDirectory(DirectoryNode* current);
  DirectoryNode* previousDirectory(DirectoryNode* walked, DirectoryNode* current);

  FileNode* firstFile();
  FileNode* firstFile(DirectoryNode* walked);
  FileNode* lastFile();
  FileNode* lastFile(DirectoryNode* walked);
  FileNode* nextFile();
  FileNode* nextFile(FileNode* current);
  FileNode* nextFile(DirectoryNode* walked, FileNode* current);
  FileNode* previousFile();
  FileNode* previousFile(FileNode* current);
  FileNode* previousFile(DirectoryNode* walked, FileNode* current);
  ///@}

  ///@{
  /// Path lookups. A path starts with the name of the walked directory; its components are
  /// separated by any of '/', '|' and '\\', and each further one names a live child directory.
  /// They throw VeskException "Invalid path name" for a path without components and "Invalid
  /// directory name" for a component that names nothing, and leave the walked directory at the
  /// last directory reached, also when they throw.
  DirectoryNode* findDirectory(FileString const& path);
  DirectoryNode* findDirectory(DirectoryNode* walked, FileString const& path);
  /// The live file that the last component names in the directory the others lead to; null
  /// when it names a live directory only.
  FileNode* findFile(FileString const& path);
  FileNode* findFile(DirectoryNode* walked, FileString const& path);
  ///@}

  /// The version text of the class.
  static char const* version();

 private:
  using Position = DirectoryNode::iterator;

  enum class Move { first, last, next, previous };

  // Every step: the raw move, then on in its direction past the nodes that the walk for
  // `Node` (TreeNode, DirectoryNode or FileNode) passes over; answers the node it stops on as
  // a `Node`, or null.
  template <class Node>
  Node* step(Move move);
  // The step `move` (next or previous) from `current`; null for a null `current`.
  template <class Node>
  Node* stepFrom(TreeNode* current, Move move);

  // Raw moves; each answers the node at the new position, or null at the end.
  TreeNode* first();
  TreeNode* last();
  TreeNode* next();
  TreeNode* previous();

  // Put the forward (check, find) or backward (rcheck, rfind) position on `node`.
  void check(TreeNode* node);
  void rcheck(TreeNode* node);
  void find(TreeNode* node);
  void rfind(TreeNode* node);

  TreeNode* findNode(DirectoryNode* start, FileString const& path);

  DirectoryNode* root_;
  // The forward steps stand on this element; the list's end means no current node.
  Position forward_;
  // The backward steps stand on this element; the list's end stands for the reverse end. A
  // reverse iterator is not used because the element it denotes shifts when a node is
  // inserted just behind it.
  Position backward_;
  DirectoryNode* directory_;
};

}  // namespace vesk

#endif  // VESK_TREENODEITERATOR_H
