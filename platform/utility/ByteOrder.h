// Little-endian composition of fixed-width integers. Every stored record goes through these,
// so the byte order of stored trees and block prefixes does not depend on the host.
#ifndef VESK_BYTEORDER_H
#define VESK_BYTEORDER_H

#include <cstdint>

namespace vesk {

inline void storeLittle16(char* out, std::uint16_t value) noexcept {
  for (int i = 0; i < 2; ++i) {
    out[i] = static_cast<char>((value >> (8 * i)) & 0xFFu);
  }
}

inline void storeLittle32(char* out, std::uint32_t value) noexcept {
  for (int i = 0; i < 4; ++i) {
    out[i] = static_cast<char>((value >> (8 * i)) & 0xFFu);
  }
}

inline void storeLittle64(char* out, std::uint64_t value) noexcept {
  for (int i = 0; i < 8; ++i) {
    out[i] = static_cast<char>((value >> (8 * i)) & 0xFFu);
  }
}

inline std::uint16_t loadLittle16(const char* in) noexcept {
  std::uint16_t value = 0;
  for (int i = 1; i >= 0; --i) {
    value = static_cast<std::uint16_t>((value << 8) | static_cast<unsigned char>(in[i]));
  }
  return value;
}

inline std::uint32_t loadLittle32(const char* in) noexcept {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = (value << 8) | static_cast<unsigned char>(in[i]);
  }
  return value;
}

inline std::uint64_t loadLittle64(const char* in) noexcept {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) {
    value = (value << 8) | static_cast<unsigned char>(in[i]);
  }
  return value;
}

}  // namespace vesk

#endif  // VESK_BYTEORDER_H
