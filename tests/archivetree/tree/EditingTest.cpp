// Adding, deleting, lookup, counts and totals of directories.
// Covers: DirectoryNode.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "TreeTestSupport.h"

namespace vesk {
namespace {

// Opens the protected addFile() to the tests.
class Directory : public DirectoryNode {
 public:
  using DirectoryNode::addFile;
};

// The names of the children in list order, deleted ones marked with '~'.
std::string names(const DirectoryNode& directory) {
  std::string text;
  for (const SmartPointer<TreeNode>& child : directory) {
    text += (text.empty() ? "" : " ") + std::string(child->deleted() ? "~" : "") +
            child->name().str() + (child->directory() ? "/" : "");
  }
  return text;
}

// Where add() puts a child and how a clashing name advances, ChildIndexTest checks after
// every change against its own walk of the list, deleted children included; the test below
// pins a directory that meets a file of its name too.
TEST(DirectoryEditingTest, AddTreeReusesAndExtendsChainsAndRemoveMarksSubtrees) {
  Directory root;
  root.addTree("a/b\\c");
  root.addTree("\\a//b/d/");
  root.addTree("");
  root.addTree("/\\/");
  ASSERT_EQ(names(root), "a/");
  DirectoryNode* a = root.findDirectory("a");
  DirectoryNode* b = a->findDirectory("b");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(names(*b), "c/ d/");
  EXPECT_EQ(root.findDirectory("a/b"), nullptr);  // a name, not a path
  EXPECT_EQ(b->root(), &root);

  // Only a child can be removed; that marks its subtree and keeps it in the list.
  EXPECT_VESK_ERROR(root.remove(b), "Cannot remove node");
  EXPECT_VESK_ERROR(root.remove(nullptr), "Cannot remove node");
  EXPECT_FALSE(b->deleted());
  root.remove(a);
  root.remove(a);
  EXPECT_TRUE(a->deleted() && b->deleted() && b->front()->deleted());

  root.addTree("A/e");
  EXPECT_EQ(names(root), "~a/ A/");
  EXPECT_EQ(names(*root.findDirectory("a")), "e/");

  root.addFile("f");
  root.addTree("f/g");  // a directory meeting the file f gets another name
  EXPECT_EQ(names(root), "~a/ A/ f(1)/ f");
}

TEST(DirectoryQueryTest, CountsAndTotalsPassOverDeletedNodes) {
  Directory root;
  root.addFile("deleted")->deleted(true);
  root.addUncommittedFile("/tmp/p", 10, TimeDate(), 4);
  root.add(new FileNode("c", &root, 100, TimeDate(), 20));
  DirectoryNode* sub = root.addDirectory("sub");
  sub->add(new FileNode("1", sub, 0xFFFFFFFF, TimeDate(), 0xFFFFFFFF));
  sub->add(new UncommittedFileNode("/x/2", sub, 0xFFFFFFFF, TimeDate()));
  EXPECT_EQ(root.totalFileSize(false), 134u);
  EXPECT_EQ(root.totalUncommittedFileSize(false), 10u);
  EXPECT_EQ(root.numberOfItems(false), 3u);
  EXPECT_EQ(root.numberOfItems(true), 5u);
  EXPECT_EQ(root.totalFileSize(true), 134u + 3 * std::uint64_t{0xFFFFFFFF});
  EXPECT_EQ(root.totalUncommittedFileSize(true), 10u + std::uint64_t{0xFFFFFFFF});

  sub->deleted(true);  // its children keep their marks but no longer count
  EXPECT_EQ(root.numberOfItems(true), 2u);
  EXPECT_EQ(root.totalFileSize(true), 134u);
}

// Checks the child order and the count identities at every directory of a subtree.
void checkSubtree(const DirectoryNode& directory) {
  bool seenFile = false;
  const TreeNode* lastLive[2] = {nullptr, nullptr};
  for (const SmartPointer<TreeNode>& child : directory) {
    const bool isFile = child->directory() == nullptr;
    ASSERT_FALSE(seenFile && !isFile) << "a directory after a file: " << names(directory);
    seenFile = seenFile || isFile;
    if (!child->deleted()) {
      const TreeNode*& last = lastLive[isFile];
      ASSERT_TRUE(last == nullptr || last->name() < child->name()) << names(directory);
      last = child.get();
    }
    if (DirectoryNode* sub = child->directory()) {
      checkSubtree(*sub);
    }
  }
  for (bool recursive : {false, true}) {
    ASSERT_EQ(directory.numberOfItems(recursive),
              directory.numberOfFiles(recursive) + directory.numberOfDirectories(recursive));
    ASSERT_EQ(directory.numberOfFiles(recursive), directory.numberOfUncommittedFiles(recursive) +
                                                      directory.numberOfCommittedFiles(recursive));
  }
}

TEST(DirectoryEditingTest, RandomEditsKeepTheOrderAndTheCounts) {
  std::mt19937 random(17);
  Directory root;
  std::vector<DirectoryNode*> directories{&root};
  const char* pool[] = {"a", "B", "b", "c(1)", "C", "readme", "Readme.txt", "\xE9t\xE9", "_", ""};
  for (int step = 0; step < 3000; ++step) {
    test::editAtRandom(directories, random, pool);
    ASSERT_NO_FATAL_FAILURE(checkSubtree(root)) << "at step " << step;
  }
  EXPECT_GT(root.numberOfItems(true), 100u);
}

}  // namespace
}  // namespace vesk
