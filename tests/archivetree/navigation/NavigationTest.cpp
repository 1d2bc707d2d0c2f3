// Stepping through one directory's children, looking directories and files up by path,
// wildcard search among the children of one directory, and the one walk over a whole tree
// (order, depth, where it goes below, deleted entries).
// Covers: TreeNodeIterator, TreeSearcher, TreeWalker.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "TreeNodeIterator.h"
#include "TreeSearcher.h"
#include "TreeTestSupport.h"
#include "TreeWalker.h"

namespace vesk {
namespace {

using Nodes = std::vector<TreeNode*>;
// The answer of `first`, then those of `next` up to the first null.
Nodes walk(const std::function<TreeNode*()>& first, const std::function<TreeNode*()>& next) {
  Nodes seen;
  for (TreeNode* node = first(); node != nullptr; node = next()) {
    seen.push_back(node);
  }
  return seen;
}

// The answers of the iterator `it` from one family's first (or last) step onwards.
#define STEPS(first, next) walk([&] { return it.first(); }, [&] { return it.next(); })

using test::addFile;

// The live directory A, the deleted directory B, the live files c and d, in this order.
class TreeNodeIteratorTest : public ::testing::Test {
 protected:
  TreeNodeIteratorTest()
      : a(top.addDirectory("A")),
        b(top.addDirectory("B")),
        c(addFile(top, "c")),
        d(addFile(top, "d")),
        it(&top) {
    b->markDeleted();
  }

  DirectoryNode top;
  DirectoryNode* a;
  DirectoryNode* b;
  FileNode* c;
  FileNode* d;
  TreeNodeIterator it;
};

// What each family answers is checked against the list by TreeNodeIteratorRandomTest.
TEST_F(TreeNodeIteratorTest, TheFamiliesShareOnePositionAndStepFromAGivenNode) {
  EXPECT_EQ(STEPS(firstDirectory, nextDirectory), (Nodes{a}));
  EXPECT_EQ(it.nextFile(), d);  // the directory steps stopped on c

  // Steps from a given node.
  DirectoryNode* e = top.addDirectory("e");  // A ~B e c d
  EXPECT_EQ(it.firstNode(), a);
  EXPECT_EQ(it.nextNode(nullptr), nullptr);
  EXPECT_EQ(it.nextNode(), e);  // a null node changed nothing

  DirectoryNode other;
  FileNode* stranger = addFile(other, "c");
  it.firstNode();
  it.lastNode();
  EXPECT_VESK_ERROR(it.nextNode(stranger), "Invalid node pointer");
  EXPECT_EQ(it.nextNode(), nullptr);
  EXPECT_EQ(it.previousNode(), c);  // the backward position was not touched
  EXPECT_VESK_ERROR(it.previousFile(stranger), "Invalid node pointer");
  EXPECT_EQ(it.previousNode(), nullptr);
  EXPECT_VESK_ERROR(it.nextDirectory(&top, &other), "Invalid node pointer");
}

TEST_F(TreeNodeIteratorTest, DirectionsDirectoriesAndEditsDoNotDisturbEachOther) {
  TreeNodeIterator twin(&top);
  EXPECT_EQ(it.firstNode(), a);
  EXPECT_FALSE(it == twin);
  twin = it;
  EXPECT_TRUE(it == twin);
  EXPECT_EQ(it.lastNode(), d);
  EXPECT_EQ(it.nextNode(), c);
  EXPECT_EQ(it.previousNode(), c);

  // Adding right behind either position, in front of the list, and marking leave both
  // positions on their nodes: 0 A ~B c c2 ~d.
  FileNode* c2 = addFile(top, "c2");
  DirectoryNode* zero = top.addDirectory("0");
  d->markDeleted();
  EXPECT_EQ(it.previousNode(), a);
  EXPECT_EQ(it.nextNode(), c2);
  EXPECT_EQ(it.previousNode(), zero);
  EXPECT_EQ(it.nextNode(), nullptr);

  // Another walked directory puts both positions at the ends of its list.
  addFile(*a, "x");
  it.firstNode();
  it.lastNode();
  it.directory(a);
  EXPECT_EQ(it.nextNode(), nullptr);
  EXPECT_EQ(it.previousNode(), nullptr);
  EXPECT_EQ(it.nextNode(&top, zero), a);
  it.directory(&top);  // the same directory keeps the positions
  EXPECT_EQ(it.nextNode(), c);
}

TEST(TreeNodeIteratorPathTest, PathsStartAtTheWalkedDirectoryAndFollowLiveDirectories) {
  DirectoryNode top("top", nullptr);
  DirectoryNode* a = top.addDirectory("a");
  DirectoryNode* b = a->addDirectory("b");
  FileNode* x = addFile(*a, "x");
  TreeNodeIterator it;
  EXPECT_EQ(it.findDirectory(&top, "top"), &top);
  EXPECT_EQ(it.findDirectory(&top, "\\TOP//A|\\/B/"), b);
  EXPECT_VESK_ERROR(it.findDirectory(&top, "a/b"), "Invalid directory name");
  EXPECT_VESK_ERROR(it.findDirectory(&top, "top\\a\\x"), "Invalid directory name");
  EXPECT_EQ(it.findFile(&top, "top||a//x/"), x);
  EXPECT_EQ(it.findFile(&top, "top/a/b"), nullptr);
  EXPECT_EQ(it.findFile(&top, "/top/"), nullptr);
  EXPECT_VESK_ERROR(it.findFile(&top, "top/a/y"), "Invalid directory name");
  EXPECT_VESK_ERROR(it.findDirectory(&top, ""), "Invalid path name");
  EXPECT_VESK_ERROR(it.findFile(&top, "/|\\"), "Invalid path name");

  // A lookup leaves the walked directory at the last one it reached, also when it throws.
  EXPECT_VESK_ERROR(it.findDirectory(&top, "top/a/nothing"), "Invalid directory name");
  EXPECT_EQ(it.firstNode(), b);
  EXPECT_EQ(it.findDirectory("a/b"), b);
  EXPECT_EQ(it.findFile(&top, "top/a/x"), x);
  EXPECT_EQ(it.lastNode(), x);

  // A live file is answered before a live directory of the same name; deleted ones are not.
  a->addDirectory("z");
  a->addDirectory("x");
  EXPECT_EQ(it.findFile(&top, "top/a/x"), x);
  x->markDeleted();
  EXPECT_EQ(it.findFile(&top, "top/a/x"), nullptr);
  b->markDeleted();
  EXPECT_VESK_ERROR(it.findDirectory(&top, "top/a/b"), "Invalid directory name");
}

// The children of a directory as plain vectors, the reference the steps are checked against.
struct Reference {
  explicit Reference(const DirectoryNode& directory) {
    for (const SmartPointer<TreeNode>& child : directory) {
      all.push_back(child.get());
      if (!child->deleted()) {
        live.push_back(child.get());
        (child->directory() != nullptr ? directories : files).push_back(child.get());
      }
    }
  }
  Nodes all, live, directories, files;
};

TEST(TreeNodeIteratorRandomTest, StepsAnswerTheLiveChildrenOfRandomDirectories) {
  std::mt19937 random(29);
  const char* pool[] = {"a", "B", "b", "c d", "?", "readme", "x.txt", "X.TXT"};
  for (int round = 0; round < 80; ++round) {
    DirectoryNode top("Top", nullptr);
    for (auto edit = round == 0 ? 0 : random() % 40; edit > 0; --edit) {  // the first is empty
      std::vector<DirectoryNode*> at{&top};                               // only top is edited
      test::editAtRandom(at, random, pool);
    }
    const Reference ref(top);
    TreeNodeIterator it(&top);
    ASSERT_EQ(STEPS(firstNode, nextNode), ref.live);
    ASSERT_EQ(STEPS(lastNode, previousNode), Nodes(ref.live.rbegin(), ref.live.rend()));
    ASSERT_EQ(STEPS(firstDirectory, nextDirectory), ref.directories);
    ASSERT_EQ(STEPS(lastDirectory, previousDirectory),
              Nodes(ref.directories.rbegin(), ref.directories.rend()));
    ASSERT_EQ(STEPS(firstFile, nextFile), ref.files);
    ASSERT_EQ(STEPS(lastFile, previousFile), Nodes(ref.files.rbegin(), ref.files.rend()));
    for (std::size_t i = 0; i < ref.directories.size(); ++i) {
      DirectoryNode* directory = ref.directories[i]->directory();
      EXPECT_EQ(TreeNodeIterator().findDirectory(&top, directory->pathName()), directory);
      EXPECT_EQ(TreeNodeIterator().nextDirectory(&top, directory),
                i + 1 < ref.directories.size() ? ref.directories[i + 1] : nullptr);
      EXPECT_EQ(TreeNodeIterator().previousDirectory(&top, directory),
                i > 0 ? ref.directories[i - 1] : nullptr);
    }
    for (std::size_t i = 0; i < ref.files.size(); ++i) {
      FileNode* file = ref.files[i]->file();
      EXPECT_EQ(TreeNodeIterator().nextFile(&top, file),
                i + 1 < ref.files.size() ? ref.files[i + 1] : nullptr);
      EXPECT_EQ(TreeNodeIterator().previousFile(&top, file), i > 0 ? ref.files[i - 1] : nullptr);
    }

    // Node steps both ways, plain or from any element, deleted ones included. The positions
    // index the list; the backward one stands on all[backward - 1], 0 being its end.
    it.root(&top);
    const std::size_t n = ref.all.size();
    std::size_t forward = n;
    std::size_t backward = 0;
    for (int step = 0; step < 200; ++step) {
      const bool fromNode = n > 0 && random() % 2 == 0;
      const std::size_t k = fromNode ? random() % n : 0;
      if (random() % 2 == 0) {
        TreeNode* answer = fromNode ? it.nextNode(ref.all[k]) : it.nextNode();
        forward = std::min(n, (fromNode ? k : forward) + 1);
        while (forward < n && ref.all[forward]->deleted()) {
          ++forward;
        }
        ASSERT_EQ(answer, forward < n ? ref.all[forward] : nullptr) << "step " << step;
      } else {
        TreeNode* answer = fromNode ? it.previousNode(ref.all[k]) : it.previousNode();
        backward = fromNode ? k : (backward > 0 ? backward - 1 : 0);
        while (backward > 0 && ref.all[backward - 1]->deleted()) {
          --backward;
        }
        ASSERT_EQ(answer, backward > 0 ? ref.all[backward - 1] : nullptr) << "step " << step;
      }
    }
  }
}

Nodes everyMatch(TreeSearcher& search) {
  return walk([&] { return search.first(); }, [&] { return search.next(); });
}

TEST(TreeSearcherTest, AnswersLiveChildrenInListOrderAndLooksThePathUpFirst) {
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
  EXPECT_EQ(search.next(), pic);

  TreeSearcher jpegs("\\top\\*.jp?", &top);
  EXPECT_EQ(everyMatch(jpegs), (Nodes{pic}));
  EXPECT_EQ(TreeSearcher("top/photos/*", &top).first(), inside);

  // Construction looks the path up before it refuses wildcards.
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
