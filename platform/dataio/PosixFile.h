// PosixFile: the CIOParent of an open POSIX file descriptor, with one buffer that holds
// either bytes waiting to be written or bytes read ahead. Its system calls go through
// vesk::FileDescriptor, so reads and writes are whole and retried on EINTR; close is not
// retried. The file's size is learned once and then followed through this object's writes,
// so nobody else may change the file meanwhile. The destructor writes what is buffered and
// never throws; a caller that must know whether that worked calls flush() first.
#ifndef VESK_POSIXFILE_H
#define VESK_POSIXFILE_H

#include <cstddef>
#include <memory>
#include <string>

#include "CIOParent.h"
#include "FileDescriptor.h"

class PosixFile : public CIOParent {
 public:
  // Takes ownership of `descriptor`.
  PosixFile(int descriptor, std::string path, std::size_t bufferSize);
  ~PosixFile() override;

  IOPosition* delayedPosition() override { return nullptr; }
  bool ready() override { return file_.valid(); }
  int querySize(std::uint64_t* bytes) override;
  int setEndOfFile() override;
  int atEnd() override;
  std::int64_t tell() override { return position_; }
  int seek(int origin, std::int64_t offset) override;
  int writeBytes(const char* buffer, unsigned count, std::uint32_t* done) override;
  int readBytes(char* buffer, unsigned count, std::uint32_t* done) override;
  int flush() override;
  int dropBuffer() override;
  int discardWrites() override;
  int sync() override;
  int lastError() const override { return error_; }
  const char* path() const override { return path_.c_str(); }
  int descriptor() const override { return file_.get(); }

 private:
  int failWith(int error);
  bool flushWrites();
  bool writeAt(const char* bytes, std::size_t count, std::int64_t offset);
  // Reads up to `count` bytes at `offset`; -1 on failure, fewer bytes only at the end.
  std::int64_t readAt(char* bytes, std::size_t count, std::int64_t offset);
  char* buffer();
  std::size_t copyFromReadAhead(char* bytes, std::size_t count);
  std::size_t readAheadFor(std::size_t wanted) const;
  bool fileSize(std::int64_t& bytes);

  vesk::FileDescriptor file_;
  std::string path_;
  std::size_t capacity_;
  std::unique_ptr<char[]> buffer_;
  std::int64_t position_ = 0;
  // The buffer holds bufferLength_ bytes of the file from bufferStart_ on: bytes still to be
  // written when dirty_, else bytes read ahead.
  std::int64_t bufferStart_ = 0;
  std::size_t bufferLength_ = 0;
  bool dirty_ = false;
  std::int64_t knownSize_ = -1;  // the file's size as last learned, or -1
  std::int64_t readEnd_ = 0;     // where the last read ended
  int error_ = 0;
  // Whether the descriptor was opened for writing; writes to a read-only file fail at once
  // instead of when the buffer is handed to the system.
  bool writable_;
};

#endif  // VESK_POSIXFILE_H
