#include "VeskException.h"

#include <cstring>
#include <string>

namespace vesk {

VeskException::VeskException(const char* text) : std::runtime_error(text ? text : "") {}

VeskException::VeskException(const StdString& text) : std::runtime_error(text.str()) {}

VeskException VeskException::systemError(std::string_view action, std::string_view path,
                                         int error) {
  std::string text(action);
  text += " '";
  text += path;
  text += "': ";
  text += std::strerror(error);
  return VeskException(text.c_str());
}

}  // namespace vesk
