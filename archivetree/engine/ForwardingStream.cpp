#include "ForwardingStream.h"

namespace vesk {

ForwardingStream::~ForwardingStream() = default;

unsigned ForwardingStream::copyFile(const char* source, unsigned count,
                                    const std::int64_t& sourceOffset, unsigned bufferSize) {
  return target_.copyFile(source, count, sourceOffset, bufferSize);
}

BinStream& ForwardingStream::read(char* buffer, unsigned count) {
  target_.read(buffer, count);
  return *this;
}

BinStream& ForwardingStream::write(const char* buffer, unsigned count) {
  target_.write(buffer, count);
  return *this;
}

BinStream& ForwardingStream::seekg(std::int64_t offset, std::ios_base::seekdir direction) {
  target_.seekg(offset, direction);
  return *this;
}

BinStream& ForwardingStream::seekg(std::int64_t offset) {
  target_.seekg(offset);
  return *this;
}

BinStream& ForwardingStream::seekp(std::int64_t offset, std::ios_base::seekdir direction) {
  target_.seekp(offset, direction);
  return *this;
}

BinStream& ForwardingStream::seekp(std::int64_t offset) {
  target_.seekp(offset);
  return *this;
}

void ForwardingStream::shiftBlock(std::int64_t from, std::int64_t to, std::int64_t length,
                                  unsigned bufferSize) {
  target_.shiftBlock(from, to, length, bufferSize);
}

}  // namespace vesk
