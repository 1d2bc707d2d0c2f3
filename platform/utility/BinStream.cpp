#include "BinStream.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>

#include "FileDescriptor.h"
#include "UtilityStrings.h"
#include "VeskException.h"

namespace vesk {

BinStream::BinStream() = default;

BinStream::~BinStream() = default;

char* BinStream::scratch(std::size_t bytes) {
  if (scratchSize_ < bytes) {
    scratch_ = std::make_unique_for_overwrite<char[]>(bytes);
    scratchSize_ = bytes;
  }
  return scratch_.get();
}

void BinStream::throwOnError() const {
  if (fail()) {
    throw VeskException(utilityStrings(kMessageStreamFailed));
  }
}

unsigned BinStream::copyFile(const char* source, unsigned count, const std::int64_t& sourceOffset,
                             unsigned bufferSize) {
  const char* path = source != nullptr ? source : "";
  const FileDescriptor file = FileDescriptor::open(path, O_RDONLY);
  if (!file.valid()) {
    throw VeskException::systemError("Cannot open", path, errno);
  }
  const unsigned pieceSize = std::max(bufferSize, 1u);
  char* buffer = scratch(pieceSize);
  unsigned copied = 0;
  while (copied < count) {
    const unsigned want = std::min(pieceSize, count - copied);
    const std::int64_t got = file.readAt(buffer, want, sourceOffset + copied);
    if (got < 0) {
      throw VeskException::systemError("Cannot read", path, errno);
    }
    if (got > 0) {
      write(buffer, static_cast<unsigned>(got));
      throwOnError();
      copied += static_cast<unsigned>(got);
    }
    if (got < want) {
      break;
    }
  }
  return copied;
}

void BinStream::shiftBlock(std::int64_t from, std::int64_t to, std::int64_t length,
                           unsigned bufferSize) {
  if (length <= 0 || from == to) {
    seekp(to + std::max<std::int64_t>(length, 0));
    return;
  }
  const std::int64_t pieceSize = std::max(bufferSize, 1u);
  char* buffer = scratch(static_cast<std::size_t>(pieceSize));
  // Moving down copies front to back and moving up back to front, so no piece overwrites
  // bytes that are still to be read.
  const bool down = to < from;
  for (std::int64_t done = 0; done < length;) {
    const std::int64_t piece = std::min(pieceSize, length - done);
    const std::int64_t at = down ? done : length - done - piece;
    seekg(from + at);
    read(buffer, static_cast<unsigned>(piece));
    throwOnError();
    seekp(to + at);
    write(buffer, static_cast<unsigned>(piece));
    throwOnError();
    done += piece;
  }
  seekp(to + length);
}

}  // namespace vesk
