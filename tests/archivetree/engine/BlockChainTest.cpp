// The chain walk over an archive stream: blocks of any length, and the waste between them.
// Covers: BlockChain (ChainBlock, WasteRegion).
#include <string>
#include <tuple>
#include <vector>

#include "BlockChain.h"
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

}  // namespace
}  // namespace vesk::test
