#include "ToolRunner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "TestSupport.h"

extern char** environ;

namespace vesk::test {

ToolRunner::ToolRunner(std::string folder) : folder_(std::move(folder)) {}

const char* ToolRunner::binary() {
  return VESK_ARCHIVE_BINARY;
}

std::vector<char*> ToolRunner::commandLine(const std::vector<std::string>& arguments) {
  std::vector<char*> argv = {const_cast<char*>(binary())};
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  return argv;
}

pid_t ToolRunner::spawn(const std::vector<std::string>& arguments, const std::string& out,
                        const std::string& err) const {
  std::vector<char*> argv = commandLine(arguments);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t process = 0;
  const int error = posix_spawn(&process, binary(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    throw std::runtime_error("cannot start vesk-archive");
  }
  return process;
}

ToolResult ToolRunner::run(const std::vector<std::string>& arguments) const {
  const std::string out = folder_ + "/.tool-out";
  const std::string err = folder_ + "/.tool-err";
  const int status = wait(spawn(arguments, out, err));
  return ToolResult{status, readFile(out), readFile(err)};
}

ToolResult ToolRunner::ok(const std::vector<std::string>& arguments) const {
  ToolResult result = run(arguments);
  EXPECT_EQ(result.status, 0) << arguments.front() << ": " << result.err;
  return result;
}

pid_t ToolRunner::start(const std::vector<std::string>& arguments) const {
  return spawn(arguments, "/dev/null", "/dev/null");
}

int ToolRunner::wait(pid_t process) {
  int status = 0;
  while (::waitpid(process, &status, 0) < 0) {
    if (errno != EINTR) {
      throw std::runtime_error("cannot wait for vesk-archive");
    }
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace vesk::test
