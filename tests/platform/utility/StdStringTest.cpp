#include "StdString.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "MemoryStream.h"
#include "TestSupport.h"
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
      failed = true;
      throw VeskException(utilityStrings(kMessageCannotRead));
    }
    std::memset(buffer, 0, count);
    available_ -= count;
    return *this;
  }
  bool fail() const override { return failed || MemoryStream::fail(); }

  unsigned largestRead = 0;
  bool failed = false;

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
  EXPECT_EQ(text.size(), 6u + 5000 + 10);
  EXPECT_EQ(text.view().substr(text.size() - 10), "' on 'VOL'");
  EXPECT_TRUE(StdString::format("%s", "").empty());
}

}  // namespace
}  // namespace vesk
