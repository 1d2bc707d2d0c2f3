// VeskException: the one exception of the library family. It carries a message text, which
// what() answers; copies share the text, so copying never throws.
#ifndef VESK_VESKEXCEPTION_H
#define VESK_VESKEXCEPTION_H

#include <stdexcept>
#include <string_view>

#include "StdString.h"

namespace vesk {

class VeskException : public std::runtime_error {
 public:
  explicit VeskException(const char* text);
  explicit VeskException(const StdString& text);

  // The text as a StdString.
  StdString text() const { return StdString(what()); }

  // A failure of the operating system: "<action> '<path>': <strerror(error)>".
  static VeskException systemError(std::string_view action, std::string_view path, int error);
};

}  // namespace vesk

#endif  // VESK_VESKEXCEPTION_H
