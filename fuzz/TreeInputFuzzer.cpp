// Feeds arbitrary bytes to DirectoryNode::input. Only VeskException may come out; a tree
// that reads must then survive every operation that walks it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "DirectoryNode.h"
#include "MemoryStream.h"
#include "VeskException.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vesk::MemoryStream stream(std::string(reinterpret_cast<const char*>(data), size));
  vesk::DirectoryNode root;
  try {
    root.input(stream);
  } catch (const vesk::VeskException&) {
    return 0;
  }
  vesk::MemoryStream copy;
  root.output(copy);
  vesk::DirectoryNode back;
  copy.seekg(0);
  back.input(copy);
  delete root.clone(nullptr);
  (void)root.numberOfItems(true);
  (void)root.totalFileSize(true);
  (void)root.treeSize(true);
  root.recursiveSort();
  root.markDeleted();
  return 0;
}
