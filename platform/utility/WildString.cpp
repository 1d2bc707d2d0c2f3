#include "WildString.h"

#include <algorithm>
#include <string_view>

namespace vesk {

WildString::WildString(const StdString& pattern) : pattern_(pattern) {}

// Greedy matching that remembers only the last '*': when a later literal fails, that star
// takes one more character and matching resumes behind it. A star met later makes the
// earlier one irrelevant, which bounds the work to name x pattern steps.
bool WildString::match(const StdString& name, unsigned namePos, unsigned patternPos) const {
  const std::string_view text = name.view();
  const std::string_view wild = pattern_.view();
  std::size_t n = std::min<std::size_t>(namePos, text.size());
  std::size_t p = std::min<std::size_t>(patternPos, wild.size());
  std::size_t starAt = std::string_view::npos;
  std::size_t resumeAt = 0;
  while (n < text.size()) {
    if (p < wild.size() && wild[p] == '*') {
      starAt = p++;
      resumeAt = n;
    } else if (p < wild.size() && (wild[p] == '?' || ICharTraits<char>::eq(wild[p], text[n]))) {
      ++p;
      ++n;
    } else if (starAt != std::string_view::npos) {
      p = starAt + 1;
      n = ++resumeAt;
    } else {
      return false;
    }
  }
  while (p < wild.size() && wild[p] == '*') {
    ++p;
  }
  return p == wild.size();
}

}  // namespace vesk
