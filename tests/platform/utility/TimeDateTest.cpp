#include "TimeDate.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "MemoryStream.h"
#include "TestSupport.h"

namespace vesk {
namespace {

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
    EXPECT_EQ(copy.storedSize(), 8u);
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

  const TimeDate now;
  EXPECT_LE(now, TimeDate());
}

TEST(TimeDateTest, OfFileReadsTheModificationTime) {
  test::TempDir folder;
  const std::string path = folder.file("f");
  test::writeFile(path, "x");
  const timespec times[2] = {{0, UTIME_OMIT}, {1'000'000'000, 123}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  EXPECT_EQ(TimeDate::ofFile(path.c_str()).nanoseconds(), 1'000'000'000'000'000'123);
  try {
    TimeDate::ofFile(folder.file("missing").c_str());
    ADD_FAILURE();
  } catch (const VeskException& error) {
    EXPECT_NE(std::string(error.what()).find("missing"), std::string::npos);
  }
}

}  // namespace
}  // namespace vesk
