#include "ICharTraits.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>

namespace vesk {
namespace {

using Traits = ICharTraits<char>;

bool before(const TraitsString& a, const TraitsString& b) {
  return a < b;
}

TEST(ICharTraitsTest, NamesOrderByUpperCaseSignedBytesShorterFirst) {
  EXPECT_TRUE(before("alpha", "Beta"));
  EXPECT_TRUE(before("ab", "ABC"));
  EXPECT_TRUE(before("aBc", "a_b"));  // 'B' (0x42) before '_' (0x5F)
  EXPECT_FALSE(before("a_b", "aBc"));
  EXPECT_TRUE(before("\x80", "\x01"));
  EXPECT_TRUE(before("z", "z\xFF"));  // the prefix first, though 0xFF orders lowest
  EXPECT_TRUE(before("", "a"));
  EXPECT_EQ(TraitsString("ReadMe.TXT"), TraitsString("readme.txt"));
  EXPECT_NE(TraitsString("readme"), TraitsString("readme "));
}

TEST(ICharTraitsTest, UpperMatchesTheCLocaleForEveryByte) {
  ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
  for (int byte = 0; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    EXPECT_EQ(Traits::upper(c), static_cast<char>(std::toupper(byte))) << byte;
    EXPECT_EQ(Traits::key(c) < 0, byte >= 0x80) << byte;
  }
}

TEST(ICharTraitsTest, FindIgnoresCase) {
  const TraitsString text = "Photos/Holiday";
  EXPECT_EQ(text.find("HOLI"), 7u);
  const char* abc = "abc";
  EXPECT_EQ(Traits::find(abc, 3, 'C'), abc + 2);
  EXPECT_EQ(Traits::find(abc, 3, 'd'), nullptr);
}

}  // namespace
}  // namespace vesk
