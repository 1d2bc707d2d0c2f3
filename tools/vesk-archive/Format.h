// Format: the texts vesk-archive shows for sizes, rates and times.
#ifndef VESK_FORMAT_H
#define VESK_FORMAT_H

#include <cstdint>
#include <string>

#include "TimeDate.h"

namespace vesk {

class Format {
 public:
  // "532 B", "1.2 KiB", "3.4 GiB".
  static std::string bytes(std::uint64_t count);
  // The local time as "2024-05-01 12:30".
  static std::string time(const TimeDate& when);
};

}  // namespace vesk

#endif  // VESK_FORMAT_H
