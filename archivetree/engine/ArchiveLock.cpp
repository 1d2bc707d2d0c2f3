#include "ArchiveLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <thread>
#include <vector>

#include "ArchiveError.h"

namespace vesk {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kTellAfter = std::chrono::seconds(1);
constexpr auto kLongestPause = std::chrono::milliseconds(50);

// The command line of process `pid` with its arguments joined by blanks; empty when unknown.
std::string commandOf(const std::string& pid) {
  std::ifstream in("/proc/" + pid + "/cmdline", std::ios::binary);
  std::string line((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  while (!line.empty() && line.back() == '\0') {
    line.pop_back();
  }
  for (char& c : line) {
    c = c == '\0' ? ' ' : c;
  }
  const std::size_t slash = line.rfind('/', line.find(' '));
  return slash == std::string::npos ? line : line.substr(slash + 1);
}

}  // namespace

ArchiveLock::ArchiveLock(const std::string& path, Mode mode, bool create, const Wait& wait)
    : path_(path), mode_(mode) {
  // Without blocking, so that a FIFO in the archive's place is refused instead of waited on.
  file_ =
      FileDescriptor::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | (create ? O_CREAT : 0));
  if (!file_.valid()) {
    const int error = errno;
    if (error == ENOENT) {
      throw ArchiveError(ArchiveError::Kind::failed, path + ": no such archive", error, path);
    }
    throw ArchiveError::system("Cannot open", path, error);
  }
  if (!file_.status(status_)) {
    throw ArchiveError::system("Cannot read the status of", path, errno);
  }
  if (!S_ISREG(status_.st_mode)) {
    throw ArchiveError(ArchiveError::Kind::failed, path + ": not an archive (not a regular file)");
  }
  acquire(wait);
}

void ArchiveLock::change(Mode mode, const Wait& wait) {
  mode_ = mode;
  acquire(wait);
}

// Tries without blocking first, pausing a little longer each time, so that a caller that set
// a limit is answered in time; after a second it tells who holds the archive.
void ArchiveLock::acquire(const Wait& wait) {
  const int operation = (mode_ == Mode::shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
  const auto start = Clock::now();
  bool told = false;
  auto pause = std::chrono::milliseconds(1);
  while (::flock(file_.get(), operation) != 0) {
    if (errno == EINTR) {
      continue;
    }
    if (errno != EWOULDBLOCK) {
      throw ArchiveError::system("Cannot lock", path_, errno);
    }
    const auto waited = Clock::now() - start;
    if (wait.limit && waited >= *wait.limit) {
      throw ArchiveError(ArchiveError::Kind::busy,
                         path_ + ": in use by " + holders(status_) + "; try again later");
    }
    if (!told && waited >= kTellAfter && wait.waiting) {
      told = true;
      wait.waiting(holders(status_));
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(kLongestPause));
  }
}

bool ArchiveLock::sameFile(const struct stat& other) const noexcept {
  return other.st_dev == status_.st_dev && other.st_ino == status_.st_ino;
}

// /proc/locks has a line per lock: "1: FLOCK  ADVISORY  WRITE 1234 fd:01:5678 0 EOF", the
// file named by device (hexadecimal major:minor) and inode; waiters are marked "->".
std::string ArchiveLock::holders(const struct stat& status) {
  std::ostringstream wanted;
  wanted << std::hex << std::setfill('0') << std::setw(2) << major(status.st_dev) << ':'
         << std::setw(2) << minor(status.st_dev) << ':' << std::dec << status.st_ino;
  std::ifstream locks("/proc/locks");
  std::vector<std::string> found;
  for (std::string line; std::getline(locks, line);) {
    std::istringstream fields(line);
    std::string id, kind, advisory, access, pid, file;
    fields >> id >> kind;
    if (kind == "->") {
      continue;
    }
    fields >> advisory >> access >> pid >> file;
    if (file != wanted.str() || pid == "-1") {
      continue;
    }
    const std::string command = commandOf(pid);
    std::string holder = "pid " + pid + (command.empty() ? "" : " (" + command + ")");
    if (std::find(found.begin(), found.end(), holder) == found.end()) {
      found.push_back(std::move(holder));
    }
  }
  if (found.empty()) {
    return "another process";
  }
  std::string joined;
  for (const std::string& holder : found) {
    joined += (joined.empty() ? "" : ", ") + holder;
  }
  return joined;
}

}  // namespace vesk
