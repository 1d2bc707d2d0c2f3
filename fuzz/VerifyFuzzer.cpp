// Feeds arbitrary archive streams to verifyCommitted, and to a cleanup of a tree whose
// committed files are described by the first bytes: only VeskException may come out.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "ConFileString.h"
#include "DirectoryNode.h"
#include "FileNode.h"
#include "MemoryStream.h"
#include "VeskException.h"

namespace {

// Up to eight committed files, each from 9 bytes: a deleted flag, a 32-bit size and a
// 32-bit position.
std::size_t describeFiles(vesk::DirectoryNode& root, const std::uint8_t* data, std::size_t size) {
  std::size_t used = 0;
  for (int i = 0; i < 8 && size - used >= 9; ++i, used += 9) {
    std::uint32_t length = 0;
    std::uint32_t position = 0;
    std::memcpy(&length, data + used + 1, 4);
    std::memcpy(&position, data + used + 5, 4);
    auto* file = new vesk::FileNode("f" + std::to_string(i), &root, length % 4096,
                                    vesk::TimeDate::fromNanoseconds(0));
    file->offsetPrefix(position % 65536);
    file->deleted(data[used] & 1);
    root.push_back(vesk::SmartPointer<vesk::TreeNode>(file));
  }
  return used;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vesk::DirectoryNode root;
  const std::size_t used = describeFiles(root, data, size);
  vesk::MemoryStream archive(std::string(reinterpret_cast<const char*>(data) + used, size - used));
  try {
    (void)root.verifyCommitted(archive);
  } catch (const vesk::VeskException&) {
  }
  try {
    vesk::ConFileString removed;
    archive.clear();
    root.cleanup(archive, removed);
  } catch (const vesk::VeskException&) {
  }
  return 0;
}
