// Preloaded (LD_PRELOAD) into a vesk-archive process that a test wants slow, so that another
// process surely meets it at work. Every fsync(2) and fdatasync(2) first waits while the file
// named by VESK_SLOW_SYNC_HOLD exists (a minute at most, so that a test that died never leaves
// it stuck), then sleeps VESK_SLOW_SYNC_MS milliseconds, then syncs. The first call creates the
// file named by VESK_SLOW_SYNC_MARKER: the tool syncs only what it writes, under its lock, so
// the marker says that the process holds the archive.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace {

void sleepFor(long milliseconds) {
  timespec rest{milliseconds / 1000, (milliseconds % 1000) * 1000000};
  while (::nanosleep(&rest, &rest) != 0 && errno == EINTR) {
  }
}

void slowDown() {
  const int error = errno;
  static bool marked = false;
  const char* marker = std::getenv("VESK_SLOW_SYNC_MARKER");
  if (!marked && marker != nullptr) {
    marked = true;
    const int file = ::open(marker, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (file >= 0) {
      ::close(file);
    }
  }
  const char* hold = std::getenv("VESK_SLOW_SYNC_HOLD");
  struct stat status {};
  for (int waited = 0; hold != nullptr && waited < 60000 && ::stat(hold, &status) == 0;
       waited += 5) {
    sleepFor(5);
  }
  if (const char* delay = std::getenv("VESK_SLOW_SYNC_MS")) {
    sleepFor(std::atol(delay));
  }
  errno = error;
}

using Sync = int (*)(int);

Sync next(const char* name) {
  return reinterpret_cast<Sync>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int fsync(int descriptor) {
  static const Sync real = next("fsync");
  slowDown();
  return real(descriptor);
}

extern "C" int fdatasync(int descriptor) {
  static const Sync real = next("fdatasync");
  slowDown();
  return real(descriptor);
}
