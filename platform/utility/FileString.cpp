#include "FileString.h"

#include <algorithm>

namespace vesk {

namespace {

constexpr std::string_view kSeparators = "/\\";

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Adds one to a run of decimal digits in place ("09" -> "10", "99" -> "100").
void addOne(std::string& digits) {
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (*it != '9') {
      ++*it;
      return;
    }
    *it = '0';
  }
  digits.insert(digits.begin(), '1');
}

// Where the counter of `stem` starts, when it ends in "(digits)"; npos otherwise.
std::string_view::size_type counterStart(std::string_view stem) {
  if (stem.size() < 3 || stem.back() != ')') {
    return std::string_view::npos;
  }
  const std::string_view::size_type open = stem.rfind('(');
  if (open == std::string_view::npos || open + 2 > stem.size() - 1) {
    return std::string_view::npos;
  }
  const std::string_view digits = stem.substr(open + 1, stem.size() - open - 2);
  return std::all_of(digits.begin(), digits.end(), isDigit) ? open : std::string_view::npos;
}

}  // namespace

FileString::FileString(const char* text) : StdString(text) {}

FileString::FileString(const char* text, size_type length) : StdString(text, length) {}

FileString::FileString(std::string_view text) : StdString(text) {}

FileString::FileString(const std::string& text) : StdString(text) {}

FileString::FileString(const TraitsString& text) : StdString(text) {}

FileString::FileString(const StdString& text) : StdString(text) {}

FileString::~FileString() = default;

FileString::size_type FileString::lastSeparator() const noexcept {
  return view().find_last_of(kSeparators);
}

FileString FileString::fileName() const {
  const size_type separator = lastSeparator();
  return separator == npos ? *this : FileString(view().substr(separator + 1));
}

FileString FileString::directoryName() const {
  const size_type separator = lastSeparator();
  return separator == npos ? FileString() : FileString(view().substr(0, separator));
}

FileString FileString::pathName() const {
  return *this;
}

FileString FileString::volumeName() const {
  const std::string_view text = view();
  const size_type marker = text.find('>');
  if (marker == npos || marker == 0) {
    return FileString();
  }
  const std::string_view volume = text.substr(0, marker);
  return volume.find_first_of(kSeparators) == npos ? FileString(volume) : FileString();
}

void FileString::increment() {
  const std::string_view text = view();
  const size_type nameStart = lastSeparator() == npos ? 0 : lastSeparator() + 1;
  size_type stemEnd = text.rfind('.');
  if (stemEnd == npos || stemEnd <= nameStart) {
    stemEnd = text.size();  // no extension, or a name such as ".profile"
  }
  const std::string_view stem = text.substr(0, stemEnd);
  const std::string_view extension = text.substr(stemEnd);
  std::string next;
  const size_type open = counterStart(stem.substr(nameStart));
  if (open == std::string_view::npos) {
    next.append(stem).append("(1)");
  } else {
    const size_type digitsStart = nameStart + open + 1;
    std::string digits(stem.substr(digitsStart, stem.size() - digitsStart - 1));
    addOne(digits);
    next.append(stem.substr(0, digitsStart)).append(digits).append(")");
  }
  next.append(extension);
  assign(next.data(), next.size());
}

}  // namespace vesk
