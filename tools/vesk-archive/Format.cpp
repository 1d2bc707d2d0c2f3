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

std::string Format::change(std::uint64_t before, std::uint64_t after) {
  if (bytes(before) != bytes(after)) {
    return bytes(before) + " -> " + bytes(after);
  }
  return std::to_string(before) + " B -> " + std::to_string(after) + " B";
}

std::string Format::duration(std::uint64_t seconds) {
  std::array<char, 32> text{};
  if (seconds >= 3600) {
    std::snprintf(text.data(), text.size(), "%llu:%02u:%02u",
                  static_cast<unsigned long long>(seconds / 3600),
                  static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
  } else {
    std::snprintf(text.data(), text.size(), "%u:%02u", static_cast<unsigned>(seconds / 60),
                  static_cast<unsigned>(seconds % 60));
  }
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

std::string Format::isoTime(const TimeDate& when) {
  const time_t seconds = when.toTimespec().tv_sec;
  struct tm utc {};
  std::array<char, 32> text{};
  if (::gmtime_r(&seconds, &utc) == nullptr ||
      std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%SZ", &utc) == 0) {
    return "?";
  }
  return text.data();
}

std::string Format::name(const std::string& name) {
  std::string shown;
  shown.reserve(name.size());
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      shown += "\\\\";
    } else if (c == '\n') {
      shown += "\\n";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (byte < 0x20 || byte == 0x7f) {
      std::array<char, 8> escape{};
      std::snprintf(escape.data(), escape.size(), "\\x%02x", byte);
      shown += escape.data();
    } else {
      shown += c;
    }
  }
  return shown;
}

}  // namespace vesk
