// Appends files to an archive stream the way commit does: for each file an 8-byte
// little-endian length prefix, then its bytes by copyFile in 64 KiB pieces. Used by
// compare-with-cat.sh to set the archive stream's throughput against cat's.
#include <sys/stat.h>

#include <cstdio>
#include <exception>

#include "BinVeskStream.h"
#include "ByteOrder.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s ARCHIVE FILE...\n", argv[0]);
    return 2;
  }
  try {
    vesk::BinVeskStream archive(argv[1], 0x02 | 0x10, true);
    for (int i = 2; i < argc; ++i) {
      struct stat status {};
      if (::stat(argv[i], &status) != 0) {
        std::perror(argv[i]);
        return 1;
      }
      const auto size = static_cast<unsigned>(status.st_size);
      char prefix[8];
      vesk::storeLittle64(prefix, size);
      archive.write(prefix, sizeof prefix);
      if (archive.copyFile(argv[i], size, 0, 65536) != size) {
        std::fprintf(stderr, "%s: shorter than expected\n", argv[i]);
        return 1;
      }
    }
    archive.flush();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
