// Deep and wide trees and unusual names through every operation: adding, cloning, writing,
// reading, committing, cleaning up, walking, searching and destroying.
// Covers: DirectoryNode, TreeNodeIterator, TreeSearcher.
#include <gtest/gtest.h>

#include <numeric>
#include <string>

#include "ConCommittedFiles.h"
#include "ConFileString.h"
#include "TestSupport.h"
#include "TreeNodeIterator.h"
#include "TreeSearcher.h"
#include "TreeTestSupport.h"

namespace vesk {
namespace {

using test::roundTrip;

TEST(TreeLimitsTest, DeepNestingLongNamesAndEveryByteValue) {
  test::TempDir folder;
  DirectoryNode root("top", nullptr);
  std::string chain;
  std::string path = "top";
  for (unsigned level = 0; level < DirectoryNode::kMaximumStoredDepth; ++level) {
    chain += "/d";
    path += "\\d";
  }
  root.addTree(chain);
  DirectoryNode* deepest = TreeNodeIterator(&root).findDirectory(path);
  ASSERT_NE(deepest, nullptr);
  std::string everyByte(255, '\0');
  std::iota(everyByte.begin(), everyByte.end(), '\1');
  // A pending file in the deepest directory, and in two directories of those names one each.
  const std::string names[] = {"leaf", std::string(65535, 'n'), everyByte};
  for (const std::string& name : names) {
    DirectoryNode* directory = name == "leaf" ? deepest : root.addDirectory(name);
    const std::string source = folder.file("data" + std::to_string(name.size()));
    test::writeFile(source, name);
    directory->addUncommittedFile(source, static_cast<unsigned>(name.size()), TimeDate(), 0)
        ->name(name);
  }
  EXPECT_EQ(root.numberOfItems(true), DirectoryNode::kMaximumStoredDepth + 5);

  std::unique_ptr<TreeNode> copy(root.clone(nullptr));
  DirectoryNode back;
  roundTrip(*copy->directory(), back);
  EXPECT_EQ(back.numberOfDirectories(true), DirectoryNode::kMaximumStoredDepth + 2);
  for (const std::string& name : {names[1], names[2]}) {
    ASSERT_NE(back.findDirectory(name), nullptr);
    EXPECT_NE(back.findDirectory(name)->findFile(name), nullptr);
  }
  TreeSearcher searcher(path + "\\le*", &root);
  EXPECT_NE(searcher.first(), nullptr);

  deepest->addDirectory("one too many");
  MemoryStream deeper;
  root.output(deeper);
  deeper.seekg(0);
  DirectoryNode refused;
  EXPECT_VESK_ERROR(refused.input(deeper), "Stored tree is nested too deeply");

  MemoryStream archive;  // committed, the whole tree deleted and cleaned up
  ConCommittedFiles records;
  test::Meter meter;
  EXPECT_EQ(root.commit(archive, records, meter, 1), 3u);
  root.markDeleted();
  ConFileString removed;
  root.cleanup(archive, removed);
  EXPECT_EQ(removed.size(), 3u);
  EXPECT_EQ(archive.size(), 0);
  root.recursiveSort();
}

TEST(TreeLimitsTest, WideDirectories) {
  DirectoryNode root("top", nullptr);
  DirectoryNode* wide = root.addDirectory("wide");
  for (int i = 99999; i >= 0; --i) {  // each new name sorts first: a short scan
    wide->add(new FileNode("f" + std::to_string(100000 + i), wide));
  }
  TreeSearcher searcher("top/wide/f1199*", &root);
  unsigned found = 0;
  for (TreeNode* node = searcher.first(); node != nullptr; node = searcher.next()) {
    ++found;
  }
  EXPECT_EQ(found, 100u);

  DirectoryNode back;
  roundTrip(root, back);
  EXPECT_EQ(back.numberOfItems(true), 100001u);
  std::unique_ptr<TreeNode> copy(back.clone(nullptr));
  EXPECT_EQ(copy->directory()->numberOfItems(true), 100001u);
}

}  // namespace
}  // namespace vesk
