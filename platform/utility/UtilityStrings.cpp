#include "UtilityStrings.h"

#include <iterator>

namespace vesk {

namespace {

constexpr StringResource kUtilityMessages[] = {
    {kMessageCannotRead, "Cannot read from stream"},
    {kMessageCannotWrite, "Cannot write to stream"},
    {kMessageCannotPosition, "Cannot position stream"},
    {kMessageStreamFailed, "Stream operation failed"},
    {kMessageTextTooLong, "Text too long to store"},
    {kMessageCannotQuerySize, "Cannot query stream size"},
};

// Any object inside the module tells the module.
const char moduleAnchor = 0;

void* utilityModule() {
  return StringTable::moduleOf(&moduleAnchor);
}

// Registers the utility library's messages when the library is loaded.
__attribute__((constructor)) void registerUtilityMessages() {
  StringTable::registerResources(utilityModule(), kUtilityMessages, std::size(kUtilityMessages));
}

__attribute__((destructor)) void withdrawUtilityMessages() {
  StringTable::withdrawResources(utilityModule(), kUtilityMessages);
}

}  // namespace

void* UtilityStrings::instance() const {
  return utilityModule();
}

StdString utilityStrings(int id) {
  return UtilityStrings()[id];
}

}  // namespace vesk
