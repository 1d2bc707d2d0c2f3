#include "OffsetFix.h"

#include <typeinfo>

namespace vesk {

OffsetFix::OffsetFix(std::int64_t oldOffset, std::int64_t blockSize) noexcept
    : oldOffset_(oldOffset), blockSize_(blockSize) {}

OffsetFix::~OffsetFix() = default;

char const* OffsetFix::version() const {
  return "OffsetFix 1.0, 16.08.1999";
}

bool OffsetFix::operator==(OffsetFix const& other) const {
  return typeid(*this) == typeid(other) && oldOffset_ == other.oldOffset_ &&
         newOffset_ == other.newOffset_ && blockSize_ == other.blockSize_;
}

bool OffsetFix::operator<(OffsetFix const& other) const {
  return typeid(*this) == typeid(other) && oldOffset_ < other.oldOffset_;
}

}  // namespace vesk
