#include "Format.h"

#include <time.h>

#include <array>
#include <cstdio>

namespace vesk {

std::string Format::bytes(std::uint64_t count) {
  static constexpr std::array<const char*, 6> kUnits = {"B", "KiB", "MiB", "GiB", "TiB", "PiB"};
  if (count < 1024) {
    return std::to_string(count) + " B";
  }
  auto value = static_cast<double>(count);
  std::size_t unit = 0;
  while (value >= 1024.0 && unit + 1 < kUnits.size()) {
    value /= 1024.0;
    ++unit;
  }
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%.1f %s", value, kUnits[unit]);
  return text.data();
}

std::string Format::time(const TimeDate& when) {
  const time_t seconds = when.toTimespec().tv_sec;
  struct tm local {};
  std::array<char, 32> text{};
  if (::localtime_r(&seconds, &local) == nullptr ||
      std::strftime(text.data(), text.size(), "%Y-%m-%d %H:%M", &local) == 0) {
    return "?";
  }
  return text.data();
}

}  // namespace vesk
