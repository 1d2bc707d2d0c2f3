/// \class vesk::ConOffsetFix ConOffsetFix.h <vesk/ConOffsetFix.h>
/// ConOffsetFix: the moves of one cleanup, in ascending order of their old positions.
#ifndef VESK_CONOFFSETFIX_H
#define VESK_CONOFFSETFIX_H

#include <vector>

#include "OffsetFix.h"

namespace vesk {

class ConOffsetFix : public std::vector<OffsetFix> {
 public:
  ConOffsetFix() = default;
  virtual ~ConOffsetFix();
  /// The version text of the class.
  static char const* version();
};

}  // namespace vesk

#endif  // VESK_CONOFFSETFIX_H
