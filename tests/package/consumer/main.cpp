// A small application of the installed library.
#include <cstdio>
#include <cstring>

#include "ArchiveTreeStrings.h"
#include "ConstStrings.h"
#include "FileString.h"
#include "SmartPointer.h"
#include "VeskDataIO.h"

int main() {
  const vesk::StdString text = vesk::archiveTreeStrings(41614);
  const vesk::SmartPointer<vesk::FileString> name(new vesk::FileString("photo.jpg"));
  name->increment();
  const bool ok = text.str() == "Cannot remove node" && name->str() == "photo(1).jpg" &&
                  std::strcmp(vesk::STR_GTLT, "><") == 0 && VeskExists("/") != 0;
  std::puts(ok ? "consumer ok" : "consumer FAILED");
  return ok ? 0 : 1;
}
