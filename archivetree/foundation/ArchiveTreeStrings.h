/// \class vesk::ArchiveTreeStrings ArchiveTreeStrings.h <vesk/ArchiveTreeStrings.h>
/// ArchiveTreeStrings: the library's messages, read from the string table of its own module.
/// The library holds exactly one of these, built when the library is loaded and destroyed
/// when it is unloaded; archiveTreeStrings() reads through it.
#ifndef VESK_ARCHIVETREESTRINGS_H
#define VESK_ARCHIVETREESTRINGS_H

#include "StdString.h"
#include "StringTable.h"

namespace vesk {

class ArchiveTreeStrings : public StringTable {
 public:
  ArchiveTreeStrings();
  ArchiveTreeStrings(const ArchiveTreeStrings&) = delete;
  ArchiveTreeStrings& operator=(const ArchiveTreeStrings&) = delete;
  ~ArchiveTreeStrings() override;

  /// The library's module, whose string table holds the messages.
  void* instance() const override;
  /// Stores the library's module; called by the module's entry point.
  static void instance(void* module);

  /// The number of live ArchiveTreeStrings objects.
  static unsigned int instCount();

 private:
  static unsigned int instCount_;
  static void* instance_;
};

/// The text of the library's message `id`.
StdString archiveTreeStrings(int id);

}  // namespace vesk

#endif  // VESK_ARCHIVETREESTRINGS_H
