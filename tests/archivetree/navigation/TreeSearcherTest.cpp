// Wildcard search among the children of one directory.
#include <gtest/gtest.h>

#include <vector>

#include "DirectoryNode.h"
#include "FileNode.h"
#include "TestSupport.h"
#include "TreeSearcher.h"

namespace vesk {
namespace {

using Nodes = std::vector<TreeNode*>;

Nodes everyMatch(TreeSearcher& search) {
  Nodes found;
  for (TreeNode* node = search.first(); node != nullptr; node = search.next()) {
    found.push_back(node);
  }
  return found;
}

FileNode* addFile(DirectoryNode& directory, const char* name) {
  return directory.add(new FileNode(name, &directory))->file();
}

TEST(TreeSearcherTest, AnswersMatchingLiveChildrenInListOrderWithoutDescending) {
  DirectoryNode top("top", nullptr);
  DirectoryNode* photos = top.addDirectory("photos");
  top.addDirectory("pictures")->markDeleted();
  FileNode* inside = addFile(*photos, "p1.jpg");
  FileNode* plan = addFile(top, "plan.txt");
  FileNode* pic = addFile(top, "Pic.JPG");
  addFile(top, "readme");
  addFile(top, "pack.zip")->markDeleted();

  TreeSearcher search("top/p*", &top);
  EXPECT_EQ(search.next(), nullptr);
  EXPECT_EQ(everyMatch(search), (Nodes{photos, pic, plan}));
  EXPECT_EQ(search.next(), nullptr);
  EXPECT_EQ(search.first(), photos);
  EXPECT_EQ(search.first(), photos);
  EXPECT_EQ(search.next(), pic);

  TreeSearcher jpegs("\\top\\*.jp?", &top);
  EXPECT_EQ(everyMatch(jpegs), (Nodes{pic}));
  EXPECT_EQ(TreeSearcher("top/photos/*", &top).first(), inside);
  EXPECT_EQ(TreeSearcher("top/*.zip", &top).first(), nullptr);
}

TEST(TreeSearcherTest, ConstructionLooksThePathUpBeforeRefusingWildcards) {
  DirectoryNode top("top", nullptr);
  top.addDirectory("a?*");
  DirectoryNode* single = top.addDirectory("b?");
  addFile(*single, "x");
  EXPECT_VESK_ERROR(TreeSearcher("*.txt", &top), "Invalid path name");
  EXPECT_VESK_ERROR(TreeSearcher("/*.txt", &top), "Invalid path name");
  EXPECT_VESK_ERROR(TreeSearcher("other/*", &top), "Invalid directory name");
  EXPECT_VESK_ERROR(TreeSearcher("top/c?*/*", &top), "Invalid directory name");
  EXPECT_VESK_ERROR(TreeSearcher("top/a?*/*", &top), "Invalid search string");
  TreeSearcher passes("top/b?/*", &top);
  EXPECT_NE(passes.first(), nullptr);

  DirectoryNode anonymous;
  anonymous.addDirectory("a");
  EXPECT_VESK_ERROR(TreeSearcher("/*", &anonymous), "Invalid path name");
  EXPECT_VESK_ERROR(TreeSearcher("a/*", &anonymous), "Invalid directory name");
  EXPECT_VESK_ERROR(TreeSearcher("/a/*", &anonymous), "Invalid directory name");
}

}  // namespace
}  // namespace vesk
