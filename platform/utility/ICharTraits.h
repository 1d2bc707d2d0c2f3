/// \class vesk::ICharTraits ICharTraits.h <vesk/ICharTraits.h>
/// ICharTraits: character traits that make a std::basic_string compare names without regard
/// to letter case. Two characters are equal when toupper gives the same result for both; the
/// order is that of the upper-cased characters taken as signed 8-bit values, so the bytes
/// 0x80 to 0xFF order before 0x00 to 0x7F; of two names where one is a prefix of the other,
/// the shorter orders first. toupper is the one of the "C" locale, fixed at compile time, so
/// the order of names never changes with the process locale.
#ifndef VESK_ICHARTRAITS_H
#define VESK_ICHARTRAITS_H

#include <cstddef>
#include <string>

namespace vesk {

template <class CharT>
struct ICharTraits;

template <>
/// The traits of names: char compared ignoring letter case.
struct ICharTraits<char> : std::char_traits<char> {
  /// The upper-case form of c as the "C" locale's toupper gives it.
  static constexpr char upper(char c) noexcept {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
  }

  /// The key by which c orders: its upper-case form as a signed 8-bit value.
  static constexpr int key(char c) noexcept { return static_cast<signed char>(upper(c)); }

  /// Whether the characters are equal, ignoring letter case.
  static constexpr bool eq(char a, char b) noexcept { return upper(a) == upper(b); }
  /// Whether `a` orders before `b`.
  static constexpr bool lt(char a, char b) noexcept { return key(a) < key(b); }

  /// Compares `n` characters: negative, 0 or positive as `a` orders before, with or after `b`.
  static constexpr int compare(const char* a, const char* b, std::size_t n) noexcept {
    for (std::size_t i = 0; i < n; ++i) {
      if (a[i] == b[i]) {
        continue;
      }
      const int difference = key(a[i]) - key(b[i]);
      if (difference != 0) {
        return difference < 0 ? -1 : 1;
      }
    }
    return 0;
  }

  /// The first of `n` characters at `s` that equals `c`, or null.
  static constexpr const char* find(const char* s, std::size_t n, char c) noexcept {
    for (std::size_t i = 0; i < n; ++i) {
      if (eq(s[i], c)) {
        return s + i;
      }
    }
    return nullptr;
  }
};

/// The string type that holds names.
using TraitsString = std::basic_string<char, ICharTraits<char>>;

}  // namespace vesk

#endif  // VESK_ICHARTRAITS_H
