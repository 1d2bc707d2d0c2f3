/// \class vesk::UtilityStrings UtilityStrings.h <vesk/UtilityStrings.h>
/// utilityStrings: the messages of the utility library, by id.
#ifndef VESK_UTILITYSTRINGS_H
#define VESK_UTILITYSTRINGS_H

#include "StdString.h"
#include "StringTable.h"

namespace vesk {

inline constexpr int kMessageCannotRead = 1;
inline constexpr int kMessageCannotWrite = 2;
inline constexpr int kMessageCannotPosition = 3;
inline constexpr int kMessageStreamFailed = 4;
inline constexpr int kMessageTextTooLong = 5;
inline constexpr int kMessageCannotQuerySize = 20;

/// The string table of the utility library's own module.
class UtilityStrings : public StringTable {
 public:
  void* instance() const override;
};

/// Message `id` of the utility library.
StdString utilityStrings(int id);

}  // namespace vesk

#endif  // VESK_UTILITYSTRINGS_H
