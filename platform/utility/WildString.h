/// \class vesk::WildString WildString.h <vesk/WildString.h>
/// WildString: a wildcard pattern for names. '*' matches any run of characters (the empty
/// run too), '?' exactly one character; every other character matches itself, letters without
/// regard to case as names compare. Matching takes at most name length x pattern length
/// steps, whatever the pattern.
#ifndef VESK_WILDSTRING_H
#define VESK_WILDSTRING_H

#include "StdString.h"

namespace vesk {

class WildString {
 public:
  /// A matcher of `pattern`: `*` matches any run of characters, `?` one, letters ignore case.
  explicit WildString(const StdString& pattern);

  /// Whether the name from `namePos` on matches the pattern from `patternPos` on.
  bool match(const StdString& name, unsigned namePos = 0, unsigned patternPos = 0) const;

  /// The pattern.
  const StdString& pattern() const noexcept { return pattern_; }

 private:
  StdString pattern_;
};

}  // namespace vesk

#endif  // VESK_WILDSTRING_H
