// Tests of the parts of vesk-archive that stand on their own: the chain walk, the names the
// extractor accepts, the progress line and tree paths.
#include <string>
#include <tuple>
#include <vector>

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
  // Live "ab"; an unused empty block; a prefix that would run over the live empty block behind
  // it, so stray bytes up to there, where the walk goes on; live "bc"; unused "xyz"; and a
  // prefix that runs past the end of the stream.
  MemoryStream stream(block("ab") + block("") + prefix(500) + block("") + block("bc") +
                      block("xyz") + prefix(1 << 20) + "zz");
  const BlockChain chain(stream, {0, 26, 34});
  std::vector<std::tuple<std::int64_t, std::uint64_t, bool>> blocks;
  for (const ChainBlock& found : chain.blocks()) {
    blocks.emplace_back(found.position, found.length, found.live);
  }
  EXPECT_EQ(blocks,
            (decltype(blocks){
                {0, 2, true}, {10, 0, false}, {26, 0, true}, {34, 2, true}, {44, 3, false}}));
  std::vector<std::tuple<std::int64_t, std::int64_t, Kind>> waste;
  for (const WasteRegion& region : chain.waste()) {
    waste.emplace_back(region.position, region.bytes, region.kind);
  }
  EXPECT_EQ(waste, (decltype(waste){{10, 8, Kind::unusedBlock},
                                    {18, 8, Kind::strayBytes},
                                    {44, 11, Kind::unusedBlock},
                                    {55, 10, Kind::tornTail}}));
  EXPECT_EQ(chain.blockAt(26)->length, 0u);
  EXPECT_EQ(chain.blockAt(27), nullptr);
}

TEST(ExtractorTest, AcceptsOnlyNamesThatStayOneComponent) {
  for (const char* name : {"a.txt", ".hidden", "..x", "x..", "a b", "..."}) {
    EXPECT_TRUE(Extractor::safeName(name)) << name;
  }
  for (const char* name : {"", ".", "..", "a/b", "/etc", "a\\b"}) {
    EXPECT_FALSE(Extractor::safeName(name)) << name;
  }
  EXPECT_FALSE(Extractor::safeName(std::string("a\0b", 3)));
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
