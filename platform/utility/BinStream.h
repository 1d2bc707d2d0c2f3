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
/// the combinations are ORed, e.g. OpenMode::readWrite | OpenMode::truncate. Other bits (the
/// binary flag of a caller's standard library, say) add nothing.
namespace OpenMode {
/// Read access.
inline constexpr int read = 0x01;
/// Write access.
inline constexpr int write = 0x02;
/// Truncate an existing file to empty.
inline constexpr int truncate = 0x10;
/// Read and write access.
inline constexpr int readWrite = read | write;
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

  /// Whether the position stands at or past the end.
  virtual bool eof() const = 0;
  /// Whether the stream is in the failed state.
  virtual bool fail() const = 0;

  /// A new stream of the same kind on `path`, owned by the caller.
  virtual BinStream* matchingStream(const char* path, int mode) = 0;

  /// Reads or writes exactly `count` bytes, or fails.
  virtual BinStream& read(char* buffer, unsigned count) = 0;
  /// \copydoc read
  virtual BinStream& write(const char* buffer, unsigned count) = 0;

  /// Moves the position by `offset` from the start, the current position or the end.
  virtual BinStream& seekg(std::int64_t offset, std::ios_base::seekdir direction) = 0;
  /// Moves the position to `offset` from the start.
  virtual BinStream& seekg(std::int64_t offset) = 0;
  /// \copydoc seekg(std::int64_t, std::ios_base::seekdir)
  virtual BinStream& seekp(std::int64_t offset, std::ios_base::seekdir direction) = 0;
  /// \copydoc seekg(std::int64_t)
  virtual BinStream& seekp(std::int64_t offset) = 0;

  /// Cuts the stream at the current position.
  virtual void setEOF() = 0;
  /// The stream's size in bytes.
  virtual std::int64_t size() = 0;
  /// The position; reading and writing share it.
  virtual std::int64_t tellg() = 0;
  /// \copydoc tellg
  virtual std::int64_t tellp() = 0;

  /// A position that becomes known later, owned by the caller, or null when the write
  /// position is known now (tellp()).
  virtual IOPosition* telldelayp() = 0;

  /// The version text of the stream's class.
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
