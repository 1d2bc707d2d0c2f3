#include "TestSupport.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <random>

#include "ByteOrder.h"
#include "DiskDriveAccessor.h"

namespace vesk::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vesk-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot make a temporary folder");
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

class ScopedVolumes::Source : public VolumeSource {
 public:
  // The same table until the next set(), as the system's source answers while the mounts
  // stay as they are.
  std::shared_ptr<const VolumeTable> volumes() override { return table; }
  std::shared_ptr<const VolumeTable> table;
};

ScopedVolumes::ScopedVolumes(VolumeTable table) : source_(std::make_shared<Source>()) {
  set(std::move(table));
  previous_ = DiskDriveAccessor::volumeSource(source_);
}

ScopedVolumes::~ScopedVolumes() {
  DiskDriveAccessor::volumeSource(previous_);
}

void ScopedVolumes::set(VolumeTable table) {
  source_->table = std::make_shared<const VolumeTable>(std::move(table));
}

std::string randomBytes(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(count, '\0');
  for (char& byte : bytes) {
    byte = static_cast<char>(random());
  }
  return bytes;
}

std::string prefix(std::uint64_t length) {
  char bytes[8];
  storeLittle64(bytes, length);
  return std::string(bytes, 8);
}

std::string block(const std::string& data) {
  return prefix(data.size()) + data;
}

std::string veskErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const VeskException& error) {
    return error.what();
  }
  return "";
}

void rethrow(const std::string& error) {
  if (!error.empty()) {
    throw VeskException(error.c_str());
  }
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::error_code ignored;  // a folder that cannot be made leaves the write to fail
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void writeFiles(const std::string& folder, const std::map<std::string, std::string>& files) {
  for (const auto& [path, bytes] : files) {
    writeFile(folder + "/" + path, bytes);
  }
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::map<std::string, std::string> filesBelow(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) {
      files[std::filesystem::relative(entry.path(), folder).string()] = readFile(entry.path());
    }
  }
  return files;
}

int exitStatus(pid_t process) {
  int status = 0;
  while (::waitpid(process, &status, 0) < 0) {
    if (errno != EINTR) {
      throw std::runtime_error("cannot wait for a child process");
    }
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TerminalProgram::TerminalProgram(const std::function<void()>& work) {
  process_ = ::forkpty(&terminal_, nullptr, nullptr, nullptr);
  if (process_ == 0) {
    work();
    ::_exit(127);
  }
  if (process_ < 0) {
    throw std::runtime_error("cannot start a process on a terminal");
  }
}

TerminalProgram::~TerminalProgram() {
  ::close(terminal_);
}

bool TerminalProgram::waitFor(const std::string& text) {
  std::size_t at = 0;
  while ((at = shown_.find(text, found_)) == std::string::npos) {
    pollfd ready{terminal_, POLLIN, 0};
    char buffer[4096];
    const ssize_t got = ::poll(&ready, 1, 60000) > 0 ? ::read(terminal_, buffer, sizeof buffer) : 0;
    if (got <= 0) {
      return false;
    }
    shown_.append(buffer, static_cast<std::size_t>(got));
  }
  found_ = at + text.size();
  return true;
}

bool TerminalProgram::waitUntilReading() {
  const std::string syscall = "/proc/" + std::to_string(process_) + "/syscall";
  for (int waited = 0; waited < 60000; waited += 5) {
    long number = -1;
    if ((std::ifstream(syscall) >> number) && number == SYS_read) {
      return true;
    }
    ::usleep(5000);
  }
  return false;
}

void TerminalProgram::type(const std::string& text) {
  ASSERT_EQ(::write(terminal_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

int TerminalProgram::finish() {
  waitFor("\x01never shown");
  ::kill(process_, SIGKILL);
  return exitStatus(process_);
}

}  // namespace vesk::test
