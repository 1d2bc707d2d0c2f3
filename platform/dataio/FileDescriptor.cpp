#include "FileDescriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <random>
#include <utility>

namespace vesk {

namespace {

// Repeats `call(done)`, which transfers bytes from `done` on and answers as read(2), until
// `count` bytes are in or the file ends; -1 on failure.
template <class Call>
std::int64_t transferWhole(std::size_t count, Call call) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = call(done);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      return -1;
    }
    if (got == 0) {
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  return static_cast<std::int64_t>(done);
}

// As transferWhole, but for writes: all `count` bytes go out, and a call that writes nothing
// is a failure (EIO) rather than an end.
template <class Call>
bool writeWhole(std::size_t count, Call call) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t put = call(done);
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put <= 0) {
      if (put == 0) {
        errno = EIO;
      }
      return false;
    }
    done += static_cast<std::size_t>(put);
  }
  return true;
}

// The file offset `done` bytes behind `offset`, without signed overflow: one out of range
// comes out negative, and the system refuses it.
off_t offsetAt(std::int64_t offset, std::size_t done) {
  return static_cast<off_t>(static_cast<std::uint64_t>(offset) + done);
}

// The folder that holds `path`: what stands before its last name, "." for a bare name.
std::string folderOf(const std::string& path) {
  std::string::size_type end = path.find_last_not_of('/');
  if (end == std::string::npos) {
    return path.empty() ? "." : "/";
  }
  const std::string::size_type slash = path.rfind('/', end);
  if (slash == std::string::npos) {
    return ".";
  }
  end = path.find_last_not_of('/', slash);
  return end == std::string::npos ? "/" : path.substr(0, end + 1);
}

}  // namespace

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}

// Closing what this object held keeps errno, as the destructor does.
FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    const int saved = errno;
    close();
    errno = saved;
    fd_ = other.release();
  }
  return *this;
}

// errno is kept, so that a caller may report a failure after the object that met it is gone.
FileDescriptor::~FileDescriptor() {
  const int saved = errno;
  close();
  errno = saved;
}

FileDescriptor FileDescriptor::open(const char* path, int flags, mode_t mode) noexcept {
  return openAt(AT_FDCWD, path, flags, mode);
}

// A null name is taken as the empty one, which no folder holds.
FileDescriptor FileDescriptor::openAt(int folder, const char* name, int flags,
                                      mode_t mode) noexcept {
  int fd = -1;
  do {
    fd = ::openat(folder, name != nullptr ? name : "", flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return FileDescriptor(fd);
}

FileDescriptor FileDescriptor::createUnique(int folder, const std::string& prefix,
                                            std::size_t suffixLength, std::string& name) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  static std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(::getpid())};
  for (;;) {
    name = prefix;
    for (std::size_t i = 0; i < suffixLength; ++i) {
      name += kLetters[random() % (sizeof kLetters - 1)];
    }
    FileDescriptor file =
        openAt(folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
    if (file.valid() || errno != EEXIST) {
      return file;
    }
  }
}

int FileDescriptor::release() noexcept {
  return std::exchange(fd_, -1);
}

bool FileDescriptor::close() noexcept {
  if (fd_ < 0) {
    return true;
  }
  return ::close(release()) == 0;
}

std::int64_t FileDescriptor::read(void* buffer, std::size_t count) const noexcept {
  auto* bytes = static_cast<char*>(buffer);
  return transferWhole(count,
                       [&](std::size_t done) { return ::read(fd_, bytes + done, count - done); });
}

bool FileDescriptor::write(const void* buffer, std::size_t count) const noexcept {
  return write(fd_, buffer, count);
}

bool FileDescriptor::syncData() const noexcept {
  return ::fdatasync(fd_) == 0;
}

bool FileDescriptor::sync() const noexcept {
  return ::fsync(fd_) == 0;
}

bool FileDescriptor::startWriteback(int descriptor, std::int64_t offset,
                                    std::int64_t length) noexcept {
  return ::sync_file_range(descriptor, offset, length, SYNC_FILE_RANGE_WRITE) == 0;
}

bool FileDescriptor::status(struct stat& result) const noexcept {
  return ::fstat(fd_, &result) == 0;
}

bool FileDescriptor::truncate(std::int64_t size) const noexcept {
  int result = 0;
  do {
    result = ::ftruncate(fd_, static_cast<off_t>(size));
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

// Reserving nothing succeeds; posix_fallocate itself refuses a length of 0.
bool FileDescriptor::reserve(std::int64_t offset, std::int64_t bytes) const noexcept {
  if (bytes == 0) {
    return true;
  }
  int error = 0;
  do {
    error = ::posix_fallocate(fd_, static_cast<off_t>(offset), static_cast<off_t>(bytes));
  } while (error == EINTR);
  if (error != 0) {
    errno = error;
    return false;
  }
  return true;
}

std::int64_t FileDescriptor::readAt(int descriptor, void* buffer, std::size_t count,
                                    std::int64_t offset) noexcept {
  auto* bytes = static_cast<char*>(buffer);
  return transferWhole(count, [&](std::size_t done) {
    return ::pread(descriptor, bytes + done, count - done, offsetAt(offset, done));
  });
}

bool FileDescriptor::writeAt(int descriptor, const void* buffer, std::size_t count,
                             std::int64_t offset) noexcept {
  const auto* bytes = static_cast<const char*>(buffer);
  return writeWhole(count, [&](std::size_t done) {
    return ::pwrite(descriptor, bytes + done, count - done, offsetAt(offset, done));
  });
}

bool FileDescriptor::write(int descriptor, const void* buffer, std::size_t count) noexcept {
  const auto* bytes = static_cast<const char*>(buffer);
  return writeWhole(
      count, [&](std::size_t done) { return ::write(descriptor, bytes + done, count - done); });
}

bool FileDescriptor::syncFolderOf(const std::string& path) noexcept {
  try {
    const FileDescriptor folder = open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (!folder.valid() || !folder.sync()) {
      return false;
    }
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
    return false;
  }
  return true;
}

}  // namespace vesk
