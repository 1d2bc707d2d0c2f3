// Runs the built vesk-archive binary for the tests: with its output collected, with no
// standard input, or left running so that a test can kill it. ToolTest gives each test a
// temporary folder, a runner that keeps its output there, and the path of an archive in it.
#ifndef VESK_TESTS_TOOLRUNNER_H
#define VESK_TESTS_TOOLRUNNER_H

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace vesk::test {

namespace fs = std::filesystem;

struct ToolResult {
  int status;  // the exit status, or 128 + the signal that ended it
  std::string out;
  std::string err;
};

class ToolRunner {
 public:
  // Collects output in files below `folder`.
  explicit ToolRunner(std::string folder) : folder_(std::move(folder)) {}

  static const char* binary() { return VESK_ARCHIVE_BINARY; }

  // The argument vector of vesk-archive with `arguments`, ended by a null; it points into them.
  static std::vector<char*> commandLine(const std::vector<std::string>& arguments) {
    std::vector<char*> argv = {const_cast<char*>(binary())};
    for (const std::string& argument : arguments) {
      argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    return argv;
  }

  // Starts vesk-archive with `arguments`, no standard input, and output to the files `out`, `err`;
  // `environment` ("NAME=value") is added to this process's environment, or replaces a name.
  // It runs in the folder `here`, or in this process's.
  static pid_t start(const std::vector<std::string>& arguments,
                     const std::string& out = "/dev/null", const std::string& err = "/dev/null",
                     const std::vector<std::string>& environment = {},
                     const std::string& here = "") {
    const std::vector<char*> argv = commandLine(arguments);
    std::vector<std::string> variables = environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
      const std::string entry = *variable;
      const std::string name = entry.substr(0, entry.find('=') + 1);
      if (std::none_of(environment.begin(), environment.end(),
                       [&](const std::string& added) { return added.starts_with(name); })) {
        variables.push_back(entry);
      }
    }
    std::vector<char*> envp;
    for (std::string& variable : variables) {
      envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    const pid_t process = ::fork();
    if (process == 0) {
      if (!here.empty() && ::chdir(here.c_str()) != 0) {
        ::_exit(127);
      }
      ::dup2(::open("/dev/null", O_RDONLY), 0);
      ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      ::execve(binary(), argv.data(), envp.data());
      ::_exit(127);
    }
    if (process < 0) {
      throw std::runtime_error("cannot start vesk-archive");
    }
    return process;
  }

  // Runs vesk-archive with `arguments`, waits for it, and expects it to end with `expected`.
  ToolResult run(const std::vector<std::string>& arguments, int expected) const {
    const std::string out = folder_ + "/.tool-out";
    const std::string err = folder_ + "/.tool-err";
    ToolResult result{exitStatus(start(arguments, out, err, {}, here)), readFile(out),
                      readFile(err)};
    EXPECT_EQ(result.status, expected) << arguments.front() << ": " << result.err;
    return result;
  }
  ToolResult ok(const std::vector<std::string>& arguments) const { return run(arguments, 0); }

  std::string here;  // the folder run() starts the tool in, when not empty

 private:
  std::string folder_;
};

class ToolTest : public ::testing::Test {
 protected:
  TempDir dir;
  ToolRunner tool{dir.path().string()};
  std::string archive = dir.file("a.vesk");
};

}  // namespace vesk::test

#endif  // VESK_TESTS_TOOLRUNNER_H
