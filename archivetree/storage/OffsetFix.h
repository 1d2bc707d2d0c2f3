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
  OffsetFix(std::int64_t oldOffset, std::int64_t blockSize) noexcept;
  OffsetFix(OffsetFix const& source) = default;
  OffsetFix& operator=(OffsetFix const& source) = default;
  virtual ~OffsetFix();
  virtual char const* version() const;

  std::int64_t oldOffset() const noexcept { return oldOffset_; }
  std::int64_t oldOffset(std::int64_t value) noexcept { return oldOffset_ = value; }
  std::int64_t newOffset() const noexcept { return newOffset_; }
  std::int64_t newOffset(std::int64_t value) noexcept { return newOffset_ = value; }
  std::int64_t blockSize() const noexcept { return blockSize_; }
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
