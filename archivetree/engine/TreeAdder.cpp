#include "TreeAdder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
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
#include "WildString.h"

namespace vesk {

namespace fs = std::filesystem;

namespace {

constexpr unsigned kPiece = 1u << 20;
// Room for what one call lists of a folder: a few hundred names.
constexpr std::size_t kListing = 32u << 10;

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

// A path on disk and what one stat of it told. `source` is where a followed link leads;
// `folder` is the open folder that holds it, or AT_FDCWD.
struct TreeAdder::DiskEntry {
  std::string path;
  std::string name;
  int folder = AT_FDCWD;
  bool link = false;
  struct stat status {};
  std::string source;
  bool contentsOnly = false;

  const std::string& data() const { return source.empty() ? path : source; }
};

TreeAdder::TreeAdder(DirectoryNode& target, Options options)
    : target_(target), targetDepth_(TreePath::depthOf(target)), options_(std::move(options)) {}

bool TreeAdder::tooDeep(unsigned depth, const std::string& what) {
  if (depth <= DirectoryNode::kMaximumStoredDepth) {
    return false;
  }
  passOver(what, "it would nest deeper than " + std::to_string(DirectoryNode::kMaximumStoredDepth) +
                     " folder levels, more than a saved tree may");
  return true;
}

// The path is made absolute once here, so that the paths of the entries below it need no
// look-up of the working folder each when they become pending files.
void TreeAdder::addPath(const std::string& path) {
  pathDirectory_ = nullptr;  // the tree may have changed since the last call
  DiskEntry entry;
  entry.name = baseName(path);
  if (::lstat(path.c_str(), &entry.status) != 0) {
    throw ArchiveError::system("Cannot add", path, errno);
  }
  std::error_code error;
  entry.path = path.starts_with('/') ? path : fs::absolute(path, error).string();
  if (error) {
    entry.path = path;
  }
  if (!entry.name.empty() && excluded(entry.name)) {
    ++report_.excluded;
    return;
  }
  entry.link = S_ISLNK(entry.status.st_mode);
  if (entry.link && !followLink(entry)) {
    return;
  }
  entry.contentsOnly = entry.name.empty() && S_ISDIR(entry.status.st_mode);
  addDiskEntry(target_, targetDepth_, std::move(entry));
}

// Takes the place of the lstat for a link: stats what it leads to and keeps its resolved
// path, as the commit opens its sources without following links.
bool TreeAdder::followLink(DiskEntry& entry) {
  if (!options_.followLinks) {
    report_.links.push_back({entry.path, "a symbolic link, not followed"});
    return false;
  }
  if (::stat(entry.path.c_str(), &entry.status) != 0) {
    report_.links.push_back({entry.path, std::string("a broken link: ") + std::strerror(errno)});
    return false;
  }
  const std::unique_ptr<char, decltype(&std::free)> resolved(
      ::realpath(entry.path.c_str(), nullptr), &std::free);
  if (!resolved) {
    report_.links.push_back({entry.path, std::string("a broken link: ") + std::strerror(errno)});
    return false;
  }
  entry.source = resolved.get();
  return true;
}

void TreeAdder::addDiskEntry(DirectoryNode& into, unsigned depth, DiskEntry entry) {
  const struct stat& status = entry.status;
  if (S_ISDIR(status.st_mode)) {
    // A folder reached through a link is entered only once, so that no loop goes on for
    // ever; a folder reached on its own path always is.
    if (!folders_.emplace(status.st_dev, status.st_ino).second && entry.link) {
      report_.links.push_back({entry.path, "leads to a folder added already"});
    } else if (entry.contentsOnly) {
      addDiskFolder(into, depth, entry);
    } else if (!tooDeep(depth + 1, entry.path)) {
      addDiskFolder(folderNamed(into, entry.name), depth + 1, entry);
    }
  } else if (S_ISREG(status.st_mode)) {
    addDiskFile(into, entry);
  } else {
    passOver(entry.path, "not a regular file or folder");
  }
}

// The folder's names are read and sorted first. While its entries are added the folder stays
// open, so that each entry is stat'ed, and a folder in it opened, relative to it, and its path
// is not looked up from the root again; below kOpenFolders open levels, entries are reached
// by path instead, so that a deep tree holds a bounded number of descriptors.
void TreeAdder::addDiskFolder(DirectoryNode& into, unsigned depth, const DiskEntry& folderEntry) {
  std::vector<std::string> names;
  FileDescriptor folder = readNames(folderEntry, names);
  if (!folder.valid()) {
    return;
  }
  if (openFolders_ >= kOpenFolders) {
    folder.close();
  }
  struct Holding {  // counts the folder as open until it is done, also when an add throws
    unsigned& open;
    ~Holding() { --open; }
  } const holding{++openFolders_};
  const std::string& path = folderEntry.data();
  const std::string prefix = path.ends_with('/') ? path : path + '/';
  for (std::string& name : names) {
    if (excluded(name)) {
      ++report_.excluded;
      continue;
    }
    DiskEntry entry;
    entry.path = prefix + name;
    entry.folder = folder.valid() ? folder.get() : AT_FDCWD;
    const int stated = ::fstatat(entry.folder, folder.valid() ? name.c_str() : entry.path.c_str(),
                                 &entry.status, AT_SYMLINK_NOFOLLOW);
    entry.name = std::move(name);
    if (stated != 0) {
      passOver(entry.path, std::string("cannot read it: ") + std::strerror(errno));
      continue;
    }
    entry.link = S_ISLNK(entry.status.st_mode);
    if (!entry.link || followLink(entry)) {
      addDiskEntry(into, depth, std::move(entry));
    }
  }
}

// Reads the names in the folder of `entry`, sorted, and answers the open folder; an invalid
// descriptor, with the folder passed over, when it cannot be read. A folder in an open one is
// opened relative to it, and not if it became a link since it was stat'ed.
FileDescriptor TreeAdder::readNames(const DiskEntry& entry, std::vector<std::string>& names) {
  const bool inFolder = entry.folder != AT_FDCWD && entry.source.empty();
  FileDescriptor folder =
      FileDescriptor::openAt(entry.folder, inFolder ? entry.name.c_str() : entry.data().c_str(),
                             O_RDONLY | O_DIRECTORY | O_NONBLOCK | (inFolder ? O_NOFOLLOW : 0));
  int error = folder.valid() ? 0 : errno;
  listing_.resize(kListing);
  for (ssize_t got = 1; error == 0 && got != 0;) {
    got = ::getdents64(folder.get(), listing_.data(), listing_.size());
    error = got < 0 && errno != EINTR ? errno : 0;
    for (ssize_t at = 0; at < got;) {
      const auto* found = reinterpret_cast<const dirent64*>(listing_.data() + at);
      const std::string_view name = found->d_name;
      if (name != "." && name != "..") {
        names.emplace_back(name);
      }
      at += found->d_reclen;
    }
  }
  if (error != 0) {
    passOver(entry.data(), std::string("cannot read the folder: ") + std::strerror(error));
    return {};
  }
  std::sort(names.begin(), names.end());
  return folder;
}

void TreeAdder::addDiskFile(DirectoryNode& into, const DiskEntry& entry) {
  if (static_cast<unsigned long long>(entry.status.st_size) > UINT32_MAX) {
    passOver(entry.path, "larger than the 4 GiB - 1 bytes an entry can hold");
    return;
  }
  if (keepExisting(into, entry.name, entry.status)) {
    return;
  }
  try {
    const TimeDate modified = TimeDate::fromTimespec(entry.status.st_mtim);
    const auto size = static_cast<unsigned int>(entry.status.st_size);
    UncommittedFileNode* node = nullptr;
    if (entry.source.empty()) {
      node = into.addUncommittedFile(entry.path, size, modified, 0);
    } else {
      // Named after the link, reading what it leads to.
      auto* made = new UncommittedFileNode(
          into.diskDriveAccessor().driveFileNameToVolumeFileName(entry.source, "||"), &into, size,
          modified, 0);
      made->name(entry.name);
      node = static_cast<UncommittedFileNode*>(into.add(made));
    }
    noteAdded(into, *node, entry.name);
  } catch (const VeskException& error) {
    passOver(entry.path, error.message());
  }
}

// When updating, the file of the same name is kept if its size and time are those of the
// source, and marked deleted otherwise, to be replaced. Where only a name that differs in
// letter case is there, the source went in under the next free name before: the entries of
// the names that follow are kept if one of them matches.
bool TreeAdder::keepExisting(DirectoryNode& into, const std::string& name,
                             const struct stat& status) {
  if (!options_.update) {
    return false;
  }
  const TimeDate modified = TimeDate::fromTimespec(status.st_mtim);
  FileString taken(name.c_str());
  for (FileNode* existing = into.findFile(taken); existing != nullptr;
       existing = into.findFile(taken)) {
    const bool same = existing->fileSize() == static_cast<unsigned long long>(status.st_size) &&
                      existing->creationTime() == modified;
    if (same) {
      ++report_.unchanged;
      return true;
    }
    if (existing->name().view() == name) {
      into.remove(existing);
      ++report_.replaced;
      return false;
    }
    taken.increment();
  }
  return false;
}

bool TreeAdder::excluded(const std::string& name) const {
  return std::any_of(options_.exclude.begin(), options_.exclude.end(),
                     [&name](const std::string& pattern) {
                       return WildString(pattern.c_str()).match(name.c_str());
                     });
}

void TreeAdder::addFromArchive(TreeNode& node, const std::string& otherStream,
                               BinStream& otherData) {
  otherStream_ = otherStream;
  otherData_ = &otherData;
  pathDirectory_ = nullptr;
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
    noteAdded(into, *slice, file.name().str());
  }
}

DirectoryNode& TreeAdder::folderNamed(DirectoryNode& into, const FileString& name) {
  DirectoryNode* folder = into.findDirectory(name);
  return folder != nullptr ? *folder : *into.addDirectory(name);
}

void TreeAdder::noteAdded(DirectoryNode& into, const TreeNode& node, const std::string& wanted) {
  ++report_.added;
  report_.addedPaths.push_back(pathBelow(into) + node.name().str());
  if (node.name().view() == wanted) {
    return;
  }
  const TreeNode* holder = into.findFile(wanted);
  if (holder == nullptr) {
    holder = into.findDirectory(wanted);
  }
  report_.renamed.push_back(
      {wanted, report_.addedPaths.back(), holder != nullptr ? holder->name().str() : wanted});
}

// What the tree paths of the children of `directory` begin with. The adds of one folder go
// to one directory after another, so the path is made once for each, not for every node.
const std::string& TreeAdder::pathBelow(const DirectoryNode& directory) {
  if (&directory != pathDirectory_) {
    pathDirectory_ = &directory;
    pathPrefix_ = directory.parent() == nullptr ? std::string() : TreePath::of(directory) + '/';
  }
  return pathPrefix_;
}

void TreeAdder::passOver(const std::string& what, const std::string& why) {
  report_.passedOver.push_back({what, why});
}

}  // namespace vesk
