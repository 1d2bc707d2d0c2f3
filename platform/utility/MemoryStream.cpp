#include "MemoryStream.h"

#include <cstring>
#include <limits>

#include "UtilityStrings.h"
#include "VeskException.h"

namespace vesk {

MemoryStream::MemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}

MemoryStream::~MemoryStream() = default;

BinStream* MemoryStream::matchingStream(const char* /*path*/, int /*mode*/) {
  return new MemoryStream();
}

void MemoryStream::failWith(int messageId) {
  failed_ = true;
  throw VeskException(utilityStrings(messageId));
}

BinStream& MemoryStream::read(char* buffer, unsigned count) {
  const auto available = static_cast<std::int64_t>(bytes_.size()) - position_;
  if (available < static_cast<std::int64_t>(count)) {
    position_ = static_cast<std::int64_t>(bytes_.size());
    failWith(kMessageCannotRead);
  }
  if (count > 0) {
    std::memcpy(buffer, bytes_.data() + position_, count);
  }
  position_ += count;
  return *this;
}

BinStream& MemoryStream::write(const char* buffer, unsigned count) {
  const auto end = static_cast<std::size_t>(position_) + count;
  if (end > bytes_.size()) {
    bytes_.resize(end);
  }
  if (count > 0) {
    std::memcpy(bytes_.data() + position_, buffer, count);
  }
  position_ = static_cast<std::int64_t>(end);
  return *this;
}

BinStream& MemoryStream::seek(std::int64_t offset, std::ios_base::seekdir direction) {
  std::int64_t origin = position_;
  if (direction == std::ios_base::beg) {
    origin = 0;
  } else if (direction == std::ios_base::end) {
    origin = static_cast<std::int64_t>(bytes_.size());
  }
  if (offset < -origin || offset > std::numeric_limits<std::int64_t>::max() - origin) {
    failWith(kMessageCannotPosition);
  }
  position_ = origin + offset;
  return *this;
}

BinStream& MemoryStream::seekg(std::int64_t offset, std::ios_base::seekdir direction) {
  return seek(offset, direction);
}

BinStream& MemoryStream::seekg(std::int64_t offset) {
  return seek(offset, std::ios_base::beg);
}

BinStream& MemoryStream::seekp(std::int64_t offset, std::ios_base::seekdir direction) {
  return seek(offset, direction);
}

BinStream& MemoryStream::seekp(std::int64_t offset) {
  return seek(offset, std::ios_base::beg);
}

void MemoryStream::setEOF() {
  bytes_.resize(static_cast<std::size_t>(position_));
}

}  // namespace vesk
