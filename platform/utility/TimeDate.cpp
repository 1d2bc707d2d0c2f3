#include "TimeDate.h"

#include <sys/stat.h>

#include <cerrno>

#include "BinStream.h"
#include "ByteOrder.h"
#include "UtilityStrings.h"
#include "VeskException.h"

namespace vesk {

namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

}  // namespace

TimeDate::TimeDate() noexcept {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  nanoseconds_ = fromTimespec(now).nanoseconds_;
}

TimeDate::TimeDate(std::chrono::system_clock::time_point time) noexcept
    : nanoseconds_(
          std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count()) {}

TimeDate::~TimeDate() = default;

TimeDate TimeDate::fromNanoseconds(std::int64_t nanoseconds) noexcept {
  TimeDate time(std::chrono::system_clock::time_point{});
  time.nanoseconds_ = nanoseconds;
  return time;
}

TimeDate TimeDate::fromTimespec(const timespec& time) noexcept {
  return fromNanoseconds(static_cast<std::int64_t>(time.tv_sec) * kNanosecondsPerSecond +
                         time.tv_nsec);
}

TimeDate TimeDate::ofFile(const char* path) {
  struct stat status {};
  if (::stat(path, &status) != 0) {
    throw VeskException::systemError("Cannot read the time of", path, errno);
  }
  return fromTimespec(status.st_mtim);
}

std::chrono::system_clock::time_point TimeDate::timePoint() const noexcept {
  return std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(
          std::chrono::nanoseconds(nanoseconds_)));
}

timespec TimeDate::toTimespec() const noexcept {
  std::int64_t seconds = nanoseconds_ / kNanosecondsPerSecond;
  std::int64_t rest = nanoseconds_ % kNanosecondsPerSecond;
  if (rest < 0) {
    rest += kNanosecondsPerSecond;
    --seconds;
  }
  timespec time{};
  time.tv_sec = static_cast<time_t>(seconds);
  time.tv_nsec = static_cast<long>(rest);
  return time;
}

BinStream& TimeDate::input(BinStream& stream) {
  char bytes[8];
  stream.read(bytes, 8);
  if (stream.fail()) {
    throw VeskException(utilityStrings(kMessageCannotRead));
  }
  nanoseconds_ = static_cast<std::int64_t>(loadLittle64(bytes));
  return stream;
}

BinStream& TimeDate::output(BinStream& stream) const {
  char bytes[8];
  storeLittle64(bytes, static_cast<std::uint64_t>(nanoseconds_));
  stream.write(bytes, 8);
  stream.throwOnError();
  return stream;
}

unsigned TimeDate::storedSize() const {
  return 8;
}

}  // namespace vesk
