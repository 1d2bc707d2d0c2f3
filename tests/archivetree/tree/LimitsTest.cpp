// Deep and wide trees and unusual names through every operation: adding, removing, looking
// up, cloning, writing, reading, committing, cleaning up, walking, searching and destroying.
// Covers: DirectoryNode, TreeNodeIterator, TreeSearcher.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <numeric>
#include <string>
#include <vector>

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

// Two names of three share a stem longer than the windows of the name index, so that equal
// windows must be told apart by the names themselves.
std::string wideName(int n, bool upper = false) {
  std::string name = (n % 3 == 0 ? "f" : "f-with-a-long-shared-stem-") + std::to_string(100000 + n);
  if (upper) {
    std::transform(name.begin(), name.end(), name.begin(), ::toupper);
  }
  return name;
}

// A million-entry directory is out of reach of a test; a wide one whose files are added in
// descending order (each new name sorts first), every name twice, then removed from the
// middle and looked up through paths and wildcards, must stay exact.
TEST(TreeLimitsTest, WideDirectories) {
  DirectoryNode root("top", nullptr);
  DirectoryNode* wide = root.addDirectory("wide");
  std::vector<std::array<FileNode*, 2>> named(50000);  // the file of each name, then its twin
  for (int i = 99999; i >= 0; --i) {
    named[i % 50000][i < 50000] = wide->add(new FileNode(wideName(i % 50000), wide))->file();
  }
  for (int i = 0; i < 50000; i += 7) {
    ASSERT_EQ(wide->findFile(wideName(i, true)), named[i][0]);
    wide->remove(named[i][0]);
  }
  TreeNodeIterator iterator(&root);
  for (int i = 0; i < 50000; ++i) {
    const std::string name = wideName(i);
    ASSERT_EQ(named[i][1]->name().str(), name + "(1)");
    EXPECT_EQ(wide->findFile(name + "(1)"), named[i][1]);
    if (i % 7 == 0) {
      EXPECT_THROW(iterator.findFile(&root, "top/wide/" + name), VeskException) << name;
    } else {
      EXPECT_EQ(iterator.findFile(&root, "top/wide/" + name), named[i][0]) << name;
    }
  }
  EXPECT_THROW(wide->remove(&root), VeskException);
  const unsigned live = 100000 - 7143;
  EXPECT_EQ(wide->numberOfFiles(false), live);

  TreeSearcher searcher("top/wide/F-WITH-A-LONG-SHARED-STEM-1199*", &root);
  unsigned found = 0;
  for (TreeNode* node = searcher.first(); node != nullptr; node = searcher.next()) {
    ++found;
  }
  unsigned expected = 0;  // the twins of 119900 to 119999 with the stem, and those not removed
  for (int i = 19900; i < 20000; ++i) {
    expected += i % 3 == 0 ? 0 : i % 7 == 0 ? 1 : 2;
  }
  EXPECT_EQ(found, expected);

  DirectoryNode back;
  roundTrip(root, back);
  EXPECT_EQ(back.numberOfItems(true), live + 1);
  std::unique_ptr<TreeNode> copy(back.clone(nullptr));
  EXPECT_EQ(copy->directory()->numberOfItems(true), live + 1);
}

}  // namespace
}  // namespace vesk
