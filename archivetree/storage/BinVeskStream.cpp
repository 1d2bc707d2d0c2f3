#include "BinVeskStream.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "ArchiveTreeStrings.h"
#include "FileDescriptor.h"
#include "MessageIds.h"
#include "UtilityStrings.h"
#include "VeskException.h"

namespace vesk {

namespace {

constexpr int kBufferedSize = 2097152;

// Bytes per read and write when the kernel cannot copy between the two files.
constexpr std::size_t kUserPiece = std::size_t{1} << 20;
// A move down by fewer bytes than this goes through the user buffer: one kernel copy may
// not overlap itself, so it would be cut into pieces of the move's distance.
constexpr std::uint64_t kSmallestKernelPiece = 65536;
// Files up to this size are copied through the file object's buffer. Above it the kernel's
// single copy beats the buffer's three (read, buffer, write) by more than the two calls it
// costs a file: a commit of a system tree of 57,000 files takes a fifth less than with 1 MiB.
constexpr unsigned kBufferedCopy = 1u << 17;
// Bytes per splice of a larger file: the capacity asked of the pipe between the files.
constexpr std::size_t kSplicePiece = std::size_t{1} << 20;
constexpr std::uint64_t kUnbounded = std::numeric_limits<std::uint64_t>::max();

// The data I/O access mask of open-mode bits; throws for a mode that neither reads nor
// writes, which would otherwise create an empty file that no stream can use.
std::uint32_t accessOf(const char* path, int mode) {
  if ((mode & OpenMode::readWrite) == 0) {
    throw VeskException("Invalid open mode", EINVAL, path != nullptr ? path : "");
  }
  std::uint32_t access = 0;
  if ((mode & OpenMode::read) != 0) {
    access |= VESK_ACCESS_READ;
  }
  if ((mode & OpenMode::write) != 0) {
    access |= VESK_ACCESS_WRITE;
  }
  return access;
}

FILE_CREATION_FLAG creationOf(const char* path, int mode) {
  return VeskExists(path) != 0 && (mode & OpenMode::truncate) == 0 ? FILE_OPEN_EXISTING
                                                                   : FILE_CREATE_ALWAYS;
}

// A file offset `done` bytes behind `start`. Computed without signed overflow: an offset
// out of range comes out negative, and the system refuses it.
off64_t offsetAt(std::int64_t start, std::uint64_t done) {
  return static_cast<off64_t>(static_cast<std::uint64_t>(start) + done);
}

// A pipe to splice through, closed on every way out. Its capacity is raised to
// kSplicePiece where the system allows; a smaller one only costs more calls.
class SplicePipe {
 public:
  SplicePipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) == 0) {
      readEnd_ = FileDescriptor(ends[0]);
      writeEnd_ = FileDescriptor(ends[1]);
      ::fcntl(ends[1], F_SETPIPE_SZ, static_cast<int>(kSplicePiece));
    }
  }

  bool open() const { return readEnd_.valid(); }
  int readEnd() const { return readEnd_.get(); }
  int writeEnd() const { return writeEnd_.get(); }

 private:
  FileDescriptor readEnd_;
  FileDescriptor writeEnd_;
};

// Moves all `count` bytes in `pipe` to `out` at `outAt`; answers how many arrived.
std::size_t drain(const SplicePipe& pipe, int out, off64_t outAt, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    off64_t outOffset = outAt + static_cast<off64_t>(done);
    const ssize_t put =
        ::splice(pipe.readEnd(), nullptr, out, &outOffset, count - done, SPLICE_F_MOVE);
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put <= 0) {
      break;
    }
    done += static_cast<std::size_t>(put);
  }
  return done;
}

// Copies up to `count` bytes from `in` at `inAt` to `out` at `outAt` through a pipe, in the
// kernel, and answers how many reached `out`. Stops early where the source ends or the
// system cannot splice, leaving the rest and the report of any fault to transfer(). Where
// the two positions lie differently on the page grid (every block sits behind its 8-byte
// prefix) this is faster than copy_file_range, which splices in pieces of a few pages.
std::uint64_t spliceFile(int in, std::int64_t inAt, int out, std::int64_t outAt,
                         std::uint64_t count) {
  const SplicePipe pipe;
  std::uint64_t done = 0;
  while (pipe.open() && done < count) {
    off64_t inOffset = offsetAt(inAt, done);
    const ssize_t got =
        ::splice(in, &inOffset, pipe.writeEnd(), nullptr,
                 static_cast<std::size_t>(std::min<std::uint64_t>(count - done, kSplicePiece)),
                 SPLICE_F_MOVE);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      break;
    }
    const std::size_t put = drain(pipe, out, offsetAt(outAt, done), static_cast<std::size_t>(got));
    done += put;
    if (put < static_cast<std::size_t>(got)) {
      break;
    }
  }
  return done;
}

enum class Fault { none, reading, writing };

struct Transfer {
  std::uint64_t done = 0;
  Fault fault = Fault::none;
  int error = 0;
};

// Copies up to `count` bytes from `in` at `inAt` to `out` at `outAt`, front to back, and
// answers how many it copied: fewer than `count` only when `in` ends early or a fault
// stopped it. The kernel copies, at most `kernelPiece` bytes a call (0: never), so that the
// two ranges of one call never overlap; where it cannot, the bytes go through the buffer
// that `buffer(n)` answers, in pieces that are read whole before they are written. Either
// way a destination below its source is never written before it was read.
template <class Buffer>
Transfer transfer(int in, std::int64_t inAt, int out, std::int64_t outAt, std::uint64_t count,
                  std::uint64_t kernelPiece, Buffer&& buffer) {
  Transfer result;
  bool kernel = kernelPiece > 0;
  while (result.done < count) {
    const std::uint64_t left = count - result.done;
    off64_t inOffset = offsetAt(inAt, result.done);
    off64_t outOffset = offsetAt(outAt, result.done);
    if (kernel) {
      const ssize_t copied = ::copy_file_range(
          in, &inOffset, out, &outOffset, static_cast<std::size_t>(std::min(left, kernelPiece)), 0);
      if (copied > 0) {
        result.done += static_cast<std::uint64_t>(copied);
        continue;
      }
      if (copied < 0 && errno == EINTR) {
        continue;
      }
      // The kernel cannot copy here (another file system, a special file, an old kernel) or
      // has reached the end of the source. The buffered copy tells which, and reports a
      // real fault on the side where it happens.
      kernel = false;
      continue;
    }
    const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, kUserPiece));
    char* bytes = buffer(piece);
    const std::int64_t got = FileDescriptor::readAt(in, bytes, piece, inOffset);
    if (got < 0) {
      result.fault = Fault::reading;
      result.error = errno;
      return result;
    }
    if (got > 0 && !FileDescriptor::writeAt(out, bytes, static_cast<std::size_t>(got), outOffset)) {
      result.fault = Fault::writing;
      result.error = errno;
      return result;
    }
    result.done += static_cast<std::uint64_t>(got);
    if (static_cast<std::size_t>(got) < piece) {
      break;
    }
  }
  return result;
}

// Opens the file object of a stream, or throws with the errno of the failed open.
CIOParent* openFile(const char* path, std::uint32_t access, std::uint32_t third,
                    FILE_CREATION_FLAG creation, bool buffered) {
  CIOParent* file = VeskCreateIO(path, access, third, creation, buffered ? kBufferedSize : 0);
  if (file == nullptr) {
    throw VeskException("VeskCreateIO failed", errno, path != nullptr ? path : "");
  }
  return file;
}

}  // namespace

BinVeskStream::BinVeskStream(const char* path, int mode, bool buffered)
    : BinVeskStream(path, accessOf(path, mode), 0, creationOf(path, mode), buffered) {}

BinVeskStream::BinVeskStream(const char* path, std::uint32_t access, std::uint32_t third,
                             FILE_CREATION_FLAG creation, bool buffered)
    : readyFlag(false), io(openFile(path, access, third, creation, buffered)), failFlag(false) {
  readyFlag = io->ready();
}

BinVeskStream::BinVeskStream(CIOParent* file) : readyFlag(false), io(file), failFlag(false) {
  if (!io) {
    throw VeskException("VeskCreateIO failed");
  }
  readyFlag = io->ready();
}

BinVeskStream::~BinVeskStream() = default;

VeskException BinVeskStream::streamError(const StdString& text, int error) const {
  const char* path = io->path();
  return VeskException(text.str().c_str(), error, path != nullptr ? path : "");
}

void BinVeskStream::failWith(int messageId, int error) {
  failFlag = true;
  throw streamError(utilityStrings(messageId), error);
}

void BinVeskStream::clear() {
  failFlag = false;
}

bool BinVeskStream::eof() const {
  return io->atEnd() != 0;
}

bool BinVeskStream::fail() const {
  return failFlag;
}

BinStream* BinVeskStream::matchingStream(const char* path, int mode) {
  return new BinVeskStream(path, mode, true);
}

BinStream& BinVeskStream::read(char* buffer, unsigned count) {
  std::uint32_t done = 0;
  if (io->readBytes(buffer, count, &done) == 0) {
    failWith(kMessageCannotRead, io->lastError());
  }
  if (done != count) {
    failWith(kMessageCannotRead, 0);  // the file ended
  }
  return *this;
}

BinStream& BinVeskStream::write(const char* buffer, unsigned count) {
  std::uint32_t done = 0;
  if (io->writeBytes(buffer, count, &done) == 0) {
    failWith(kMessageCannotWrite, io->lastError());
  }
  if (done != count) {
    failWith(kMessageCannotWrite, 0);
  }
  return *this;
}

BinStream& BinVeskStream::seek(std::int64_t offset, std::ios_base::seekdir direction) {
  int origin = 1;
  if (direction == std::ios_base::beg) {
    origin = 0;
  } else if (direction == std::ios_base::end) {
    origin = 2;
  }
  if (io->seek(origin, offset) == 0) {
    failWith(kMessageCannotPosition, io->lastError());
  }
  return *this;
}

BinStream& BinVeskStream::seekg(std::int64_t offset, std::ios_base::seekdir direction) {
  return seek(offset, direction);
}

BinStream& BinVeskStream::seekg(std::int64_t offset) {
  return seek(offset, std::ios_base::beg);
}

BinStream& BinVeskStream::seekp(std::int64_t offset, std::ios_base::seekdir direction) {
  return seek(offset, direction);
}

BinStream& BinVeskStream::seekp(std::int64_t offset) {
  return seek(offset, std::ios_base::beg);
}

void BinVeskStream::setEOF() {
  if (io->setEndOfFile() == 0) {
    throw streamError(archiveTreeStrings(kMsgSetEndOfFileFailed), io->lastError());
  }
}

std::int64_t BinVeskStream::size() {
  std::uint64_t bytes = 0;
  if (io->querySize(&bytes) == 0) {
    failWith(kMessageCannotQuerySize, io->lastError());
  }
  return static_cast<std::int64_t>(bytes);
}

std::int64_t BinVeskStream::tellg() {
  return io->tell();
}

std::int64_t BinVeskStream::tellp() {
  return io->tell();
}

IOPosition* BinVeskStream::telldelayp() {
  return io->delayedPosition();
}

const char* BinVeskStream::version() const {
  return "BinVeskStream 1.0, 14.09.1999";
}

bool BinVeskStream::isOpen() const {
  return true;
}

void BinVeskStream::flush() {
  if (io->flush() == 0) {
    failWith(kMessageCannotWrite, io->lastError());
  }
}

void BinVeskStream::sync() {
  if (io->sync() == 0) {
    failWith(kMessageCannotWrite, io->lastError());
  }
}

int BinVeskStream::descriptor() const {
  return io->descriptor();
}

void BinVeskStream::discardWrites() {
  io->discardWrites();
}

void BinVeskStream::dropBuffer() {
  if (io->dropBuffer() == 0) {
    failWith(kMessageCannotWrite, io->lastError());
  }
}

unsigned BinVeskStream::copyFile(const char* source, unsigned count,
                                 const std::int64_t& sourceOffset, unsigned bufferSize) {
  if (failFlag || io->descriptor() < 0) {
    // The generic copy gives a failed stream's behaviour, and needs no descriptor.
    return BinStream::copyFile(source, count, sourceOffset, bufferSize);
  }
  const char* name = source != nullptr ? source : "";
  const FileDescriptor file = FileDescriptor::open(name, O_RDONLY);
  if (!file.valid()) {
    throw VeskException::systemError("Cannot open", name, errno);
  }
  return copyFrom(file.get(), name, count, sourceOffset);
}

// A failed stream and a file object without a descriptor take the stream's own writes, as
// a small file does, so that they fail as the generic copy fails.
unsigned BinVeskStream::copyFrom(int descriptor, const char* name, unsigned count,
                                 std::int64_t offset) {
  const char* source = name != nullptr ? name : "";
  if (failFlag || io->descriptor() < 0 || count <= kBufferedCopy) {
    return copyThroughBuffer(descriptor, source, count, offset);
  }
  return copyInKernel(descriptor, source, count, offset);
}

// The copy goes from the source's descriptor to the archive's at the current position, past
// the file object's buffer, which is emptied first so that it neither holds writes that the
// copy would overtake nor serves bytes read ahead that the copy overwrote.
unsigned BinVeskStream::copyInKernel(int file, const char* source, unsigned count,
                                     std::int64_t sourceOffset) {
  dropBuffer();
  const std::int64_t at = io->tell();
  const std::uint64_t spliced = spliceFile(file, sourceOffset, io->descriptor(), at, count);
  Transfer copied =
      transfer(file, offsetAt(sourceOffset, spliced), io->descriptor(), offsetAt(at, spliced),
               count - spliced, kUnbounded, [this](std::size_t n) { return scratch(n); });
  copied.done += spliced;
  if (io->seek(0, at + static_cast<std::int64_t>(copied.done)) == 0) {
    failWith(kMessageCannotPosition, io->lastError());
  }
  if (copied.fault == Fault::reading) {
    throw VeskException::systemError("Cannot read", source, copied.error);
  }
  if (copied.fault == Fault::writing) {
    failWith(kMessageCannotWrite, copied.error);
  }
  return static_cast<unsigned>(copied.done);
}

// A small file goes through the file object's own buffer, behind the block prefix that is
// already there: the buffer reaches the file in large aligned writes, where a copy in the
// kernel would cost a write of the prefix and a copy call for every file.
unsigned BinVeskStream::copyThroughBuffer(int file, const char* source, unsigned count,
                                          std::int64_t sourceOffset) {
  char* buffer = scratch(std::min<std::size_t>(count, kUserPiece));
  unsigned copied = 0;
  while (copied < count) {
    const auto piece = static_cast<unsigned>(std::min<std::size_t>(count - copied, kUserPiece));
    const std::int64_t got = FileDescriptor::readAt(file, buffer, piece, sourceOffset + copied);
    if (got < 0) {
      throw VeskException::systemError("Cannot read", source, errno);
    }
    if (got > 0) {
      write(buffer, static_cast<unsigned>(got));
      throwOnError();
    }
    copied += static_cast<unsigned>(got);
    if (static_cast<unsigned>(got) < piece) {
      break;
    }
  }
  return copied;
}

void BinVeskStream::shiftBlock(std::int64_t from, std::int64_t to, std::int64_t length,
                               unsigned bufferSize) {
  // The generic move handles what is not a plain move through the descriptor: nothing to
  // move, negative offsets (which it refuses), a failed stream, and a move up onto its own
  // source, which must run back to front.
  if (length <= 0 || from == to || from < 0 || to < 0 || failFlag || io->descriptor() < 0 ||
      (to > from && to - from < length)) {
    BinStream::shiftBlock(from, to, length, bufferSize);
    return;
  }
  dropBuffer();
  const std::int64_t end = size();
  // Offsets out of range are this stream's finding, not a system call's: error 0.
  if (from > end || length > end - from) {
    failWith(kMessageCannotRead, 0);
  }
  if (to > std::numeric_limits<std::int64_t>::max() - length) {
    failWith(kMessageCannotPosition, 0);
  }
  const auto distance = static_cast<std::uint64_t>(to < from ? from - to : to - from);
  const int file = io->descriptor();
  const Transfer moved = transfer(file, from, file, to, static_cast<std::uint64_t>(length),
                                  distance >= kSmallestKernelPiece ? distance : 0,
                                  [this](std::size_t n) { return scratch(n); });
  if (moved.fault == Fault::writing) {
    failWith(kMessageCannotWrite, moved.error);
  }
  if (moved.fault == Fault::reading || moved.done < static_cast<std::uint64_t>(length)) {
    failWith(kMessageCannotRead, moved.error);  // 0 where the file ended
  }
  seekp(to + length);
}

}  // namespace vesk
