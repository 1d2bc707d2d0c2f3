#include "BinStream.h"

#include <gtest/gtest.h>

#include <random>

#include "MemoryStream.h"
#include "TestSupport.h"

namespace vesk {
namespace {

TEST(MemoryStreamTest, FailuresSetTheFailedStateUntilCleared) {
  MemoryStream stream(std::string("12345"));
  char buffer[8];
  EXPECT_VESK_ERROR(stream.read(buffer, 8), "Cannot read from stream");
  EXPECT_TRUE(stream.fail());
  stream.clear();
  EXPECT_VESK_ERROR(stream.seekg(-6, std::ios_base::end), "Cannot position stream");
  stream.clear();
  EXPECT_EQ(stream.seekg(0, std::ios_base::end).tellp(), 5);
  EXPECT_TRUE(stream.eof());
  stream.seekp(2).setEOF();
  EXPECT_EQ(stream.bytes(), "12");
  stream.seekp(4).write("x", 1);
  EXPECT_EQ(stream.bytes(), std::string("12\0\0x", 5));
}

TEST(BinStreamTest, ShiftBlockMovesWhateverTheOverlap) {
  std::mt19937 random(11);
  for (int round = 0; round < 500; ++round) {
    const std::string bytes = test::randomBytes(300, static_cast<unsigned>(round));
    const auto length = static_cast<std::int64_t>(random() % 120);
    const auto from = static_cast<std::int64_t>(random() % 150);
    const auto to = static_cast<std::int64_t>(random() % 150);
    const unsigned piece = 1 + static_cast<unsigned>(random() % 40);
    std::string expected = bytes;
    expected.replace(
        static_cast<std::size_t>(to), static_cast<std::size_t>(length),
        bytes.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(length)));
    MemoryStream stream(bytes);
    stream.shiftBlock(from, to, length, piece);
    ASSERT_EQ(stream.bytes(), expected) << from << " " << to << " " << length << " " << piece;
    ASSERT_EQ(stream.tellp(), to + length);
  }
  MemoryStream stream(std::string("abc"));
  stream.shiftBlock(2, 1, 0, 8);
  EXPECT_EQ(stream.tellp(), 1);
  EXPECT_EQ(stream.bytes(), "abc");
}

}  // namespace
}  // namespace vesk
