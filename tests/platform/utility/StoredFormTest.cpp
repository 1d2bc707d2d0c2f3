// Strings and time stamps: their stored form, formatting and conversions.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "MemoryStream.h"
#include "StdString.h"
#include "TestSupport.h"
#include "TimeDate.h"
#include "UtilityStrings.h"

namespace vesk {
namespace {

// A stream that serves zero bytes up to `available` and then fails, remembering the largest
// read it was asked for.
class ZeroStream : public MemoryStream {
 public:
  explicit ZeroStream(std::string prefix, std::int64_t available)
      : MemoryStream(std::move(prefix)), available_(available) {}

  BinStream& read(char* buffer, unsigned count) override {
    largestRead = std::max(largestRead, count);
    if (tellg() < static_cast<std::int64_t>(bytes().size())) {
      return MemoryStream::read(buffer, count);
    }
    if (static_cast<std::int64_t>(count) > available_) {
      throw VeskException(utilityStrings(kMessageCannotRead));
    }
    std::memset(buffer, 0, count);
    available_ -= count;
    return *this;
  }

  unsigned largestRead = 0;

 private:
  std::int64_t available_;
};

TEST(StdStringTest, StoredFormRoundTripsAndConsumesStoredSize) {
  const StdString samples[] = {StdString(), StdString("a"), StdString(std::string_view("\0x\0", 3)),
                               StdString(std::string(70000, 'q')), StdString("Ünïcode ✓")};
  MemoryStream stream;
  for (const StdString& sample : samples) {
    const std::int64_t before = stream.tellp();
    sample.output(stream);
    EXPECT_EQ(stream.tellp() - before, sample.storedSize());
  }
  EXPECT_EQ(stream.bytes().substr(0, 4), std::string(4, '\0'));
  EXPECT_EQ(stream.bytes().substr(4, 5), std::string("\x01\0\0\0a", 5));
  stream.seekg(0);
  for (const StdString& sample : samples) {
    StdString copy("previous");
    const std::int64_t before = stream.tellg();
    copy.input(stream);
    EXPECT_EQ(copy.view(), sample.view());
    EXPECT_EQ(stream.tellg() - before, copy.storedSize());
  }
}

TEST(StdStringTest, CorruptCountFailsWithoutTrustingIt) {
  ZeroStream stream(std::string("\xFF\xFF\xFF\xFF", 4), 300000);
  StdString text("kept");
  EXPECT_VESK_ERROR(text.input(stream), "Cannot read from stream");
  EXPECT_EQ(text, StdString("kept"));
  EXPECT_LE(stream.largestRead, 65536u);

  MemoryStream shortStream(std::string("\x05\0\0\0abc", 7));
  EXPECT_VESK_ERROR(text.input(shortStream), "Cannot read from stream");
  EXPECT_TRUE(shortStream.fail());
  EXPECT_EQ(text, StdString("kept"));
}

TEST(StdStringTest, FormatHasNoLengthLimit) {
  const std::string longName(5000, 'n');
  const StdString text = StdString::format("file '%s' on '%s'", longName.c_str(), "VOL");
  EXPECT_EQ(text.view(), "file '" + longName + "' on 'VOL'");
}

TEST(TimeDateTest, StoredFormRoundTrips) {
  MemoryStream stream;
  const TimeDate samples[] = {TimeDate::fromNanoseconds(0), TimeDate::fromNanoseconds(-1),
                              TimeDate::fromNanoseconds(INT64_MAX), TimeDate()};
  for (const TimeDate& sample : samples) {
    sample.output(stream);
  }
  EXPECT_EQ(stream.size(), 8 * 4);
  EXPECT_EQ(stream.bytes().substr(8, 8), std::string(8, '\xFF'));
  stream.seekg(0);
  for (const TimeDate& sample : samples) {
    TimeDate copy;
    copy.input(stream);
    EXPECT_EQ(copy, sample);
  }
  TimeDate untouched = TimeDate::fromNanoseconds(42);
  EXPECT_VESK_ERROR(untouched.input(stream), "Cannot read from stream");
  EXPECT_EQ(untouched.nanoseconds(), 42);
}

TEST(TimeDateTest, ConvertsToTimespecAndClock) {
  const TimeDate before = TimeDate::fromNanoseconds(-1'500'000'000);
  const timespec time = before.toTimespec();
  EXPECT_EQ(time.tv_sec, -2);
  EXPECT_EQ(time.tv_nsec, 500'000'000);
  EXPECT_EQ(TimeDate::fromTimespec(time), before);
  EXPECT_EQ(TimeDate(before.timePoint()), before);
}

TEST(TimeDateTest, OfFileReadsTheModificationTime) {
  test::TempDir folder;
  const std::string path = folder.file("f");
  test::writeFile(path, "x");
  const timespec times[2] = {{0, UTIME_OMIT}, {1'000'000'000, 123}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  EXPECT_EQ(TimeDate::ofFile(path.c_str()).nanoseconds(), 1'000'000'000'000'000'123);
  EXPECT_NE(
      test::veskErrorOf([&] { TimeDate::ofFile(folder.file("missing").c_str()); }).find("missing"),
      std::string::npos);
}

}  // namespace
}  // namespace vesk
