#include "BinStream.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "UtilityStrings.h"
#include "VeskException.h"

namespace vesk {

namespace {

// A source file opened for reading, closed on every way out.
class SourceFile {
 public:
  explicit SourceFile(const char* path)
      : path_(path ? path : ""), fd_(::open(path_, O_RDONLY | O_CLOEXEC)) {
    if (fd_ < 0) {
      throw VeskException::systemError("Cannot open", path_, errno);
    }
  }
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;
  ~SourceFile() { ::close(fd_); }

  // Reads up to `count` bytes at `offset`; answers fewer only at the end of the file.
  std::size_t readAt(char* buffer, std::size_t count, std::int64_t offset) const {
    std::size_t done = 0;
    while (done < count) {
      const ssize_t got = ::pread(fd_, buffer + done, count - done,
                                  static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
      if (got < 0 && errno == EINTR) {
        continue;
      }
      if (got < 0) {
        throw VeskException::systemError("Cannot read", path_, errno);
      }
      if (got == 0) {
        break;
      }
      done += static_cast<std::size_t>(got);
    }
    return done;
  }

 private:
  const char* path_;
  int fd_;
};

}  // namespace

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
  const SourceFile file(source);
  const unsigned pieceSize = std::max(bufferSize, 1u);
  char* buffer = scratch(pieceSize);
  unsigned copied = 0;
  while (copied < count) {
    const unsigned want = std::min(pieceSize, count - copied);
    const std::size_t got = file.readAt(buffer, want, sourceOffset + copied);
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
