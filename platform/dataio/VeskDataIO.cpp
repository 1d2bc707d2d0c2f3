#include "VeskDataIO.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "FileDescriptor.h"
#include "PosixFile.h"

namespace {

int accessFlags(std::uint32_t access) {
  const bool reading = (access & VESK_ACCESS_READ) != 0;
  const bool writing = (access & VESK_ACCESS_WRITE) != 0;
  if (reading && writing) {
    return O_RDWR;
  }
  return writing ? O_WRONLY : O_RDONLY;
}

int creationFlags(FILE_CREATION_FLAG creation) {
  switch (creation) {
    case FILE_CREATE_NEW:
      return O_CREAT | O_EXCL;
    case FILE_OPEN_EXISTING:
      return 0;
    case FILE_OPEN_ALWAYS:
      return O_CREAT;
    case FILE_CREATE_ALWAYS:
      return O_CREAT | O_TRUNC;
    case FILE_TRUNCATE_EXISTING:
      return O_TRUNC;
  }
  return -1;
}

}  // namespace

CIOParent* VeskCreateIO(const char* path, std::uint32_t access, std::uint32_t /*third*/,
                        FILE_CREATION_FLAG creation, int bufferSize) {
  const int creating = creationFlags(creation);
  if (path == nullptr || creating < 0) {
    errno = EINVAL;
    return nullptr;
  }
  vesk::FileDescriptor file = vesk::FileDescriptor::open(path, accessFlags(access) | creating);
  struct stat status {};
  if (!file.valid() || !file.status(status)) {
    return nullptr;
  }
  if (S_ISDIR(status.st_mode)) {
    errno = EISDIR;
    return nullptr;
  }
  return new PosixFile(file.release(), path,
                       bufferSize > 0 ? static_cast<std::size_t>(bufferSize) : 0);
}

int VeskExists(const char* path) {
  struct stat status {};
  return path != nullptr && ::stat(path, &status) == 0 ? 1 : 0;
}
