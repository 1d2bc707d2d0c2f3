/// \file ConstStrings.h
/// The constant separator and wildcard strings of the library family.
#ifndef VESK_CONSTSTRINGS_H
#define VESK_CONSTSTRINGS_H

namespace vesk {

extern const char* const STR_NULL;                 ///< ""
extern const char* const STR_BACKSLASH;            ///< "\"
extern const char* const STR_ANY_SLASH;            ///< "/\"
extern const char* const STR_SLASH_BAR_BACKSLASH;  ///< "/|\"
extern const char* const STR_QM_ASTERISK;          ///< "?*"
extern const char* const STR_GTLT;                 ///< "><"

}  // namespace vesk

#endif  // VESK_CONSTSTRINGS_H
