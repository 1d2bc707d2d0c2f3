/// \class vesk::FileDescriptor FileDescriptor.h <vesk/FileDescriptor.h>
/// FileDescriptor: one open POSIX file descriptor, owned. It is the one place where the
/// libraries and the tool make the system calls that read, write, sync and open files:
/// reads and writes are whole (retried on EINTR and on short transfers), opens add O_CLOEXEC
/// and are retried on EINTR, close is never retried. Failures answer false (or -1) and leave
/// errno as the failing call set it, for the caller to report with the path
/// (VeskException::systemError). Move-only; the destructor closes and never throws. The static
/// forms work on descriptors owned elsewhere. One thread at a time per object.
#ifndef VESK_FILEDESCRIPTOR_H
#define VESK_FILEDESCRIPTOR_H

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace vesk {

class FileDescriptor {
 public:
  FileDescriptor() noexcept = default;
  /// Takes ownership of `descriptor` (-1 for none).
  explicit FileDescriptor(int descriptor) noexcept : fd_(descriptor) {}
  /// Takes the descriptor of `other`, which holds none afterwards.
  FileDescriptor(FileDescriptor&& other) noexcept;
  /// Closes the descriptor held and takes that of `other`.
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor();

  /// open(2) and openat(2) with O_CLOEXEC added; an invalid object on failure (errno).
  static FileDescriptor open(const char* path, int flags, mode_t mode = 0666) noexcept;
  /// The same, relative to the open folder `folder`.
  static FileDescriptor openAt(int folder, const char* name, int flags,
                               mode_t mode = 0666) noexcept;

  /// A new file, opened for reading and writing, named `prefix` and `suffixLength` random
  /// letters and digits that no file in `folder` (AT_FDCWD: the current one) has; `name`
  /// receives the name. An invalid object on failure (errno).
  static FileDescriptor createUnique(int folder, const std::string& prefix,
                                     std::size_t suffixLength, std::string& name);

  /// Whether a descriptor is held.
  bool valid() const noexcept { return fd_ >= 0; }
  /// The descriptor, -1 when none is held.
  int get() const noexcept { return fd_; }
  /// Gives the descriptor up without closing it.
  int release() noexcept;
  /// Closes now (not retried); false, with errno, when close reports an error.
  bool close() noexcept;

  /// Reads up to `count` bytes at `offset`; answers the bytes read, fewer only where the file
  /// ends, or -1 on failure.
  std::int64_t readAt(void* buffer, std::size_t count, std::int64_t offset) const noexcept {
    return readAt(fd_, buffer, count, offset);
  }
  /// Reads up to `count` bytes at the descriptor's own offset (pipes, terminals), fewer only at
  /// the end; -1 on failure.
  std::int64_t read(void* buffer, std::size_t count) const noexcept;
  /// Writes all `count` bytes at `offset`, or at the descriptor's own offset; false on failure
  /// (a write that makes no progress fails with EIO).
  bool writeAt(const void* buffer, std::size_t count, std::int64_t offset) const noexcept {
    return writeAt(fd_, buffer, count, offset);
  }
  /// \copydoc writeAt(const void*, std::size_t, std::int64_t) const
  bool write(const void* buffer, std::size_t count) const noexcept;

  /// fdatasync(2) and fsync(2).
  bool syncData() const noexcept;
  /// \copydoc syncData
  bool sync() const noexcept;
  /// Asks the system to start writing the file's dirty pages in [offset, offset + length) to
  /// the disk and returns without waiting (sync_file_range(2)), so that a later sync finds
  /// less to do. Durability still takes a sync. False with errno on failure.
  static bool startWriteback(int descriptor, std::int64_t offset, std::int64_t length) noexcept;
  /// fstat(2).
  bool status(struct stat& result) const noexcept;
  /// ftruncate(2).
  bool truncate(std::int64_t size) const noexcept;
  /// Makes sure `bytes` bytes from `offset` on are allocated (posix_fallocate), so that later
  /// writes there cannot fail for want of space. False with errno (ENOSPC) when they cannot be.
  bool reserve(std::int64_t offset, std::int64_t bytes) const noexcept;

  /// The same on a descriptor that this object does not own.
  static std::int64_t readAt(int descriptor, void* buffer, std::size_t count,
                             std::int64_t offset) noexcept;
  /// \copydoc writeAt(const void*, std::size_t, std::int64_t) const
  static bool writeAt(int descriptor, const void* buffer, std::size_t count,
                      std::int64_t offset) noexcept;
  /// \copydoc write(const void*, std::size_t) const
  static bool write(int descriptor, const void* buffer, std::size_t count) noexcept;

  /// Syncs the folder that holds `path` (its parent, "." for a bare name), so that the
  /// creation, renaming or removal of `path` is durable. False with errno on failure.
  static bool syncFolderOf(const std::string& path) noexcept;

 private:
  int fd_ = -1;
};

}  // namespace vesk

#endif  // VESK_FILEDESCRIPTOR_H
