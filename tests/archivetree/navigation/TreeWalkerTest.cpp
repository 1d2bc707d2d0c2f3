// The one walk over a whole tree: order, depth, where it goes below, deleted entries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DirectoryNode.h"
#include "TreeTestSupport.h"
#include "TreeWalker.h"

namespace vesk {
namespace {

using test::addFile;

TEST(TreeWalkerTest, VisitsLiveEntriesDepthFirstInTreeOrderAndGoesBelowWhereTold) {
  DirectoryNode top("top", nullptr);
  DirectoryNode* a = top.addDirectory("a");
  addFile(*a->addDirectory("deep"), "x");
  addFile(*a, "f");
  DirectoryNode* gone = top.addDirectory("gone");
  addFile(*gone, "hidden");
  addFile(top, "z");
  top.remove(gone);

  std::vector<std::string> seen;
  const auto record = [&seen](TreeNode& node, unsigned depth) {
    seen.push_back(std::to_string(depth) + node.name().str());
    return node.name().str() != "deep";
  };
  TreeWalker::walk(top, record);
  EXPECT_EQ(seen, (std::vector<std::string>{"1a", "2deep", "2f", "1z"}));
  seen.clear();
  TreeWalker::walk(top, record, true);  // the deleted folder, but nothing below it
  EXPECT_EQ(seen, (std::vector<std::string>{"1a", "2deep", "2f", "1gone", "1z"}));
  unsigned all = 0;
  TreeWalker::walkAll(top, [&all](TreeNode& /*node*/) { ++all; });
  EXPECT_EQ(all, 5u);
}

}  // namespace
}  // namespace vesk
