// Tests of the parts of vesk-archive that stand on their own: the chain walk, the names the
// extractor accepts, the progress line and tree paths.
#include <string>

#include "BlockChain.h"
#include "CommitProgress.h"
#include "DirectoryNode.h"
#include "Extractor.h"
#include "MemoryStream.h"
#include "TestSupport.h"
#include "TreePath.h"

namespace vesk::test {
namespace {

using Kind = WasteRegion::Kind;

TEST(BlockChainTest, WalksBlocksOfAnyLengthAndSortsOutWaste) {
  // live "ab", unused empty block, live empty block, unused "xyz", torn prefix.
  MemoryStream stream(block("ab") + block("") + block("") + block("xyz") + prefix(9).substr(0, 5));
  const BlockChain chain(stream, {0, 18});
  ASSERT_EQ(chain.blocks().size(), 4u);
  EXPECT_TRUE(chain.blocks()[0].live);
  EXPECT_FALSE(chain.blocks()[1].live);
  EXPECT_TRUE(chain.blocks()[2].live);
  EXPECT_EQ(chain.blocks()[3].length, 3u);
  ASSERT_EQ(chain.waste().size(), 3u);
  EXPECT_EQ(chain.waste()[0].position, 10);
  EXPECT_EQ(chain.waste()[0].kind, Kind::unusedBlock);
  EXPECT_EQ(chain.waste()[2].position, 37);
  EXPECT_EQ(chain.waste()[2].bytes, 5);
  EXPECT_EQ(chain.waste()[2].kind, Kind::tornTail);
  EXPECT_EQ(chain.blockAt(18)->length, 0u);
  EXPECT_EQ(chain.blockAt(19), nullptr);
}

TEST(BlockChainTest, APrefixThatRunsOverALiveBlockIsStrayAndTheWalkGoesOnThere) {
  MemoryStream stream(block("a") + prefix(500) + block("bc") + prefix(1 << 20) + "zz");
  const BlockChain chain(stream, {0, 17});
  ASSERT_EQ(chain.blocks().size(), 2u);
  EXPECT_EQ(chain.blocks()[1].position, 17);
  ASSERT_EQ(chain.waste().size(), 2u);
  EXPECT_EQ(chain.waste()[0].kind, Kind::strayBytes);
  EXPECT_EQ(chain.waste()[0].bytes, 8);
  EXPECT_EQ(chain.waste()[1].kind, Kind::tornTail);
  EXPECT_EQ(chain.waste()[1].bytes, 10);
}

TEST(ExtractorTest, AcceptsOnlyNamesThatStayOneComponent) {
  for (const char* name : {"a.txt", ".hidden", "..x", "x..", "a b", "..."}) {
    EXPECT_TRUE(Extractor::safeName(name)) << name;
  }
  for (const std::string& name :
       {std::string(""), std::string("."), std::string(".."), std::string("a/b"),
        std::string("/etc"), std::string("a\\b"), std::string("a\0b", 3)}) {
    EXPECT_FALSE(Extractor::safeName(name)) << name;
  }
}

TEST(CommitProgressTest, TheBarTellsFilesBytesAndTheCurrentFile) {
  std::ostringstream out;
  CommitProgress progress(out, true, 120);
  progress.begin(4, 4096);
  progress.file("docs/a.txt", 2048);
  progress.fileDone(true);
  progress.file("docs/b.txt", 1024);
  const std::string line = progress.barLine(120);
  EXPECT_EQ(line.rfind("[##########----------] 50% 1/4 files 2.0 KiB/4.0 KiB ", 0), 0u) << line;
  EXPECT_NE(line.find("docs/b.txt"), std::string::npos);
  EXPECT_EQ(progress.barLine(30).size(), 29u);
}

TEST(TreePathTest, ResolvesAndNamesEntriesBelowTheRoot) {
  DirectoryNode root(TreePath::kRootName, nullptr);
  DirectoryNode* docs = root.addDirectory("docs");
  DirectoryNode* deep = docs->addDirectory("deep");
  EXPECT_EQ(TreePath::resolve(root, ""), &root);
  EXPECT_EQ(TreePath::resolve(root, "./"), &root);
  EXPECT_EQ(TreePath::resolve(root, "/DOCS/deep/"), deep);
  EXPECT_EQ(TreePath::resolve(root, "docs\\deep"), deep);
  EXPECT_EQ(TreePath::resolve(root, "docs/none"), nullptr);
  EXPECT_EQ(TreePath::of(*deep), "docs/deep");
  EXPECT_EQ(TreePath::of(root), "/");
  root.remove(docs);
  EXPECT_EQ(TreePath::resolve(root, "docs"), nullptr);
}

}  // namespace
}  // namespace vesk::test
