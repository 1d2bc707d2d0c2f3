#include "BlockChain.h"

#include <algorithm>
#include <array>

#include "BinStream.h"
#include "ByteOrder.h"

namespace vesk {

namespace {

constexpr std::int64_t kPrefixBytes = 8;

}  // namespace

std::int64_t ChainBlock::end() const {
  if (length > static_cast<std::uint64_t>(INT64_MAX - kPrefixBytes - position)) {
    return INT64_MAX;
  }
  return position + kPrefixBytes + static_cast<std::int64_t>(length);
}

// The walk, with `next` the first live start behind the current position:
//  - at a live start, the block is taken as its prefix says, even when it runs past the end
//    (the check of the tree reports that);
//  - elsewhere a block is taken when it ends at or before the next live start (or the
//    stream's end when there is none); otherwise the bytes up to there are waste.
BlockChain::BlockChain(BinStream& stream, const std::vector<std::int64_t>& liveStarts)
    : streamSize_(stream.size()) {
  auto next = liveStarts.begin();
  std::int64_t position = 0;
  while (position < streamSize_) {
    next = std::upper_bound(next, liveStarts.end(), position - 1);
    const bool live = next != liveStarts.end() && *next == position;
    if (live) {
      ++next;
    }
    const std::int64_t limit = next != liveStarts.end() ? *next : streamSize_;
    const std::uint64_t length = streamSize_ - position < kPrefixBytes
                                     ? ChainBlock::kUnreadable
                                     : readPrefix(stream, position);
    const ChainBlock block{position, length, live};
    if (live || (length != ChainBlock::kUnreadable && block.end() <= limit)) {
      blocks_.push_back(block);
      if (!live) {
        addWaste(position, block.end() - position, WasteRegion::Kind::unusedBlock);
      }
      position = block.end();
      continue;
    }
    addWaste(position, limit - position,
             limit == streamSize_ ? WasteRegion::Kind::tornTail : WasteRegion::Kind::strayBytes);
    position = limit;
  }
}

const ChainBlock* BlockChain::blockAt(std::int64_t position) const {
  const auto at = std::lower_bound(
      blocks_.begin(), blocks_.end(), position,
      [](const ChainBlock& block, std::int64_t where) { return block.position < where; });
  return at != blocks_.end() && at->position == position ? &*at : nullptr;
}

std::uint64_t BlockChain::readPrefix(BinStream& stream, std::int64_t position) {
  std::array<char, 8> prefix{};
  stream.seekg(position);
  stream.read(prefix.data(), static_cast<unsigned>(prefix.size()));
  return loadLittle64(prefix.data());
}

void BlockChain::addWaste(std::int64_t position, std::int64_t bytes, WasteRegion::Kind kind) {
  waste_.push_back(WasteRegion{position, bytes, kind});
}

}  // namespace vesk
