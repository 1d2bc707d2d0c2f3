// File names: their order and case, their parts and increments, and wildcard matching.
// Covers: FileString, ICharTraits, WildString.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <clocale>
#include <random>
#include <string>

#include "FileString.h"
#include "ICharTraits.h"
#include "WildString.h"

namespace vesk {
namespace {

using Traits = ICharTraits<char>;

TEST(ICharTraitsTest, NamesOrderAndFindByCLocaleUpperCaseSignedBytesShorterFirst) {
  // By upper case: 'B' (0x42) before '_' (0x5F); bytes as signed: 0x80 lowest, 0xFF just
  // below 0x00; and a prefix first.
  const std::pair<const char*, const char*> ordered[] = {{"alpha", "Beta"}, {"ab", "ABC"},
                                                         {"aBc", "a_b"},    {"\x80", "\x01"},
                                                         {"z", "z\xFF"},    {"", "a"}};
  for (const auto& [lower, higher] : ordered) {
    EXPECT_TRUE(TraitsString(lower) < higher) << lower;
    EXPECT_FALSE(TraitsString(higher) < lower) << higher;
  }
  EXPECT_EQ(TraitsString("ReadMe.TXT"), TraitsString("readme.txt"));
  EXPECT_NE(TraitsString("readme"), TraitsString("readme "));
  EXPECT_EQ(TraitsString("Photos/Holiday").find("HOLI"), 7u);
  EXPECT_EQ(TraitsString("Photos/Holiday").find('z'), TraitsString::npos);
  ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
  for (int byte = 0; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    EXPECT_EQ(Traits::upper(c), static_cast<char>(std::toupper(byte))) << byte;
    EXPECT_EQ(Traits::key(c) < 0, byte >= 0x80) << byte;
  }
}

TEST(FileStringTest, PartsOfPathsAndEqualityIgnoringCase) {
  const FileString path("HOLIDAY>||/photos\\2026/a.jpg");
  EXPECT_EQ(path.fileName().str(), "a.jpg");
  EXPECT_EQ(path.directoryName().str(), "HOLIDAY>||/photos\\2026");
  EXPECT_EQ(path.volumeName().str(), "HOLIDAY");

  EXPECT_EQ(FileString("plain").fileName().str(), "plain");
  EXPECT_EQ(FileString("plain").directoryName().str(), "");
  EXPECT_EQ(FileString("/top").directoryName().str(), "");
  EXPECT_EQ(FileString("dir/").fileName().str(), "");
  EXPECT_EQ(FileString("/media/usb/a.jpg").volumeName().str(), "");
  EXPECT_EQ(FileString("/tmp/a>b").volumeName().str(), "");
  EXPECT_EQ(FileString(">||/x").volumeName().str(), "");
  EXPECT_TRUE(FileString("Photo.JPG") == FileString("photo.jpg"));
  EXPECT_FALSE(FileString("photo.jpg") == FileString("photo.jpeg"));
}

TEST(FileStringTest, IncrementCountsBeforeTheExtensionWithDigitRunsOfAnyLength) {
  const std::pair<const char*, const char*> cases[] = {
      {"photo.jpg", "photo(1).jpg"},
      {"readme", "readme(1)"},
      {"a(99).txt", "a(100).txt"},
      {"a(1999999999999999999999)", "a(2000000000000000000000)"},
      {"a(99999999999999999999)", "a(100000000000000000000)"},
      {".profile", ".profile(1)"},
      {"x()", "x()(1)"},
      {"dir.d/file", "dir.d/file(1)"},
      {"a(b).c", "a(b)(1).c"},
      {"", "(1)"},
  };
  for (const auto& [before, after] : cases) {
    FileString changed(before);
    changed.increment();
    EXPECT_EQ(changed.str(), after) << before;
  }
}

// The plain recursive definition, exponential in the worst case but obviously right.
bool referenceMatch(std::string_view name, std::string_view pattern) {
  if (pattern.empty()) {
    return name.empty();
  }
  if (pattern[0] == '*') {
    return referenceMatch(name, pattern.substr(1)) ||
           (!name.empty() && referenceMatch(name.substr(1), pattern));
  }
  return !name.empty() &&
         (pattern[0] == '?' || std::toupper(static_cast<unsigned char>(pattern[0])) ==
                                   std::toupper(static_cast<unsigned char>(name[0]))) &&
         referenceMatch(name.substr(1), pattern.substr(1));
}

// Brackets are plain characters. Matching may start further into the name or the pattern.
TEST(WildStringTest, AgreesWithTheReferenceAndFinishesAPathologicalPattern) {
  std::mt19937 random(7);
  auto draw = [&](const std::string& alphabet, std::size_t maxLength) {
    std::string text(random() % (maxLength + 1), ' ');
    std::generate(text.begin(), text.end(), [&] { return alphabet[random() % alphabet.size()]; });
    return text;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::string name = draw("abAB[.", 9);
    const std::string pattern = draw("abAB[.*?", 7);
    ASSERT_EQ(WildString(pattern.c_str()).match(name.c_str(), 0, 0), referenceMatch(name, pattern))
        << "name '" << name << "' pattern '" << pattern << "'";
  }
  EXPECT_TRUE(WildString("x*b").match("..xab", 2, 0));
  EXPECT_TRUE(WildString("zz*b").match("ab", 0, 2));
  std::string pattern;
  for (int i = 0; i < 30; ++i) {
    pattern += "*a";
  }
  const std::string name(200, 'a');
  EXPECT_FALSE(WildString((pattern + "b").c_str()).match(name.c_str(), 0, 0));
  EXPECT_TRUE(WildString(pattern.c_str()).match(name.c_str(), 0, 0));
}

}  // namespace
}  // namespace vesk
