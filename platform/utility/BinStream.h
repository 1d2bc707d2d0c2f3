/// \class vesk::BinStream BinStream.h <vesk/BinStream.h>
/// BinStream: the abstract binary stream that trees are written to and read from and that
/// holds an archive's data blocks. It has one position, shared by reading and writing.
/// Concrete streams report a failed operation by setting their failed state and throwing a
/// VeskException; throwOnError() is the check that record writers and readers make after each
/// fixed-size field. A stream belongs to one thread at a time.
#ifndef VESK_BINSTREAM_H
#define VESK_BINSTREAM_H

#include <cstdint>
#include <ios>
#include <memory>

class IOPosition;

namespace vesk {

/// The open-mode bits of BinStream::matchingStream and of a file stream opened by path, such as
/// BinVeskStream: read and write access, and truncate to empty. A mode needs read or write;
/// the combinations are ORed, e.g. OpenMode::readWrite | OpenMode::truncate.
namespace OpenMode {
inline constexpr int read = 0x01;
inline constexpr int write = 0x02;
inline constexpr int truncate = 0x10;
inline constexpr int readWrite = read | write;
/// Every bit a mode may hold.
inline constexpr int all = readWrite | truncate;
}  // namespace OpenMode

class BinStream {
 public:
  BinStream();
  BinStream(const BinStream&) = delete;
  BinStream& operator=(const BinStream&) = delete;
  virtual ~BinStream();

  /// Leaves the failed state.
  virtual void clear() = 0;

  /// Copies `count` bytes of the file `source`, from `sourceOffset` on, to the current
  /// position, `bufferSize` bytes at a time, and answers the bytes copied: fewer than `count`
  /// when the source ends early. Throws VeskException naming the source when it cannot be
  /// opened or read, and the stream's own error when writing fails.
  virtual unsigned copyFile(const char* source, unsigned count, const std::int64_t& sourceOffset,
                            unsigned bufferSize);

  virtual bool eof() const = 0;
  virtual bool fail() const = 0;

  /// A new stream of the same kind on `path`, owned by the caller.
  virtual BinStream* matchingStream(const char* path, int mode) = 0;

  /// Reads or writes exactly `count` bytes, or fails.
  virtual BinStream& read(char* buffer, unsigned count) = 0;
  virtual BinStream& write(const char* buffer, unsigned count) = 0;

  virtual BinStream& seekg(std::int64_t offset, std::ios_base::seekdir direction) = 0;
  virtual BinStream& seekg(std::int64_t offset) = 0;
  virtual BinStream& seekp(std::int64_t offset, std::ios_base::seekdir direction) = 0;
  virtual BinStream& seekp(std::int64_t offset) = 0;

  /// Cuts the stream at the current position.
  virtual void setEOF() = 0;
  virtual std::int64_t size() = 0;
  virtual std::int64_t tellg() = 0;
  virtual std::int64_t tellp() = 0;

  /// A position that becomes known later, owned by the caller, or null when the write
  /// position is known now (tellp()).
  virtual IOPosition* telldelayp() = 0;

  virtual const char* version() const = 0;

  /// Moves `length` bytes at `from` to `to`, `bufferSize` bytes at a time, correct whatever
  /// the overlap; afterwards the position stands just behind the moved bytes (to + length).
  /// A length of 0 or less moves nothing and positions at `to`.
  virtual void shiftBlock(std::int64_t from, std::int64_t to, std::int64_t length,
                          unsigned bufferSize);

 protected:
  /// Throws VeskException when the stream is in the failed state.
  void throwOnError() const;

  /// A scratch buffer of at least `bytes`, kept for later calls.
  char* scratch(std::size_t bytes);

 private:
  // The writers and readers of stored records.
  friend class StdString;
  friend class TimeDate;
  friend class TreeNode;

  std::unique_ptr<char[]> scratch_;
  std::size_t scratchSize_ = 0;
};

}  // namespace vesk

#endif  // VESK_BINSTREAM_H
