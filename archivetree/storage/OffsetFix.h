/// \class vesk::OffsetFix OffsetFix.h <vesk/OffsetFix.h>
/// OffsetFix: one move of cleanup. While blocks are collected it describes a removed block
/// (oldOffset, blockSize); after the move, a region of the archive stream that moved from
/// oldOffset to newOffset, blockSize bytes long.
#ifndef VESK_OFFSETFIX_H
#define VESK_OFFSETFIX_H

#include <cstdint>

namespace vesk {

class OffsetFix {
 public:
  /// The fix of the block at `oldOffset` of `blockSize` bytes; the new offset is 0 until set.
  OffsetFix(std::int64_t oldOffset, std::int64_t blockSize) noexcept;
  /// Copies are plain value copies.
  OffsetFix(OffsetFix const& source) = default;
  /// \copydoc OffsetFix(OffsetFix const&)
  OffsetFix& operator=(OffsetFix const& source) = default;
  virtual ~OffsetFix();
  /// The version text of the class.
  virtual char const* version() const;

  /// Where the block lay before the cleanup.
  std::int64_t oldOffset() const noexcept { return oldOffset_; }
  /// Sets where the block lay before the cleanup and answers it.
  std::int64_t oldOffset(std::int64_t value) noexcept { return oldOffset_ = value; }
  /// Where the block lies after the cleanup.
  std::int64_t newOffset() const noexcept { return newOffset_; }
  /// Sets where the block lies after the cleanup and answers it.
  std::int64_t newOffset(std::int64_t value) noexcept { return newOffset_ = value; }
  /// The bytes of the block, prefix included.
  std::int64_t blockSize() const noexcept { return blockSize_; }
  /// Sets the bytes of the block and answers them.
  std::int64_t blockSize(std::int64_t value) noexcept { return blockSize_ = value; }

  /// Same dynamic type and equal fields.
  bool operator==(OffsetFix const& other) const;
  /// Same dynamic type and a lower oldOffset.
  bool operator<(OffsetFix const& other) const;

 private:
  std::int64_t oldOffset_;
  std::int64_t newOffset_ = 0;
  std::int64_t blockSize_;
};

}  // namespace vesk

#endif  // VESK_OFFSETFIX_H
