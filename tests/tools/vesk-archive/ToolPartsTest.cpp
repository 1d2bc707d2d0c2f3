// Tests of the parts of vesk-archive that stand on their own: the chain walk and the progress
// line.
#include <string>
#include <tuple>
#include <vector>

#include "BlockChain.h"
#include "CommitProgress.h"
#include "MemoryStream.h"
#include "TestSupport.h"

namespace vesk::test {
namespace {

using enum WasteRegion::Kind;

TEST(BlockChainTest, WalksBlocksOfAnyLengthAndSortsOutWaste) {
  // Live "ab"; an unused empty block that ends where a live empty one begins; a prefix that
  // would run over the live block behind it, so stray bytes up to there, where the walk goes
  // on; live "bc"; unused "xyz"; and a prefix that runs past the end of the stream.
  MemoryStream stream(block("ab") + block("") + block("") + prefix(500) + block("bc") +
                      block("xyz") + prefix(1 << 20) + "zz");
  const BlockChain chain(stream, {0, 18, 34});
  std::vector<std::tuple<std::int64_t, std::uint64_t, bool>> blocks;
  for (const ChainBlock& found : chain.blocks()) {
    blocks.emplace_back(found.position, found.length, found.live);
  }
  EXPECT_EQ(blocks,
            (decltype(blocks){
                {0, 2, true}, {10, 0, false}, {18, 0, true}, {34, 2, true}, {44, 3, false}}));
  std::vector<std::tuple<std::int64_t, std::int64_t, WasteRegion::Kind>> waste;
  for (const WasteRegion& region : chain.waste()) {
    waste.emplace_back(region.position, region.bytes, region.kind);
  }
  EXPECT_EQ(
      waste,
      (decltype(waste){
          {10, 8, unusedBlock}, {26, 8, strayBytes}, {44, 11, unusedBlock}, {55, 10, tornTail}}));
  EXPECT_EQ(chain.blockAt(18)->length, 0u);
  EXPECT_EQ(chain.blockAt(19), nullptr);
}

TEST(CommitProgressTest, TheBarTellsFilesBytesAndTheCurrentFile) {
  std::ostringstream out;
  CommitProgress progress(out, true, 120);
  progress.begin(4, 4096);
  progress.startFile("docs/a.txt", 2048);
  progress.fileDone(true, "");
  progress.startFile("docs/b.txt", 1024);
  const std::string line = progress.barLine(120);
  EXPECT_EQ(line.rfind("[##########----------] 50% 1/4 files 2.0 KiB/4.0 KiB ", 0), 0u) << line;
  EXPECT_NE(line.find("docs/b.txt"), std::string::npos);
  EXPECT_EQ(progress.barLine(30).size(), 29u);
}

}  // namespace
}  // namespace vesk::test
