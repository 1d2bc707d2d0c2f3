#include "TreeAdder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <vector>

#include "DirectoryNode.h"
#include "FileNode.h"
#include "TimeDate.h"
#include "ToolError.h"
#include "TreeNodeIterator.h"
#include "TreePath.h"
#include "UncommittedArchiveNode.h"
#include "UncommittedFileNode.h"
#include "VeskException.h"

namespace vesk {

namespace fs = std::filesystem;

namespace {

// The last component of `path` as a name: "photos" for "a/photos/"; empty for "/", "." or
// "..", which name a folder whose contents are meant.
std::string baseName(const std::string& path) {
  const std::size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) {
    return {};
  }
  const std::string name = fs::path(path.substr(0, end + 1)).lexically_normal().filename();
  return name == "." || name == ".." ? std::string() : name;
}

}  // namespace

TreeAdder::TreeAdder(DirectoryNode& target, std::ostream& out, std::ostream& err)
    : target_(target), out_(out), err_(err) {}

void TreeAdder::addPath(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) {
    throw ToolError::system("Cannot add", path, errno);
  }
  addDiskEntry(target_, path, baseName(path).empty() && S_ISDIR(status.st_mode));
}

void TreeAdder::addDiskEntry(DirectoryNode& into, const std::string& path, bool contentsOnly) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) {
    passOver(path, std::string("cannot read it: ") + std::strerror(errno));
    return;
  }
  if (S_ISDIR(status.st_mode)) {
    DirectoryNode& folder = contentsOnly ? into : folderNamed(into, baseName(path));
    addDiskFolder(folder, path);
  } else if (S_ISREG(status.st_mode)) {
    addDiskFile(into, path, static_cast<unsigned long long>(status.st_size));
  } else {
    passOver(path, "not a regular file or folder");
  }
}

void TreeAdder::addDiskFolder(DirectoryNode& into, const std::string& path) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator entry(path, error), end; !error && entry != end;
       entry.increment(error)) {
    names.push_back(entry->path().filename().string());
  }
  if (error) {
    passOver(path, "cannot read the folder: " + error.message());
    return;
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    addDiskEntry(into, (fs::path(path) / name).string(), false);
  }
}

void TreeAdder::addDiskFile(DirectoryNode& into, const std::string& path, unsigned long long size) {
  if (size > UINT32_MAX) {
    passOver(path, "larger than the 4 GiB - 1 bytes an entry can hold");
    return;
  }
  try {
    const TimeDate modified = TimeDate::ofFile(path.c_str());
    const unsigned int fileSize = static_cast<unsigned int>(size);
    const unsigned int thumbSize = 0;
    UncommittedFileNode* node = into.addUncommittedFile(path, fileSize, modified, thumbSize);
    reportRename(*node, baseName(path));
    ++added_;
  } catch (const VeskException& error) {
    passOver(path, error.what());
  }
}

void TreeAdder::addFromArchive(TreeNode& node, const std::string& otherStream) {
  if (node.parent() == nullptr) {
    TreeNodeIterator children(node.directory());
    for (TreeNode* child = children.firstNode(); child != nullptr;
         child = children.nextNode(child)) {
      addArchiveEntry(target_, *child, otherStream);
    }
    return;
  }
  addArchiveEntry(target_, node, otherStream);
}

void TreeAdder::addArchiveEntry(DirectoryNode& into, TreeNode& node,
                                const std::string& otherStream) {
  if (DirectoryNode* directory = node.directory()) {
    DirectoryNode& folder = folderNamed(into, directory->name());
    TreeNodeIterator children(directory);
    for (TreeNode* child = children.firstNode(); child != nullptr;
         child = children.nextNode(child)) {
      addArchiveEntry(folder, *child, otherStream);
    }
  } else if (!TreePath::isCommittedFile(node)) {
    passOver(otherStream + ": " + TreePath::of(node), "not committed there");
  } else {
    FileNode& file = *node.file();
    UncommittedArchiveNode* slice = into.addUncommittedArchiveFile(
        TreePath::of(file), file.fileSize(), file.offset(), otherStream, file.creationTime());
    reportRename(*slice, file.name().str());
    ++added_;
  }
}

DirectoryNode& TreeAdder::folderNamed(DirectoryNode& into, const FileString& name) {
  DirectoryNode* folder = into.findDirectory(name);
  return folder != nullptr ? *folder : *into.addDirectory(name);
}

void TreeAdder::reportRename(const TreeNode& node, const std::string& wanted) {
  if (node.name().view() != wanted) {
    out_ << "'" << wanted << "' is taken: added as " << TreePath::of(node) << '\n';
  }
}

void TreeAdder::passOver(const std::string& what, const std::string& why) {
  ++passedOver_;
  err_ << "vesk-archive: passed over '" << what << "': " << why << '\n';
}

}  // namespace vesk
