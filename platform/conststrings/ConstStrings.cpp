#include "ConstStrings.h"

namespace vesk {

const char* const STR_NULL = "";
const char* const STR_BACKSLASH = "\\";
const char* const STR_ANY_SLASH = "/\\";
const char* const STR_SLASH_BAR_BACKSLASH = "/|\\";
const char* const STR_QM_ASTERISK = "?*";
const char* const STR_GTLT = "><";

}  // namespace vesk
