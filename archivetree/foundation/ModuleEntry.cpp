// The module entry of the library: when the library is loaded its one ArchiveTreeStrings
// object is built, its message table is registered as the module's string resources and
// the module handle is stored; at unload the table is withdrawn and the object destroyed.
// archiveTreeStrings() lives here too, so that any program that reads a message also links
// the entry, however the library is linked.
#include "ArchiveTreeStrings.h"
#include "MessageTable.h"

namespace vesk {

namespace {

ArchiveTreeStrings strings;

// Any object inside the module tells the module.
const char moduleAnchor = 0;

void* thisModule() {
  return StringTable::moduleOf(&moduleAnchor);
}

__attribute__((constructor)) void enterModule() {
  void* const module = thisModule();
  StringTable::registerResources(module, kArchiveTreeMessages, kArchiveTreeMessageCount);
  ArchiveTreeStrings::instance(module);
}

__attribute__((destructor)) void leaveModule() {
  StringTable::withdrawResources(thisModule(), kArchiveTreeMessages);
}

}  // namespace

StdString archiveTreeStrings(int id) {
  return strings[id];
}

}  // namespace vesk
