/// \class vesk::MemoryStream MemoryStream.h <vesk/MemoryStream.h>
/// MemoryStream: a BinStream over bytes in memory, which it owns. It behaves like a file
/// stream: one position for reading and writing, writing past the end grows it, and a failed
/// operation sets the failed state and throws VeskException with the utility message of the
/// operation. Useful to keep a saved tree in memory and in tests.
#ifndef VESK_MEMORYSTREAM_H
#define VESK_MEMORYSTREAM_H

#include <string>

#include "BinStream.h"

namespace vesk {

class MemoryStream : public BinStream {
 public:
  MemoryStream() = default;
  /// A stream that holds `bytes`, positioned at the start.
  explicit MemoryStream(std::string bytes);
  ~MemoryStream() override;

  void clear() override { failed_ = false; }
  bool eof() const override { return position_ >= static_cast<std::int64_t>(bytes_.size()); }
  bool fail() const override { return failed_; }
  /// A new, empty memory stream; the path and mode are not used.
  BinStream* matchingStream(const char* path, int mode) override;
  BinStream& read(char* buffer, unsigned count) override;
  BinStream& write(const char* buffer, unsigned count) override;
  BinStream& seekg(std::int64_t offset, std::ios_base::seekdir direction) override;
  BinStream& seekg(std::int64_t offset) override;
  BinStream& seekp(std::int64_t offset, std::ios_base::seekdir direction) override;
  BinStream& seekp(std::int64_t offset) override;
  void setEOF() override;
  std::int64_t size() override { return static_cast<std::int64_t>(bytes_.size()); }
  std::int64_t tellg() override { return position_; }
  std::int64_t tellp() override { return position_; }
  IOPosition* telldelayp() override { return nullptr; }
  const char* version() const override { return "MemoryStream 1.0, 05.12.2026"; }

  /// The bytes the stream holds.
  const std::string& bytes() const noexcept { return bytes_; }
  /// \copydoc bytes() const
  std::string& bytes() noexcept { return bytes_; }

 private:
  [[noreturn]] void failWith(int messageId);
  BinStream& seek(std::int64_t offset, std::ios_base::seekdir direction);

  std::string bytes_;
  std::int64_t position_ = 0;
  bool failed_ = false;
};

}  // namespace vesk

#endif  // VESK_MEMORYSTREAM_H
