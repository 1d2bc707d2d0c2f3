// Copying, cloning and equality of the node classes.
// Covers: TreeNode, DirectoryNode, FileNode, UncommittedNode,
// UncommittedFileNode, UncommittedArchiveNode.
#include <gtest/gtest.h>

#include <memory>

#include "TreeTestSupport.h"

namespace vesk {
namespace {

using test::adopt;

const TimeDate kPast = TimeDate::fromNanoseconds(123456789);

TEST(TreeNodeTest, CopiesClonesAndEqualityOfEveryClass) {
  DirectoryNode root;
  DirectoryNode other;
  FileNode source("f", &root);  // read-only, stamped and created at kPast, its block at 40
  test::Record record;
  record.base("f", false, 123456789, true).u32(1).u32(0).i64(40);
  MemoryStream stored(record.u32(1).i64(123456789).u32(0).bytes());
  source.input(stored);

  FileNode copied(source);  // everything but the time stamp, which is fresh
  EXPECT_EQ(copied.parent(), &root);
  EXPECT_TRUE(copied.readOnly());
  EXPECT_EQ(copied.offsetPrefix(), 40);
  EXPECT_FALSE(copied == source);
  copied = source;
  EXPECT_TRUE(copied == source);

  FileNode cloned("c", &other);
  cloned.clone(source);  // everything but the parent
  EXPECT_EQ(cloned.name().str(), "f");
  EXPECT_EQ(cloned.timeStamp(), kPast);
  EXPECT_FALSE(cloned == source);

  // Equality needs the same class, and compares the creation time of files too.
  UncommittedFileNode pending("f", &root, 1, kPast);
  pending.TreeNode::clone(source);
  EXPECT_FALSE(static_cast<TreeNode&>(source) == static_cast<TreeNode&>(pending));
  FileNode younger("f", &root, 1, TimeDate::fromNanoseconds(1));
  younger.TreeNode::clone(source);
  younger.offsetPrefix(40);
  EXPECT_FALSE(younger == source);

  UncommittedArchiveNode slice("in\\b", &root, 3, 0x200000000, "O>||/o.arc", kPast);
  UncommittedArchiveNode elsewhere("in\\b", &root, 3, 0x200000000, "O>||/p.arc", kPast);
  elsewhere.TreeNode::clone(slice);
  EXPECT_FALSE(elsewhere == slice);  // only the archive paths differ
  UncommittedArchiveNode assigned;
  assigned = elsewhere;
  EXPECT_TRUE(assigned == elsewhere);

  std::unique_ptr<TreeNode> sliceCopy(slice.clone(&root));
  EXPECT_TRUE(*static_cast<UncommittedArchiveNode*>(sliceCopy.get()) == slice);
  slice.deleted(true);
  EXPECT_EQ(slice.clone(&root), nullptr);

  // A directory's copy takes no children; its clone appends the live subtree.
  auto* sub = adopt(root, new DirectoryNode("sub", &root));
  sub->description("holiday");
  adopt(*sub, new FileNode("gone", sub))->deleted(true);
  adopt(*sub, new UncommittedFileNode("V>||/pending", sub, 1, kPast))->deleted(true);
  adopt(*sub, new FileNode("kept", sub, 7, kPast));
  adopt(*sub, new DirectoryNode("deep", sub));
  const DirectoryNode shell(*sub);
  EXPECT_EQ(shell.description().str(), "holiday");
  EXPECT_TRUE(shell.empty());
  adopt(root, new DirectoryNode("old", &root))->deleted(true);

  DirectoryNode target;
  adopt(target, new FileNode("first", &target));
  target.clone(root);
  ASSERT_EQ(target.size(), 2u);  // its own child, then the copy of sub
  DirectoryNode* copy = target.back()->directory();
  EXPECT_EQ(copy->parent(), &target);
  ASSERT_EQ(copy->size(), 2u);
  EXPECT_EQ(copy->front()->name().str(), "kept");
  EXPECT_EQ(copy->front()->parent(), copy);
  EXPECT_EQ(copy->back()->name().str(), "deep");
}

}  // namespace
}  // namespace vesk
