#include "ConFileString.h"

namespace vesk {

ConFileString::~ConFileString() = default;

char const* ConFileString::version() {
  return "ConFileString 1.0, 23.09.1999";
}

}  // namespace vesk
