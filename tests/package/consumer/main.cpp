// A small application of the installed library: an archive made, saved and read back.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "Archive.h"
#include "ArchiveTreeStrings.h"
#include "ConstStrings.h"
#include "DirectoryNode.h"
#include "FileString.h"
#include "SmartPointer.h"

int main() {
  std::string folder = (std::filesystem::temp_directory_path() / "vesk-consumer-XXXXXX").string();
  if (::mkdtemp(folder.data()) == nullptr) {
    return 1;
  }
  const std::string path = folder + "/a.vesk";
  bool ok = false;
  try {
    {
      vesk::Archive::Options options;
      options.access = vesk::Archive::Access::write;
      options.create = true;
      vesk::Archive archive(path, options);
      archive.directory("docs/2024");
      archive.save();
    }
    vesk::Archive archive(path);
    const vesk::SmartPointer<vesk::FileString> name(new vesk::FileString("photo.jpg"));
    name->increment();
    ok = archive.find("DOCS/2024") != nullptr && archive.verify().sound() &&
         vesk::archiveTreeStrings(41614).str() == "Cannot remove node" &&
         name->str() == "photo(1).jpg" && std::strcmp(vesk::STR_GTLT, "><") == 0;
  } catch (const vesk::VeskException& error) {
    std::fprintf(stderr, "%s\n", error.message().c_str());
  }
  std::filesystem::remove_all(folder);
  std::puts(ok ? "consumer ok" : "consumer FAILED");
  return ok ? 0 : 1;
}
