#include "VeskException.h"

#include <cstring>

namespace vesk {

VeskException::VeskException(const char* text) : std::runtime_error(text ? text : "") {}

VeskException::VeskException(const StdString& text) : std::runtime_error(text.str()) {}

VeskException::VeskException(const char* text, int error, std::string_view path)
    : std::runtime_error(text ? text : ""),
      error_(error),
      path_(path.empty() ? nullptr : std::make_shared<const std::string>(path)) {}

VeskException::VeskException(const char* text, int error, std::string_view path,
                             bool textNamesCause)
    : VeskException(text, error, path) {
  causeInText_ = textNamesCause;
}

const std::string& VeskException::path() const noexcept {
  static const std::string none;
  return path_ ? *path_ : none;
}

std::string VeskException::message() const {
  std::string text(what());
  if (error_ == 0 || causeInText_) {
    return text;
  }
  if (path_) {
    text += " '";
    text += *path_;
    text += "'";
  }
  text += ": ";
  text += std::strerror(error_);
  return text;
}

VeskException VeskException::systemError(std::string_view action, std::string_view path,
                                         int error) {
  std::string text(action);
  text += " '";
  text += path;
  text += "': ";
  text += std::strerror(error);
  return VeskException(text.c_str(), error, path, true);
}

}  // namespace vesk
