// Bytes the process has taken from the allocator and not given back, counting the blocks
// large enough to get pages of their own (a vector of a million entries) as well as the rest.
#ifndef VESK_BENCH_HEAPINUSE_H
#define VESK_BENCH_HEAPINUSE_H

#include <malloc.h>

#include <cstddef>

inline std::size_t heapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

#endif  // VESK_BENCH_HEAPINUSE_H
