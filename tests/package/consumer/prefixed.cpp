// An application that reaches the installed headers only as <vesk/...>: a tree built, saved
// to memory and read back, and the version macros against the package's version.
#include <vesk/DirectoryNode.h>
#include <vesk/MemoryStream.h>
#include <vesk/TreeSearcher.h>
#include <vesk/Version.h>
#include <vesk/VeskException.h>

#include <cstdio>
#include <cstring>
#include <string>

int main() {
  const std::string numbers = std::to_string(VESK_VERSION_MAJOR) + "." +
                              std::to_string(VESK_VERSION_MINOR) + "." +
                              std::to_string(VESK_VERSION_PATCH);
  bool ok = numbers == VESK_VERSION && std::strcmp(VESK_VERSION, PACKAGE_VERSION) == 0;
  try {
    vesk::DirectoryNode root;
    root.addTree("photos/2024");
    vesk::MemoryStream stream;
    root.output(stream);
    stream.seekg(0);
    vesk::DirectoryNode copy;
    copy.input(stream);
    vesk::TreeSearcher searcher("PHOTOS/2*", copy.findDirectory("photos"));
    ok = ok && searcher.first() != nullptr && searcher.next() == nullptr;
  } catch (const vesk::VeskException& error) {
    std::fprintf(stderr, "%s\n", error.message().c_str());
    ok = false;
  }
  std::puts(ok ? "prefixed consumer ok" : "prefixed consumer FAILED");
  return ok ? 0 : 1;
}
