#include "WildString.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>

namespace vesk {
namespace {

// The plain recursive definition, exponential in the worst case but obviously right.
bool referenceMatch(const std::string& name, const std::string& pattern) {
  if (pattern.empty()) {
    return name.empty();
  }
  if (pattern[0] == '*') {
    for (std::size_t skip = 0; skip <= name.size(); ++skip) {
      if (referenceMatch(name.substr(skip), pattern.substr(1))) {
        return true;
      }
    }
    return false;
  }
  return !name.empty() &&
         (pattern[0] == '?' || std::toupper(static_cast<unsigned char>(pattern[0])) ==
                                   std::toupper(static_cast<unsigned char>(name[0]))) &&
         referenceMatch(name.substr(1), pattern.substr(1));
}

TEST(WildStringTest, Examples) {
  EXPECT_TRUE(WildString("*.JPG").match("holiday.jpg", 0, 0));
  EXPECT_TRUE(WildString("[a]").match("[A]", 0, 0));  // brackets are plain characters
  EXPECT_TRUE(WildString("x*b").match("..xab", 2, 0));
  EXPECT_TRUE(WildString("zz*b").match("ab", 0, 2));
}

TEST(WildStringTest, AgreesWithTheReferenceOnRandomCases) {
  std::mt19937 random(7);
  const std::string nameAlphabet = "abAB.";
  const std::string patternAlphabet = "abAB.*?";
  auto draw = [&](const std::string& alphabet, std::size_t maxLength) {
    std::string text(random() % (maxLength + 1), ' ');
    for (char& c : text) {
      c = alphabet[random() % alphabet.size()];
    }
    return text;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::string name = draw(nameAlphabet, 9);
    const std::string pattern = draw(patternAlphabet, 7);
    ASSERT_EQ(WildString(pattern.c_str()).match(name.c_str(), 0, 0), referenceMatch(name, pattern))
        << "name '" << name << "' pattern '" << pattern << "'";
  }
}

TEST(WildStringTest, PathologicalPatternAnswersCorrectly) {
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
