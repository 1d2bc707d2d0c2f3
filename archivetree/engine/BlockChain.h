/// \class vesk::BlockChain BlockChain.h <vesk/BlockChain.h>
/// BlockChain: the data blocks of an archive stream as a walk from position 0 finds them.
/// Each block is an 8-byte little-endian length prefix and that many data bytes; blocks of
/// length 0 are ordinary (an empty file). The walk knows where the blocks of live files
/// start and trusts those positions over what it reads: a block that no live file uses and
/// whose prefix would run over the next live block or past the end (a prefix written by a
/// copy that never finished) is not followed; its bytes up to the next live block are stray,
/// or up to the end a torn tail. The walk holds no reference to the stream after it is built.
#ifndef VESK_BLOCKCHAIN_H
#define VESK_BLOCKCHAIN_H

#include <cstdint>
#include <vector>

namespace vesk {

class BinStream;

/// One block on the chain: its prefix's position and the data length the prefix tells.
struct ChainBlock {
  static constexpr std::uint64_t kUnreadable = UINT64_MAX;  ///< a prefix cut off by the end

  std::int64_t position;  ///< of the prefix
  std::uint64_t length;   ///< the prefix: data bytes behind it
  bool live;              ///< a live file's block starts here

  /// The position behind the block, which may lie past the stream's end.
  std::int64_t end() const;
};

/// A run of stream bytes that no live block covers.
struct WasteRegion {
  /// What the run is: a block no live file uses, bytes between blocks, or a cut-off tail.
  enum class Kind { unusedBlock, strayBytes, tornTail };

  /// Where the run starts.
  std::int64_t position;
  /// How long it is.
  std::int64_t bytes;
  /// What it is.
  Kind kind;
};

class BlockChain {
 public:
  /// Walks `stream`; `liveStarts` holds the block positions of the live files, ascending and
  /// without repeats. Throws the stream's VeskException when a read fails.
  BlockChain(BinStream& stream, const std::vector<std::int64_t>& liveStarts);

  /// The stream's size when it was walked.
  std::int64_t streamSize() const noexcept { return streamSize_; }
  /// The blocks the walk stepped on, ascending; live ones may run past the end.
  const std::vector<ChainBlock>& blocks() const noexcept { return blocks_; }
  /// The bytes no live block covers, ascending: unused blocks, stray bytes, a torn tail.
  const std::vector<WasteRegion>& waste() const noexcept { return waste_; }
  /// The block that starts at `position`, or null when the walk did not step there.
  const ChainBlock* blockAt(std::int64_t position) const;

  /// The length prefix at `position` of `stream`, which must lie whole inside it. Throws the
  /// stream's VeskException when the read fails.
  static std::uint64_t readPrefix(BinStream& stream, std::int64_t position);

 private:
  void addWaste(std::int64_t position, std::int64_t bytes, WasteRegion::Kind kind);

  std::int64_t streamSize_;
  std::vector<ChainBlock> blocks_;
  std::vector<WasteRegion> waste_;
};

}  // namespace vesk

#endif  // VESK_BLOCKCHAIN_H
