// Strings and time stamps: their stored form, formatting and conversions.
// Covers: StdString, TimeDate.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "MemoryStream.h"
#include "StdString.h"
#include "TestSupport.h"
#include "TimeDate.h"

namespace vesk {
namespace {

// A stream that remembers the largest read it was asked for.
class ReadMeter : public MemoryStream {
 public:
  using MemoryStream::MemoryStream;
  BinStream& read(char* buffer, unsigned count) override {
    largestRead = std::max(largestRead, count);
    return MemoryStream::read(buffer, count);
  }
  unsigned largestRead = 0;
};

TEST(StdStringTest, StoredFormRoundTripsAndConsumesStoredSize) {
  const std::string longName(70000, 'q');
  const StdString samples[] = {StdString(), StdString("a"), StdString(std::string_view("\0x\0", 3)),
                               StdString::format("%s on '%s'", longName.c_str(), "VOL"),
                               StdString("Ünïcode ✓")};
  EXPECT_EQ(samples[3].view(), longName + " on 'VOL'");  // formatting has no length limit
  MemoryStream stream;
  for (const StdString& sample : samples) {
    const std::int64_t before = stream.tellp();
    sample.output(stream);
    EXPECT_EQ(stream.tellp() - before, sample.storedSize());
  }
  EXPECT_EQ(stream.bytes().substr(0, 9), std::string("\0\0\0\0\x01\0\0\0a", 9));
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
  ReadMeter stream("\xFF\xFF\xFF\xFF" + std::string(300000, '\0'));
  StdString text("kept");
  EXPECT_VESK_ERROR(text.input(stream), "Cannot read from stream");
  EXPECT_EQ(text, StdString("kept"));
  EXPECT_LE(stream.largestRead, 65536u);

  MemoryStream shortStream(std::string("\x05\0\0\0abc", 7));
  EXPECT_VESK_ERROR(text.input(shortStream), "Cannot read from stream");
  EXPECT_TRUE(shortStream.fail());
  EXPECT_EQ(text, StdString("kept"));
}

TEST(TimeDateTest, StoredFormConversionsAndFileTimes) {
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

  const TimeDate before = TimeDate::fromNanoseconds(-1'500'000'000);
  const timespec time = before.toTimespec();
  EXPECT_EQ(time.tv_sec, -2);
  EXPECT_EQ(time.tv_nsec, 500'000'000);
  EXPECT_EQ(TimeDate::fromTimespec(time), before);
  EXPECT_EQ(TimeDate(before.timePoint()), before);

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
