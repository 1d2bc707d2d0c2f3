/// \class vesk::BinVeskStream BinVeskStream.h <vesk/BinVeskStream.h>
/// BinVeskStream: the archive stream, a BinStream over a file opened through the data I/O
/// library. Each stream operation is one call on the file object, which the stream owns
/// through a handle and deletes with its last handle; reading and writing share its single
/// position. Every failure throws VeskException; a failed read, write, seek or size query
/// also puts the stream in the failed state until clear(). The stream's own errors carry the
/// file object's path and the errno of the failure (VeskException::error(), 0 where no system
/// call failed, as for a read past the end). Positions and sizes are 64-bit. copyFile,
/// copyFrom and shiftBlock copy in the kernel where they can. One thread at a time.
#ifndef VESK_BINVESKSTREAM_H
#define VESK_BINVESKSTREAM_H

#include <cstdint>

#include "BinStream.h"
#include "SmartPointer.h"
#include "VeskDataIO.h"
#include "VeskException.h"

namespace vesk {

class BinVeskStream : public BinStream {
 public:
  /// Opens `path` by OpenMode bits (OpenMode::read, write, truncate). A missing file is
  /// created; an existing one keeps its content unless OpenMode::truncate is given. `buffered`
  /// gives the file object a 2 MiB buffer; other bits add nothing. Throws VeskException
  /// "Invalid open mode", with EINVAL and `path` as its cause, for a mode with neither read
  /// nor write, before anything is created; "VeskCreateIO failed" when the file cannot be opened,
  /// with the errno of the open and `path` as its cause.
  BinVeskStream(const char* path, int mode, bool buffered);
  /// Opens `path` with the data I/O library's own access mask and creation flag; `third` is
  /// passed on unchanged. Throws as the constructor above.
  BinVeskStream(const char* path, std::uint32_t access, std::uint32_t third,
                FILE_CREATION_FLAG creation, bool buffered);
  /// Adopts an open file object, which the stream deletes with its last handle; throws as the
  /// constructors above for a null one. Lets a caller put a file object of its own (one that
  /// journals, or one that fails on purpose) behind the archive stream.
  explicit BinVeskStream(CIOParent* file);
  ~BinVeskStream() override;

  void clear() override;
  /// As BinStream::copyFile; copies in the kernel and ignores `bufferSize`.
  unsigned copyFile(const char* source, unsigned count, const std::int64_t& sourceOffset,
                    unsigned bufferSize) override;
  /// As copyFile, from the open file `descriptor`, which the caller keeps and whose own offset
  /// is neither used nor moved; `name` only names the source in messages.
  unsigned copyFrom(int descriptor, const char* name, unsigned count, std::int64_t offset);
  bool eof() const override;
  bool fail() const override;
  /// A new buffered BinVeskStream on `path` by `mode`, owned by the caller.
  BinStream* matchingStream(const char* path, int mode) override;
  /// A short read is a failure; the bytes a failed read left in `buffer` are undefined.
  BinStream& read(char* buffer, unsigned count) override;
  BinStream& write(const char* buffer, unsigned count) override;
  /// A `direction` other than beg, cur or end seeks from the current position.
  BinStream& seekg(std::int64_t offset, std::ios_base::seekdir direction) override;
  BinStream& seekg(std::int64_t offset) override;
  BinStream& seekp(std::int64_t offset, std::ios_base::seekdir direction) override;
  BinStream& seekp(std::int64_t offset) override;
  /// Throws "Set end of file failed" on failure without entering the failed state.
  void setEOF() override;
  std::int64_t size() override;
  std::int64_t tellg() override;
  std::int64_t tellp() override;
  /// The file object's delayed position, owned by the caller; null when tellp() knows it.
  IOPosition* telldelayp() override;
  const char* version() const override;
  /// As BinStream::shiftBlock; moves in the kernel where it can. A block that reaches past
  /// the end fails with the read error before anything is moved.
  void shiftBlock(std::int64_t from, std::int64_t to, std::int64_t length,
                  unsigned bufferSize) override;

  /// Always true: a constructed stream holds its file object.
  bool isOpen() const;

  /// Hands buffered writes to the system; throws the write error on failure.
  void flush();
  /// Flushes and waits until the file's data is durable; throws the write error on failure.
  void sync();
  /// The descriptor of the file object's file, or -1 when it has none.
  int descriptor() const;
  /// Forgets writes still in the buffer without writing them, so that the file holds just
  /// what reached it (after a failed write, to cut the stream where its data really ends).
  void discardWrites();

 private:
  // `text` with `error` and the file object's path as its cause.
  VeskException streamError(const StdString& text, int error) const;
  // Enters the failed state and throws the message `messageId` with `error` as its cause.
  [[noreturn]] void failWith(int messageId, int error);
  BinStream& seek(std::int64_t offset, std::ios_base::seekdir direction);
  unsigned copyInKernel(int file, const char* source, unsigned count, std::int64_t sourceOffset);
  unsigned copyThroughBuffer(int file, const char* source, unsigned count,
                             std::int64_t sourceOffset);
  // Empties the file object's buffer so that its descriptor can be used directly.
  void dropBuffer();

  bool readyFlag;
  SmartPointer<CIOParent> io;
  bool failFlag;
};

}  // namespace vesk

#endif  // VESK_BINVESKSTREAM_H
