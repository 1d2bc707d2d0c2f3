/// \class vesk::ConFileString ConFileString.h <vesk/ConFileString.h>
/// ConFileString: a list of names; cleanup appends the tree paths of the files whose data
/// it removed. The caller owns it.
#ifndef VESK_CONFILESTRING_H
#define VESK_CONFILESTRING_H

#include <vector>

#include "FileString.h"

namespace vesk {

class ConFileString : public std::vector<FileString> {
 public:
  ConFileString() = default;
  virtual ~ConFileString();
  /// The version text of the class.
  static char const* version();
};

}  // namespace vesk

#endif  // VESK_CONFILESTRING_H
