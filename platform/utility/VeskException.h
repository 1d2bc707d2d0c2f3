/// \class vesk::VeskException VeskException.h <vesk/VeskException.h>
/// VeskException: the one exception of the library family. It carries a message text, which
/// what() answers, and, where a system call failed, its errno and the path it failed on.
/// Copies share the text and the path, so copying never throws.
#ifndef VESK_VESKEXCEPTION_H
#define VESK_VESKEXCEPTION_H

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "StdString.h"

namespace vesk {

class VeskException : public std::runtime_error {
 public:
  /// A failure told by `text` alone, with no system call's cause.
  explicit VeskException(const char* text);
  /// \copydoc VeskException(const char*)
  explicit VeskException(const StdString& text);
  /// A failure whose cause is a system call's `error` on `path`; what() stays `text`.
  VeskException(const char* text, int error, std::string_view path);

  /// The text as a StdString.
  StdString text() const { return StdString(what()); }

  /// The errno of the failed system call, 0 when the failure was not a system call's.
  int error() const noexcept { return error_; }
  /// The path the system call failed on, empty when none.
  const std::string& path() const noexcept;
  /// The text with its cause: what() and, where the text does not already name it,
  /// " '<path>': <strerror(error)>" (without the path part when there is none).
  std::string message() const;

  /// A failure of the operating system: "<action> '<path>': <strerror(error)>".
  static VeskException systemError(std::string_view action, std::string_view path, int error);

 protected:
  /// With `textNamesCause`, what() already names the cause, and message() adds nothing.
  VeskException(const char* text, int error, std::string_view path, bool textNamesCause);

 private:
  int error_ = 0;
  std::shared_ptr<const std::string> path_;
  // Whether what() already names the path and the cause (systemError).
  bool causeInText_ = false;
};

}  // namespace vesk

#endif  // VESK_VESKEXCEPTION_H
