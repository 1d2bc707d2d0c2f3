// The library's string table: the texts of its messages, registered as the string
// resources of its module when the module is loaded.
#ifndef VESK_MESSAGETABLE_H
#define VESK_MESSAGETABLE_H

#include <cstddef>

#include "StringTable.h"

namespace vesk {

extern const StringResource kArchiveTreeMessages[];
extern const std::size_t kArchiveTreeMessageCount;

}  // namespace vesk

#endif  // VESK_MESSAGETABLE_H
