// Construction, copying, equality and kinds of the node classes.
#include <gtest/gtest.h>

#include <memory>

#include "DirectoryNode.h"
#include "FileNode.h"
#include "TreeTestSupport.h"
#include "UncommittedArchiveNode.h"
#include "UncommittedFileNode.h"

namespace vesk {
namespace {

using test::adopt;
using test::setTimeStamp;

const TimeDate kPast = TimeDate::fromNanoseconds(123456789);

TEST(TreeNodeTest, PathNamesJoinAncestorsWithBackslashes) {
  DirectoryNode root;
  EXPECT_EQ(root.pathName().str(), "");
  auto* a = adopt(root, new DirectoryNode("a", &root));
  auto* b = adopt(*a, new FileNode("b", a));
  EXPECT_EQ(a->pathName().str(), "\\a");
  EXPECT_EQ(b->pathName().str(), "\\a\\b");
  root.name("C:");
  b->deleted(true);
  EXPECT_EQ(b->pathName().str(), "C:\\a\\b");
}

TEST(TreeNodeTest, CopyingRules) {
  DirectoryNode root;
  DirectoryNode other;
  FileNode source("f", &root, 1, kPast);
  setTimeStamp(source, kPast);
  source.readOnly(true);
  source.offsetPrefix(40);

  FileNode copied(source);  // everything but the time stamp, which is fresh
  EXPECT_EQ(copied.parent(), &root);
  EXPECT_TRUE(copied.readOnly());
  EXPECT_EQ(copied.offsetPrefix(), 40);
  EXPECT_NE(copied.timeStamp(), kPast);
  EXPECT_FALSE(copied == source);
  copied = source;
  EXPECT_TRUE(copied == source);
  copied = copied;
  EXPECT_TRUE(copied == source);

  FileNode cloned("c", &other);
  cloned.clone(source);  // everything but the parent
  EXPECT_EQ(cloned.parent(), &other);
  EXPECT_EQ(cloned.name().str(), "f");
  EXPECT_EQ(cloned.timeStamp(), kPast);
  EXPECT_FALSE(cloned == source);

  source.deleted(true);
  EXPECT_FALSE(source.deleted(false));
  EXPECT_FALSE(source.deleted());
}

TEST(TreeNodeTest, EqualityNeedsTheSameClass) {
  DirectoryNode root;
  FileNode file("a", &root, 3, kPast);
  UncommittedFileNode pending("a", &root, 3, kPast);
  EXPECT_FALSE(static_cast<TreeNode&>(file) == static_cast<TreeNode&>(pending));
  EXPECT_FALSE(static_cast<FileNode&>(pending) == file);
  DirectoryNode directory("a", &root);
  EXPECT_FALSE(static_cast<TreeNode&>(directory) == static_cast<TreeNode&>(file));
}

TEST(FileNodeTest, DefaultsAndOffsets) {
  FileNode node;
  EXPECT_EQ(node.fileSize(), 0u);
  EXPECT_EQ(node.thumbSize(), 0u);
  EXPECT_EQ(node.offsetPrefix(), -1);
  EXPECT_EQ(node.offset(), 7);
  EXPECT_EQ(node.compressedSize(), 0xFFFFFFFFu);
  EXPECT_EQ(node.archiveCount(), 0xFFFFFFFFu);
  EXPECT_EQ(node.creationTime(), node.timeStamp());
  EXPECT_TRUE(node.committed());
  EXPECT_EQ(node.file(), &node);
  EXPECT_EQ(node.directory(), nullptr);
  EXPECT_EQ(node.uncommittedFile(), nullptr);
  EXPECT_EQ(node.nodeType(), TreeNode::FILE_NODE);
  EXPECT_EQ(node.offsetPrefix((std::int64_t{1} << 32) - 4), (std::int64_t{1} << 32) - 4);
  EXPECT_EQ(node.offset(), (std::int64_t{1} << 32) + 4);
  EXPECT_EQ(node.archiveCount(9), 9u);

  FileNode sized("s", nullptr, 10, kPast, 4);
  EXPECT_EQ(sized.thumbSize(), 4u);
  FileNode other("s", nullptr, 10, TimeDate::fromNanoseconds(1), 4);
  other.TreeNode::clone(sized);
  EXPECT_FALSE(other == sized);  // only the creation times differ
}

TEST(FileNodeTest, CloneIntoADirectory) {
  DirectoryNode target;
  FileNode source("f", nullptr, 5, kPast, 1);
  source.offsetPrefix(16);
  std::unique_ptr<TreeNode> copy(source.clone(&target));
  auto* file = copy->file();
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->parent(), &target);
  EXPECT_EQ(file->offsetPrefix(), 16);
  EXPECT_EQ(file->timeStamp(), source.timeStamp());
  source.deleted(true);
  EXPECT_EQ(source.clone(&target), nullptr);
}

TEST(UncommittedNodeTest, PendingNodes) {
  DirectoryNode root;
  UncommittedFileNode disk("HOLIDAY>||/photos/a.jpg", &root, 10, kPast, 4);
  EXPECT_EQ(disk.name().str(), "a.jpg");
  EXPECT_EQ(disk.uncommittedPathName().str(), "HOLIDAY>||/photos/a.jpg");
  EXPECT_FALSE(disk.committed());
  EXPECT_EQ(disk.uncommittedFile(), &disk);
  EXPECT_EQ(disk.offset(), 0);
  EXPECT_EQ(static_cast<FileNode&>(disk).offset(), 7);
  EXPECT_EQ(disk.nodeType(), TreeNode::UNCOMMITTED_FILE_NODE);
  EXPECT_TRUE(FileNode(disk).committed());

  UncommittedArchiveNode slice("inner\\b.txt", &root, 3, std::int64_t{1} << 33, "OTHER>||/o.arc",
                               kPast);
  EXPECT_EQ(slice.name().str(), "b.txt");
  EXPECT_EQ(slice.offset(), std::int64_t{1} << 33);
  EXPECT_EQ(slice.thumbSize(), 0u);
  EXPECT_EQ(slice.nodeType(), TreeNode::UNCOMMITTED_ARCHIVE_NODE);

  UncommittedArchiveNode assigned;
  assigned = slice;
  EXPECT_TRUE(assigned == slice);
  UncommittedArchiveNode elsewhere("inner\\b.txt", &root, 3, std::int64_t{1} << 33,
                                   "OTHER>||/p.arc", kPast);
  elsewhere.TreeNode::clone(slice);
  EXPECT_FALSE(elsewhere == slice);  // only the archive paths differ

  std::unique_ptr<TreeNode> copy(slice.clone(&root));
  EXPECT_TRUE(*static_cast<UncommittedArchiveNode*>(copy.get()) == slice);
  slice.deleted(true);
  disk.deleted(true);
  EXPECT_EQ(slice.clone(&root), nullptr);
  EXPECT_EQ(disk.clone(&root), nullptr);
}

TEST(DirectoryNodeTest, CopyConstructionAndAssignmentNeverCopyChildren) {
  DirectoryNode root;
  auto* source = adopt(root, new DirectoryNode("src", &root));
  source->description("holiday");
  source->readOnly(true);
  adopt(*source, new FileNode("f", source));
  const DirectoryNode shell(*source);
  EXPECT_EQ(shell.name().str(), "src");
  EXPECT_EQ(shell.parent(), &root);
  EXPECT_TRUE(shell.readOnly());
  EXPECT_EQ(shell.description().str(), "holiday");
  EXPECT_TRUE(shell.empty());
  EXPECT_EQ(source->size(), 1u);

  DirectoryNode target("t", nullptr);
  target = *source;
  EXPECT_EQ(target.name().str(), "t");
  EXPECT_TRUE(target.empty());
  EXPECT_EQ(target.description().str(), "");
  EXPECT_EQ(target.description("x").str(), "x");
}

TEST(DirectoryNodeTest, CloneCopiesTheLiveSubtree) {
  DirectoryNode root;
  auto* sub = adopt(root, new DirectoryNode("sub", &root));
  adopt(*sub, new FileNode("gone", sub))->deleted(true);
  adopt(*sub, new FileNode("kept", sub, 7, kPast));
  adopt(*sub, new DirectoryNode("deep", sub));
  auto* deletedDirectory = adopt(root, new DirectoryNode("old", &root));
  deletedDirectory->deleted(true);
  EXPECT_EQ(deletedDirectory->clone(&root), nullptr);

  DirectoryNode target;
  adopt(target, new FileNode("first", &target));
  target.clone(root);
  ASSERT_EQ(target.size(), 2u);  // its own child, then the copy of sub
  auto* copy = target.back()->directory();
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->parent(), &target);
  ASSERT_EQ(copy->size(), 2u);
  EXPECT_EQ(copy->front()->name().str(), "kept");
  EXPECT_EQ(copy->front()->parent(), copy);
  EXPECT_EQ(copy->back()->name().str(), "deep");

  DirectoryNode twin("sub", &root);
  twin.TreeNode::clone(*sub);
  twin.description("other");
  EXPECT_TRUE(twin == *sub);  // children and descriptions are not compared
}

TEST(NodeVersionsTest, Texts) {
  EXPECT_STREQ(TreeNode::version(), "TreeNode 1.0, 16.08.1999");
  EXPECT_STREQ(DirectoryNode::version(), "DirectoryNode 1.0, 16.08.1999");
  EXPECT_STREQ(FileNode::version(), "FileNode 1.0, 16.08.1999");
  EXPECT_STREQ(UncommittedNode::version(), "UncommittedNode 1.0, 16.08.1999");
  EXPECT_STREQ(UncommittedFileNode::version(), "UncommittedFileNode 1.0, 16.08.1999");
  EXPECT_STREQ(UncommittedArchiveNode::version(), "UncommittedArchiveNode 1.0, 12.10.1999");
}

}  // namespace
}  // namespace vesk
