/// \class CIOParent CIOParent.h <vesk/CIOParent.h>
/// CIOParent: an open file of the data I/O library, with one position for reading and
/// writing. Positions and sizes are 64-bit. Every operation but delayedPosition and tell
/// answers nonzero on success (atEnd: nonzero at the end of the file); a failure leaves its
/// errno in lastError(). The object owns its file and closes it when it is deleted; it
/// belongs to one thread at a time.
#ifndef VESK_CIOPARENT_H
#define VESK_CIOPARENT_H

#include <cstdint>

class IOPosition;

class CIOParent {
 public:
  CIOParent() = default;
  CIOParent(const CIOParent&) = delete;
  CIOParent& operator=(const CIOParent&) = delete;

  /// A position that becomes known later, owned by the caller; null when tell() knows it.
  virtual IOPosition* delayedPosition() = 0;
  /// Whether the file is open and usable.
  virtual bool ready() = 0;
  /// Puts the file's size in `bytes`.
  virtual int querySize(std::uint64_t* bytes) = 0;
  /// Cuts the file at the current position.
  virtual int setEndOfFile() = 0;
  /// Nonzero when the position stands at or past the end of the file.
  virtual int atEnd() = 0;
  /// The position.
  virtual std::int64_t tell() = 0;
  /// Positions at `offset` from the start (origin 0), the current position (1) or the end (2).
  virtual int seek(int origin, std::int64_t offset) = 0;
  /// Writes `count` bytes; `done` receives the bytes written.
  virtual int writeBytes(const char* buffer, unsigned count, std::uint32_t* done) = 0;
  /// Reads up to `count` bytes; `done` receives the bytes read, fewer only at the end.
  virtual int readBytes(char* buffer, unsigned count, std::uint32_t* done) = 0;

  /// Hands buffered writes to the system.
  virtual int flush() = 0;
  /// Hands buffered writes to the system and forgets what was read ahead, so that the file
  /// can then be read and written through descriptor() without the buffer going stale. The
  /// position is kept.
  virtual int dropBuffer() = 0;
  /// Forgets buffered writes without writing them (after a write failed for want of space,
  /// so that what the file holds is exactly what reached it). The position is kept.
  virtual int discardWrites() = 0;
  /// Flushes and waits until the file's data is durable.
  virtual int sync() = 0;
  /// The errno of the last failed operation, 0 when none failed.
  virtual int lastError() const = 0;
  /// The path the file was opened by.
  virtual const char* path() const = 0;
  /// The file descriptor, for system calls that copy between files; -1 when there is none.
  /// Call dropBuffer() before using it; the position is not the descriptor's offset.
  virtual int descriptor() const = 0;

  virtual ~CIOParent();
};

#endif  // VESK_CIOPARENT_H
