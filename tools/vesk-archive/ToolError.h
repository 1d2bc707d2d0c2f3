// ToolError: a failure that ends a command of vesk-archive, with the exit status it ends
// with and a one-line message that names the archive or file concerned.
#ifndef VESK_TOOLERROR_H
#define VESK_TOOLERROR_H

#include <stdexcept>
#include <string>

namespace vesk {

class ToolError : public std::runtime_error {
 public:
  // A wrong argument, a missing file, an operation the system refused.
  static constexpr int kUser = 1;
  // An archive whose table of contents does not parse or whose stream does not match it.
  static constexpr int kDamaged = 2;
  // Another process holds the archive and --no-wait was given.
  static constexpr int kBusy = 75;
  // The user stopped the command.
  static constexpr int kInterrupted = 130;

  ToolError(int status, const std::string& message);

  int status() const noexcept { return status_; }

  // "<action> '<path>': <strerror(error)>" with status kUser.
  static ToolError system(const std::string& action, const std::string& path, int error);

 private:
  int status_;
};

}  // namespace vesk

#endif  // VESK_TOOLERROR_H
