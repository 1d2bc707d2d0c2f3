/// \class vesk::StdString StdString.h <vesk/StdString.h>
/// StdString: a text with the case-insensitive traits of names and a stored form of its own:
/// a 4-byte little-endian byte count followed by the bytes. Values are plain copies; a
/// StdString owns its bytes and belongs to one thread at a time.
#ifndef VESK_STDSTRING_H
#define VESK_STDSTRING_H

#include <ostream>
#include <string>
#include <string_view>

#include "ICharTraits.h"

namespace vesk {

class BinStream;

class StdString : public TraitsString {
 public:
  StdString() = default;
  /// A copy of `text`; null is empty. Texts convert implicitly.
  StdString(const char* text);  // NOLINT: a text converts implicitly; null is empty
  /// The first `length` bytes of `text`.
  StdString(const char* text, size_type length);
  /// A copy of `text`.
  StdString(std::string_view text);  // NOLINT
  /// \copydoc StdString(std::string_view)
  StdString(const std::string& text);  // NOLINT
  /// \copydoc StdString(std::string_view)
  StdString(const TraitsString& text);  // NOLINT
  /// Takes over `text`.
  StdString(TraitsString&& text) noexcept;  // NOLINT
  /// Copies and moves are plain value copies.
  StdString(const StdString&) = default;
  /// \copydoc StdString(const StdString&)
  StdString(StdString&&) noexcept = default;
  /// \copydoc StdString(const StdString&)
  StdString& operator=(const StdString&) = default;
  /// \copydoc StdString(const StdString&)
  StdString& operator=(StdString&&) noexcept = default;
  virtual ~StdString();

  /// Writes the stored form. Throws VeskException when the stream fails or the text is longer
  /// than a 32-bit count can tell.
  BinStream& output(BinStream& stream) const;

  /// Reads the stored form and replaces this text with it. The count is not trusted: the
  /// bytes are read in pieces, so a count larger than the stream ends in the stream's read
  /// error after at most the bytes the stream holds. On failure this text is unchanged.
  BinStream& input(BinStream& stream);

  /// Bytes that output() writes: 4 + length.
  virtual unsigned storedSize() const;

  /// Finds the next run of characters not in `delimiters` at or after `pos`; sets `pos` and
  /// `len` to it and answers true, or answers false when there is none. Callers start with
  /// 0, 0 and add `len` to `pos` between calls.
  bool token(const char* delimiters, unsigned& pos, unsigned& len) const;

  /// The text as a view of its bytes, valid while the text is unchanged.
  std::string_view view() const noexcept { return {data(), size()}; }
  /// The text as a std::string.
  std::string str() const { return {data(), size()}; }

  /// A text formatted like printf, of any length.
  static StdString format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
};

/// Writes the text as it is.
inline std::ostream& operator<<(std::ostream& out, const StdString& text) {
  return out << text.view();
}

}  // namespace vesk

#endif  // VESK_STDSTRING_H
