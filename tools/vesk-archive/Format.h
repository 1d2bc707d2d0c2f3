// Format: the texts vesk-archive shows for sizes, durations, times and names.
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
  // "before -> after" in bytes(), or in exact bytes when bytes() would show the two alike.
  static std::string change(std::uint64_t before, std::uint64_t after);
  // "0:07", "12:30", "1:02:03".
  static std::string duration(std::uint64_t seconds);
  // The local time as "2024-05-01 12:30".
  static std::string time(const TimeDate& when);
  // UTC as "2024-05-01T12:30:00Z".
  static std::string isoTime(const TimeDate& when);
  // `name` fit for a terminal: control characters and '\' written as C escapes ("\n",
  // "\x1b", "\\"), so that no name can move the cursor or fake a line.
  static std::string name(const std::string& name);
};

}  // namespace vesk

#endif  // VESK_FORMAT_H
