// Runs the built vesk-archive binary for the tests: with its output collected, with no
// standard input, or left running so that a test can kill it.
#ifndef VESK_TESTS_TOOLRUNNER_H
#define VESK_TESTS_TOOLRUNNER_H

#include <sys/types.h>

#include <string>
#include <vector>

namespace vesk::test {

struct ToolResult {
  int status;  // the exit status, or 128 + the signal that ended it
  std::string out;
  std::string err;
};

class ToolRunner {
 public:
  // Collects output in files below `folder`.
  explicit ToolRunner(std::string folder);

  // Runs vesk-archive with `arguments` and waits for it.
  ToolResult run(const std::vector<std::string>& arguments) const;
  // Runs vesk-archive as run() does and expects it to succeed.
  ToolResult ok(const std::vector<std::string>& arguments) const;
  // Starts vesk-archive with `arguments`, its output thrown away.
  pid_t start(const std::vector<std::string>& arguments) const;
  // Waits for `process` and answers its status as run() does.
  static int wait(pid_t process);

  static const char* binary();
  // The argument vector of vesk-archive with `arguments`, ended by a null; it points into them.
  static std::vector<char*> commandLine(const std::vector<std::string>& arguments);

 private:
  pid_t spawn(const std::vector<std::string>& arguments, const std::string& out,
              const std::string& err) const;

  std::string folder_;
};

}  // namespace vesk::test

#endif  // VESK_TESTS_TOOLRUNNER_H
