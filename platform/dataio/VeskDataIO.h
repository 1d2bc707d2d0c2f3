/// \file VeskDataIO.h
/// The entry points of the data I/O library: opening files as CIOParent objects.
#ifndef VESK_VESKDATAIO_H
#define VESK_VESKDATAIO_H

#include <cstdint>

#include "CIOParent.h"

/// How VeskCreateIO opens a file.
enum FILE_CREATION_FLAG {
  FILE_CREATE_NEW = 1,         ///< create it empty; fail when it exists
  FILE_OPEN_EXISTING = 2,      ///< open it with its content; fail when it is missing
  FILE_OPEN_ALWAYS = 3,        ///< open it with its content, or create it empty
  FILE_CREATE_ALWAYS = 4,      ///< create it empty, replacing any existing file
  FILE_TRUNCATE_EXISTING = 5,  ///< open it and empty it; fail when it is missing
};

/// Bits of the access mask of VeskCreateIO.
inline constexpr std::uint32_t VESK_ACCESS_READ = 0x80000000u;
/// Write access.
inline constexpr std::uint32_t VESK_ACCESS_WRITE = 0x40000000u;

/// Opens `path` and answers its file object, owned by the caller, or null (errno tells why).
/// `bufferSize` bytes of buffer serve reading and writing; 0 reads and writes directly. The
/// third argument is accepted and not used.
CIOParent* VeskCreateIO(const char* path, std::uint32_t access, std::uint32_t third,
                        FILE_CREATION_FLAG creation, int bufferSize);

/// Nonzero when a file of that name exists.
int VeskExists(const char* path);

#endif  // VESK_VESKDATAIO_H
