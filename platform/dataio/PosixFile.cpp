#include "PosixFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

bool openForWriting(int descriptor) {
  const int flags = ::fcntl(descriptor, F_GETFL);
  return flags >= 0 && (flags & O_ACCMODE) != O_RDONLY;
}

}  // namespace

PosixFile::PosixFile(int descriptor, std::string path, std::size_t bufferSize)
    : file_(descriptor),
      path_(std::move(path)),
      capacity_(bufferSize),
      writable_(openForWriting(descriptor)) {}

// The descriptor closes with file_.
PosixFile::~PosixFile() {
  flushWrites();
}

int PosixFile::failWith(int error) {
  error_ = error;
  return 0;
}

char* PosixFile::buffer() {
  if (!buffer_) {
    buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
  }
  return buffer_.get();
}

bool PosixFile::writeAt(const char* bytes, std::size_t count, std::int64_t offset) {
  if (!file_.writeAt(bytes, count, offset)) {
    knownSize_ = -1;  // a part may have been written
    failWith(errno);
    return false;
  }
  if (knownSize_ >= 0 && count > 0) {
    knownSize_ = std::max(knownSize_, offset + static_cast<std::int64_t>(count));
  }
  return true;
}

std::int64_t PosixFile::readAt(char* bytes, std::size_t count, std::int64_t offset) {
  const std::int64_t got = file_.readAt(bytes, count, offset);
  if (got < 0) {
    failWith(errno);
  }
  return got;
}

bool PosixFile::flushWrites() {
  if (dirty_ && bufferLength_ > 0 && !writeAt(buffer_.get(), bufferLength_, bufferStart_)) {
    return false;
  }
  dirty_ = false;
  bufferLength_ = 0;
  return true;
}

// The size is asked of the system once and then kept up to date by this object's own writes
// and truncations; dropBuffer() forgets it, since the descriptor may be written directly
// after it.
bool PosixFile::fileSize(std::int64_t& bytes) {
  if (knownSize_ < 0) {
    struct stat status {};
    if (!file_.status(status)) {
      failWith(errno);
      return false;
    }
    knownSize_ = status.st_size;
  }
  bytes = knownSize_;
  if (dirty_) {
    bytes = std::max<std::int64_t>(bytes, bufferStart_ + static_cast<std::int64_t>(bufferLength_));
  }
  return true;
}

int PosixFile::querySize(std::uint64_t* bytes) {
  std::int64_t size = 0;
  if (!fileSize(size)) {
    return 0;
  }
  *bytes = static_cast<std::uint64_t>(size);
  return 1;
}

int PosixFile::setEndOfFile() {
  if (!flushWrites()) {
    return 0;
  }
  bufferLength_ = 0;
  if (!file_.truncate(position_)) {
    knownSize_ = -1;
    return failWith(errno);
  }
  knownSize_ = position_;
  return 1;
}

int PosixFile::atEnd() {
  std::int64_t size = 0;
  return fileSize(size) && position_ >= size ? 1 : 0;
}

int PosixFile::seek(int origin, std::int64_t offset) {
  std::int64_t base = 0;
  if (origin == 1) {
    base = position_;
  } else if (origin == 2) {
    if (!fileSize(base)) {
      return 0;
    }
  } else if (origin != 0) {
    return failWith(EINVAL);
  }
  if (offset < -base || offset > INT64_MAX - base) {
    return failWith(EINVAL);
  }
  position_ = base + offset;
  return 1;
}

// Writes collect in the buffer while they follow each other; the buffer is handed to the
// system when full, and it fills only up to the next multiple of its size in the file, so
// the system sees large writes at aligned offsets. A write at least as large as the buffer
// goes to the file directly.
int PosixFile::writeBytes(const char* bytes, unsigned count, std::uint32_t* done) {
  *done = 0;
  if (!writable_) {
    return failWith(EBADF);
  }
  if (!dirty_) {
    bufferLength_ = 0;  // what was read ahead may be overwritten now
  }
  std::size_t left = count;
  while (left > 0) {
    if (!dirty_ || position_ != bufferStart_ + static_cast<std::int64_t>(bufferLength_)) {
      if (!flushWrites()) {
        return 0;
      }
      if (left >= capacity_) {
        if (!writeAt(bytes, left, position_)) {
          return 0;
        }
        position_ += static_cast<std::int64_t>(left);
        break;
      }
      dirty_ = true;
      bufferStart_ = position_;
    }
    const auto limit =
        capacity_ - static_cast<std::size_t>(bufferStart_ % static_cast<std::int64_t>(capacity_));
    const std::size_t piece = std::min(left, limit - bufferLength_);
    std::memcpy(buffer() + bufferLength_, bytes, piece);
    bufferLength_ += piece;
    bytes += piece;
    left -= piece;
    position_ += static_cast<std::int64_t>(piece);
    if (bufferLength_ == limit && !flushWrites()) {
      return 0;
    }
  }
  *done = count;
  return 1;
}

std::size_t PosixFile::copyFromReadAhead(char* bytes, std::size_t count) {
  const std::int64_t end = bufferStart_ + static_cast<std::int64_t>(bufferLength_);
  if (dirty_ || position_ < bufferStart_ || position_ >= end) {
    return 0;
  }
  const std::size_t piece = std::min(count, static_cast<std::size_t>(end - position_));
  std::memcpy(bytes, buffer_.get() + (position_ - bufferStart_), piece);
  position_ += static_cast<std::int64_t>(piece);
  return piece;
}

int PosixFile::readBytes(char* bytes, unsigned count, std::uint32_t* done) {
  *done = 0;
  if (dirty_ && !flushWrites()) {
    return 0;
  }
  std::size_t got = copyFromReadAhead(bytes, count);
  while (got < count) {
    const std::size_t left = count - got;
    if (left >= capacity_) {
      const std::int64_t direct = readAt(bytes + got, left, position_);
      if (direct < 0) {
        return 0;
      }
      position_ += direct;
      got += static_cast<std::size_t>(direct);
      break;
    }
    const std::int64_t filled = readAt(buffer(), readAheadFor(left), position_);
    if (filled < 0) {
      return 0;
    }
    bufferStart_ = position_;
    bufferLength_ = static_cast<std::size_t>(filled);
    if (filled == 0) {
      break;
    }
    got += copyFromReadAhead(bytes + got, left);
  }
  *done = static_cast<std::uint32_t>(got);
  readEnd_ = position_;
  return 1;
}

// Reading on from where the last read ended fills the whole buffer; a read elsewhere (a walk
// from block prefix to block prefix) reads a page or so, not a buffer's worth it won't use.
std::size_t PosixFile::readAheadFor(std::size_t wanted) const {
  if (position_ == readEnd_) {
    return capacity_;
  }
  const std::size_t page = 4096;
  return std::min(capacity_, (wanted + page - 1) / page * page);
}

int PosixFile::flush() {
  return flushWrites() ? 1 : 0;
}

int PosixFile::dropBuffer() {
  // flushWrites() empties the buffer whether it held writes or bytes read ahead.
  knownSize_ = -1;
  return flushWrites() ? 1 : 0;
}

int PosixFile::discardWrites() {
  if (dirty_) {
    dirty_ = false;
    bufferLength_ = 0;
  }
  knownSize_ = -1;
  return 1;
}

int PosixFile::sync() {
  if (!flushWrites()) {
    return 0;
  }
  return file_.sync() ? 1 : failWith(errno);
}
