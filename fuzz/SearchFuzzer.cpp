// Feeds arbitrary search strings and names to the tree searcher and its wildcard matching:
// the first line is the search string, the others are names of files and directories
// added under a folder "top". Only VeskException may come out.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "DirectoryNode.h"
#include "FileNode.h"
#include "TreeSearcher.h"
#include "VeskException.h"
#include "WildString.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::size_t lineEnd = text.find('\n');
  const std::string search(text.substr(0, lineEnd));
  vesk::DirectoryNode root;
  vesk::DirectoryNode* top = root.addDirectory("top");
  bool directory = false;
  for (std::size_t at = lineEnd; at != std::string_view::npos && at < text.size();) {
    const std::size_t next = text.find('\n', at + 1);
    const std::string name(
        text.substr(at + 1, next == std::string_view::npos ? next : next - at - 1));
    if (directory) {
      top->addDirectory(name);
    } else {
      top->add(new vesk::FileNode(name, top));
    }
    directory = !directory;
    at = next;
  }
  const vesk::WildString pattern(search);
  for (const vesk::SmartPointer<vesk::TreeNode>& child : *top) {
    (void)pattern.match(child->name(), 0, 0);
  }
  try {
    vesk::TreeSearcher searcher(search, &root);
    for (vesk::TreeNode* found = searcher.first(); found != nullptr; found = searcher.next()) {
    }
  } catch (const vesk::VeskException&) {
  }
  return 0;
}
