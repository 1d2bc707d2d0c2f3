#include "TreeAdder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <vector>

#include "ArchiveError.h"
#include "BinStream.h"
#include "CleanupJournal.h"
#include "DirectoryNode.h"
#include "FileNode.h"
#include "TimeDate.h"
#include "TreeNodeIterator.h"
#include "TreePath.h"
#include "UncommittedArchiveNode.h"
#include "UncommittedFileNode.h"
#include "VeskException.h"

namespace vesk {

namespace fs = std::filesystem;

namespace {

constexpr unsigned kPiece = 1u << 20;

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

// The CRC-32 of the data of the committed file `file` in `stream`.
std::uint32_t dataCrc(BinStream& stream, const FileNode& file) {
  std::vector<char> buffer(std::min<std::uint64_t>(file.fileSize(), kPiece));
  std::uint32_t crc = 0;
  stream.seekg(file.offset());
  for (std::uint64_t left = file.fileSize(); left > 0;) {
    const auto piece = static_cast<unsigned>(std::min<std::uint64_t>(left, kPiece));
    stream.read(buffer.data(), piece);
    crc = CleanupJournal::crc(buffer.data(), piece, crc);
    left -= piece;
  }
  return crc;
}

}  // namespace

TreeAdder::TreeAdder(DirectoryNode& target)
    : target_(target), targetDepth_(TreePath::depthOf(target)) {}

bool TreeAdder::tooDeep(unsigned depth, const std::string& what) {
  if (depth <= DirectoryNode::kMaximumStoredDepth) {
    return false;
  }
  passOver(what, "it would nest deeper than " + std::to_string(DirectoryNode::kMaximumStoredDepth) +
                     " folder levels, more than a saved tree may");
  return true;
}

void TreeAdder::addPath(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) {
    throw ArchiveError::system("Cannot add", path, errno);
  }
  addDiskEntry(target_, targetDepth_, path, baseName(path).empty() && S_ISDIR(status.st_mode));
}

void TreeAdder::addDiskEntry(DirectoryNode& into, unsigned depth, const std::string& path,
                             bool contentsOnly) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) {
    passOver(path, std::string("cannot read it: ") + std::strerror(errno));
    return;
  }
  if (S_ISDIR(status.st_mode)) {
    if (contentsOnly) {
      addDiskFolder(into, depth, path);
    } else if (!tooDeep(depth + 1, path)) {
      addDiskFolder(folderNamed(into, baseName(path)), depth + 1, path);
    }
  } else if (S_ISREG(status.st_mode)) {
    addDiskFile(into, path, static_cast<unsigned long long>(status.st_size));
  } else {
    passOver(path, "not a regular file or folder");
  }
}

void TreeAdder::addDiskFolder(DirectoryNode& into, unsigned depth, const std::string& path) {
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
    addDiskEntry(into, depth, (fs::path(path) / name).string(), false);
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
    noteRename(*node, baseName(path));
    ++report_.added;
  } catch (const VeskException& error) {
    passOver(path, error.message());
  }
}

void TreeAdder::addFromArchive(TreeNode& node, const std::string& otherStream,
                               BinStream& otherData) {
  otherStream_ = otherStream;
  otherData_ = &otherData;
  if (node.parent() == nullptr) {
    TreeNodeIterator children(node.directory());
    for (TreeNode* child = children.firstNode(); child != nullptr;
         child = children.nextNode(child)) {
      addArchiveEntry(target_, targetDepth_, *child);
    }
    return;
  }
  addArchiveEntry(target_, targetDepth_, node);
}

void TreeAdder::addArchiveEntry(DirectoryNode& into, unsigned depth, TreeNode& node) {
  if (DirectoryNode* directory = node.directory()) {
    if (tooDeep(depth + 1, otherStream_ + ": " + TreePath::of(node))) {
      return;
    }
    DirectoryNode& folder = folderNamed(into, directory->name());
    TreeNodeIterator children(directory);
    for (TreeNode* child = children.firstNode(); child != nullptr;
         child = children.nextNode(child)) {
      addArchiveEntry(folder, depth + 1, *child);
    }
  } else if (!TreePath::isCommittedFile(node)) {
    passOver(otherStream_ + ": " + TreePath::of(node), "not committed there");
  } else {
    FileNode& file = *node.file();
    const std::uint32_t crc = dataCrc(*otherData_, file);
    UncommittedArchiveNode* slice = into.addUncommittedArchiveFile(
        TreePath::of(file), file.fileSize(), file.offset(), otherStream_, file.creationTime());
    slice->archiveCount(crc);
    noteRename(*slice, file.name().str());
    ++report_.added;
  }
}

DirectoryNode& TreeAdder::folderNamed(DirectoryNode& into, const FileString& name) {
  DirectoryNode* folder = into.findDirectory(name);
  return folder != nullptr ? *folder : *into.addDirectory(name);
}

void TreeAdder::noteRename(const TreeNode& node, const std::string& wanted) {
  if (node.name().view() != wanted) {
    report_.renamed.push_back({wanted, TreePath::of(node)});
  }
}

void TreeAdder::passOver(const std::string& what, const std::string& why) {
  report_.passedOver.push_back({what, why});
}

}  // namespace vesk
