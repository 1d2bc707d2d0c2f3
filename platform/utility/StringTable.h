/// \class vesk::StringTable StringTable.h <vesk/StringTable.h>
/// StringTable: message texts by numeric id, read from the string resources of one module.
/// A module's resources are a table of (id, text) pairs that the module registers under its
/// handle when it is loaded and withdraws when it is unloaded; the handle of a module is the
/// load address that dladdr reports for any address inside it. The registered texts must stay
/// valid until they are withdrawn. Lookups may run from any thread.
#ifndef VESK_STRINGTABLE_H
#define VESK_STRINGTABLE_H

#include <cstddef>

#include "StdString.h"

namespace vesk {

/// One message text of a module and its id.
struct StringResource {
  /// The message's id.
  int id;
  /// The message's text, valid until it is withdrawn.
  const char* text;
};

class StringTable {
 public:
  StringTable() = default;
  /// Tables hold no state of their own; copies read the same module.
  StringTable(const StringTable&) = default;
  /// \copydoc StringTable(const StringTable&)
  StringTable& operator=(const StringTable&) = default;
  virtual ~StringTable();

  /// The module whose string resources this table reads.
  virtual void* instance() const = 0;

  /// Text `id` of the module; an id the module lacks answers a text that names the id.
  const StdString operator[](int id) const;

  /// Adds `count` resources of `module`; several tables may be registered under one module
  /// (as happens when libraries are linked statically into one program).
  static void registerResources(void* module, const StringResource* resources, std::size_t count);
  /// Withdraws the resources registered as `resources` under `module`.
  static void withdrawResources(void* module, const StringResource* resources);

  /// The handle of the module that holds `address`, or null.
  static void* moduleOf(const void* address);
};

}  // namespace vesk

#endif  // VESK_STRINGTABLE_H
