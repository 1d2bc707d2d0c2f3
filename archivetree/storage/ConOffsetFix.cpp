#include "ConOffsetFix.h"

namespace vesk {

ConOffsetFix::~ConOffsetFix() = default;

char const* ConOffsetFix::version() {
  return "ConOffsetFix 1.0, 23.09.1999";
}

}  // namespace vesk
