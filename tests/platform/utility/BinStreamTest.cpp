// The stream base and the memory stream. Covers: BinStream (copyFile, shiftBlock), MemoryStream.
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

// Moves and copies of any length, lying over each other or not, in pieces of any size; a copy
// of bytes past the end of the source file stops there.
TEST(BinStreamTest, ShiftBlockAndCopyFileAgreeWithStringOperations) {
  test::TempDir folder;
  const std::string source = folder.file("source");
  const std::string sourceBytes = test::randomBytes(300, 1000);
  test::writeFile(source, sourceBytes);
  std::mt19937 random(11);
  for (int round = 0; round < 500; ++round) {
    const std::string bytes = test::randomBytes(300, static_cast<unsigned>(round));
    const auto length = static_cast<unsigned>(random() % 120);
    const auto from = static_cast<std::size_t>(random() % 150);
    const auto to = static_cast<std::size_t>(random() % 150);
    const unsigned piece = 1 + static_cast<unsigned>(random() % 40);
    std::string expected = bytes;
    expected.replace(to, length, bytes.substr(from, length));
    MemoryStream stream(bytes);
    stream.shiftBlock(from, to, length, piece);
    ASSERT_EQ(stream.bytes(), expected) << from << " " << to << " " << length << " " << piece;
    ASSERT_EQ(stream.tellp(), static_cast<std::int64_t>(to + length));

    const auto offset = static_cast<std::size_t>(random() % 400);
    const std::string copy = sourceBytes.substr(std::min<std::size_t>(offset, 300), length);
    expected.replace(from, copy.size(), copy);
    const auto at = static_cast<std::int64_t>(offset);
    ASSERT_EQ(stream.seekp(from).copyFile(source.c_str(), length, at, piece), copy.size());
    ASSERT_EQ(stream.bytes(), expected) << from << " " << offset << " " << length;
  }
}

}  // namespace
}  // namespace vesk
