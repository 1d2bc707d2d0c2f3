#include "StdString.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

#include "BinStream.h"
#include "ByteOrder.h"
#include "UtilityStrings.h"
#include "VeskException.h"

namespace vesk {

namespace {

// Bytes read at once when a stored text is longer: the text grows only by what the stream
// has actually delivered.
constexpr unsigned kReadPiece = 1u << 16;

void readExactly(BinStream& stream, char* buffer, unsigned count) {
  stream.read(buffer, count);
  if (stream.fail()) {
    throw VeskException(utilityStrings(kMessageCannotRead));
  }
}

}  // namespace

StdString::StdString(const char* text) : TraitsString(text ? text : "") {}

StdString::StdString(const char* text, size_type length) : TraitsString(text, length) {}

StdString::StdString(std::string_view text) : TraitsString(text.data(), text.size()) {}

StdString::StdString(const std::string& text) : TraitsString(text.data(), text.size()) {}

StdString::StdString(const TraitsString& text) : TraitsString(text) {}

StdString::StdString(TraitsString&& text) noexcept : TraitsString(std::move(text)) {}

StdString::~StdString() = default;

BinStream& StdString::output(BinStream& stream) const {
  if (size() > std::numeric_limits<std::uint32_t>::max()) {
    throw VeskException(utilityStrings(kMessageTextTooLong));
  }
  char prefix[4];
  storeLittle32(prefix, static_cast<std::uint32_t>(size()));
  stream.write(prefix, 4);
  stream.throwOnError();
  if (!empty()) {
    stream.write(data(), static_cast<unsigned>(size()));
    stream.throwOnError();
  }
  return stream;
}

BinStream& StdString::input(BinStream& stream) {
  char prefix[4];
  readExactly(stream, prefix, 4);
  const std::uint32_t count = loadLittle32(prefix);
  TraitsString text;
  if (count <= kReadPiece) {
    text.resize(count);
    readExactly(stream, text.data(), count);
  } else {
    for (std::uint32_t done = 0; done < count;) {
      const unsigned piece = std::min(kReadPiece, count - done);
      text.resize(done + piece);
      readExactly(stream, text.data() + done, piece);
      done += piece;
    }
  }
  assign(std::move(text));
  return stream;
}

unsigned StdString::storedSize() const {
  return static_cast<unsigned>(4 + size());
}

bool StdString::token(const char* delimiters, unsigned& pos, unsigned& len) const {
  const std::string_view text = view();
  const std::string_view delimiterSet = delimiters ? delimiters : "";
  const std::size_t start = text.find_first_not_of(delimiterSet, pos);
  if (start == std::string_view::npos) {
    return false;
  }
  std::size_t end = text.find_first_of(delimiterSet, start);
  if (end == std::string_view::npos) {
    end = text.size();
  }
  pos = static_cast<unsigned>(start);
  len = static_cast<unsigned>(end - start);
  return true;
}

StdString StdString::format(const char* pattern, ...) {
  va_list arguments;
  va_start(arguments, pattern);
  va_list measuring;
  va_copy(measuring, arguments);
  const int length = std::vsnprintf(nullptr, 0, pattern, measuring);
  va_end(measuring);
  StdString text;
  if (length > 0) {
    text.resize(static_cast<size_type>(length) + 1);
    std::vsnprintf(text.data(), text.size(), pattern, arguments);
    text.resize(static_cast<size_type>(length));
  }
  va_end(arguments);
  return text;
}

}  // namespace vesk
