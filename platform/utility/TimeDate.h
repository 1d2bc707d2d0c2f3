/// \class vesk::TimeDate TimeDate.h <vesk/TimeDate.h>
/// TimeDate: a point in time, nanoseconds since 1970-01-01 00:00 UTC. A default-constructed
/// TimeDate is the current time. Its stored form is the count as 8 bytes, little-endian.
#ifndef VESK_TIMEDATE_H
#define VESK_TIMEDATE_H

#include <time.h>

#include <chrono>
#include <compare>
#include <cstdint>

namespace vesk {

class BinStream;

class TimeDate {
 public:
  TimeDate() noexcept;
  explicit TimeDate(std::chrono::system_clock::time_point time) noexcept;
  TimeDate(const TimeDate&) = default;
  TimeDate& operator=(const TimeDate&) = default;
  virtual ~TimeDate();

  static TimeDate fromNanoseconds(std::int64_t nanoseconds) noexcept;
  static TimeDate fromTimespec(const timespec& time) noexcept;
  /// The modification time of the file `path`; throws VeskException when it cannot be read.
  static TimeDate ofFile(const char* path);

  std::int64_t nanoseconds() const noexcept { return nanoseconds_; }
  std::chrono::system_clock::time_point timePoint() const noexcept;
  timespec toTimespec() const noexcept;

  bool operator==(const TimeDate& other) const noexcept {
    return nanoseconds_ == other.nanoseconds_;
  }
  std::strong_ordering operator<=>(const TimeDate& other) const noexcept {
    return nanoseconds_ <=> other.nanoseconds_;
  }

  /// Reads the stored form; on failure this time is unchanged and VeskException is thrown.
  virtual BinStream& input(BinStream& stream);
  virtual BinStream& output(BinStream& stream) const;
  /// Bytes of the stored form: 8.
  virtual unsigned storedSize() const;

 private:
  std::int64_t nanoseconds_;
};

}  // namespace vesk

#endif  // VESK_TIMEDATE_H
