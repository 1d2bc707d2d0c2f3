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
  /// The time `time`.
  explicit TimeDate(std::chrono::system_clock::time_point time) noexcept;
  /// Copies are plain value copies.
  TimeDate(const TimeDate&) = default;
  /// \copydoc TimeDate(const TimeDate&)
  TimeDate& operator=(const TimeDate&) = default;
  virtual ~TimeDate();

  /// The time `nanoseconds` after 1970-01-01 00:00 UTC.
  static TimeDate fromNanoseconds(std::int64_t nanoseconds) noexcept;
  /// The time a timespec (as stat(2) gives it) tells.
  static TimeDate fromTimespec(const timespec& time) noexcept;
  /// The modification time of the file `path`; throws VeskException when it cannot be read.
  static TimeDate ofFile(const char* path);

  /// Nanoseconds since 1970-01-01 00:00 UTC.
  std::int64_t nanoseconds() const noexcept { return nanoseconds_; }
  /// The time as a system clock time point.
  std::chrono::system_clock::time_point timePoint() const noexcept;
  /// The time as a timespec, for futimens(2) and its kin.
  timespec toTimespec() const noexcept;

  /// The same point in time.
  bool operator==(const TimeDate& other) const noexcept {
    return nanoseconds_ == other.nanoseconds_;
  }
  /// Earlier times order first.
  std::strong_ordering operator<=>(const TimeDate& other) const noexcept {
    return nanoseconds_ <=> other.nanoseconds_;
  }

  /// Reads the stored form; on failure this time is unchanged and VeskException is thrown.
  virtual BinStream& input(BinStream& stream);
  /// Writes the stored form; throws VeskException when the stream fails.
  virtual BinStream& output(BinStream& stream) const;
  /// Bytes of the stored form: 8.
  virtual unsigned storedSize() const;

 private:
  std::int64_t nanoseconds_;
};

}  // namespace vesk

#endif  // VESK_TIMEDATE_H
