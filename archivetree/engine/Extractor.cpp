#include "Extractor.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "ArchiveError.h"
#include "BinStream.h"
#include "ByteOrder.h"
#include "DirectoryNode.h"
#include "FileDescriptor.h"
#include "FileNode.h"
#include "TreePath.h"
#include "VeskException.h"

namespace vesk {

namespace {

constexpr std::size_t kPiece = std::size_t{1} << 20;
constexpr const char* kTemporaryPrefix = ".vesk-extract-";

// The folder `name` inside `folder`, made when missing, opened without following a link.
FileDescriptor enterFolder(int folder, const std::string& name, const std::string& shown) {
  if (::mkdirat(folder, name.c_str(), 0777) != 0 && errno != EEXIST) {
    throw ArchiveError::system("Cannot make the folder", shown, errno);
  }
  FileDescriptor entered =
      FileDescriptor::openAt(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
  if (!entered.valid()) {
    throw ArchiveError::system("Cannot enter the folder", shown, errno);
  }
  return entered;
}

bool existsIn(int folder, const std::string& name) {
  struct stat status {};
  return ::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace

bool Extractor::Report::damaged() const {
  return std::any_of(failures.begin(), failures.end(),
                     [](const Failure& failure) { return failure.damaged; });
}

Extractor::Extractor(BinStream& stream, std::string archive, Options options)
    : stream_(stream), archive_(std::move(archive)), options_(options) {}

bool Extractor::safeName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

void Extractor::extract(TreeNode& node, const std::string& target, Report& report) {
  if (::mkdir(target.c_str(), 0777) != 0 && errno != EEXIST) {
    throw ArchiveError::system("Cannot make the folder", target, errno);
  }
  const FileDescriptor folder = FileDescriptor::open(target.c_str(), O_RDONLY | O_DIRECTORY);
  if (!folder.valid()) {
    throw ArchiveError::system("Cannot open the folder", target, errno);
  }
  if (node.parent() == nullptr) {
    extractChildren(folder.get(), target, *node.directory(), report);
  } else {
    extractInto(folder.get(), target, node, report);
  }
}

void Extractor::extractChildren(int folder, const std::string& shownFolder,
                                DirectoryNode& directory, Report& report) {
  for (const SmartPointer<TreeNode>& child : directory) {
    if (!child->deleted()) {
      extractInto(folder, shownFolder, *child, report);
    }
  }
}

void Extractor::extractInto(int folder, const std::string& shownFolder, TreeNode& node,
                            Report& report) {
  const std::string name = node.name().str();
  const std::string path = TreePath::of(node);
  if (!safeName(name)) {
    report.failures.push_back({path,
                               archive_ + ": refused to extract '" + path +
                                   "': its name cannot be used as a file name inside " +
                                   shownFolder,
                               false});
    return;
  }
  const std::string shown = shownFolder + "/" + name;
  if (DirectoryNode* directory = node.directory()) {
    FileDescriptor inner;
    try {
      inner = enterFolder(folder, name, shown);
    } catch (const ArchiveError& error) {
      report.failures.push_back(
          {path, archive_ + ": cannot extract '" + path + "': " + error.what(), false});
      return;
    }
    extractChildren(inner.get(), shown, *directory, report);
  } else if (node.uncommittedFile() != nullptr) {
    report.pending.push_back(path);
  } else if (FileNode* file = node.file()) {
    writeFile(folder, shown, *file, report);
  }
}

// The data goes to a new file beside the target, which then takes the target's name.
void Extractor::writeFile(int folder, const std::string& shown, FileNode& file, Report& report) {
  const std::string name = file.name().str();
  const std::string path = TreePath::of(file);
  if (options_.keepExisting && existsIn(folder, name)) {
    report.kept.push_back(path);
    return;
  }
  std::string temporary;
  try {
    FileDescriptor out = FileDescriptor::createUnique(folder, kTemporaryPrefix, 12, temporary);
    if (!out.valid()) {
      temporary.clear();
      throw ArchiveError::system("Cannot create a file in", shown.substr(0, shown.rfind('/')),
                                 errno);
    }
    std::int64_t written = 0;
    copyData(file, [&](const char* bytes, std::size_t count) {
      if (!out.writeAt(bytes, count, written)) {
        throw ArchiveError::system("Cannot write", shown, errno);
      }
      written += static_cast<std::int64_t>(count);
    });
    const std::array<timespec, 2> times = {timespec{0, UTIME_OMIT},
                                           file.creationTime().toTimespec()};
    if (::futimens(out.get(), times.data()) != 0) {
      throw ArchiveError::system("Cannot set the time of", shown, errno);
    }
    if (!out.close()) {
      throw ArchiveError::system("Cannot write", shown, errno);
    }
    const unsigned flags = options_.keepExisting ? RENAME_NOREPLACE : 0;
    if (::renameat2(folder, temporary.c_str(), folder, name.c_str(), flags) != 0) {
      if (errno == EEXIST && options_.keepExisting) {
        ::unlinkat(folder, temporary.c_str(), 0);
        report.kept.push_back(path);
        return;
      }
      throw ArchiveError::system("Cannot put the file in place as", shown, errno);
    }
    ++report.files;
  } catch (const ArchiveError& error) {
    if (!temporary.empty()) {
      ::unlinkat(folder, temporary.c_str(), 0);
    }
    const bool damaged = error.kind() == ArchiveError::Kind::damaged;
    report.failures.push_back(
        {path,
         damaged ? error.what() : archive_ + ": cannot extract '" + path + "': " + error.what(),
         damaged});
  }
}

void Extractor::writeData(FileNode& file, int descriptor) {
  copyData(file, [&](const char* bytes, std::size_t count) {
    if (!FileDescriptor::write(descriptor, bytes, count)) {
      throw ArchiveError::system("Cannot write the data of", TreePath::of(file), errno);
    }
  });
}

void Extractor::writeData(FileNode& file, std::ostream& out) {
  copyData(file, [&](const char* bytes, std::size_t count) {
    out.write(bytes, static_cast<std::streamsize>(count));
    if (!out) {
      throw ArchiveError(ArchiveError::Kind::failed,
                         "Cannot write the data of '" + TreePath::of(file) + "'");
    }
  });
}

void Extractor::copyData(FileNode& file, const Sink& sink) {
  const std::string entry = archive_ + ": '" + TreePath::of(file) + "'";
  try {
    std::array<char, 8> prefix{};
    if (file.offsetPrefix() >= 0) {
      stream_.seekg(file.offsetPrefix());
      stream_.read(prefix.data(), static_cast<unsigned>(prefix.size()));
    }
    if (file.offsetPrefix() < 0 || loadLittle64(prefix.data()) != file.fileSize()) {
      throw ArchiveError(
          ArchiveError::Kind::damaged,
          entry + ": its block does not hold its " + std::to_string(file.fileSize()) + " bytes");
    }
    buffer_.resize(std::min<std::size_t>(kPiece, std::max<std::size_t>(file.fileSize(), 1)));
    for (std::uint64_t left = file.fileSize(); left > 0;) {
      const auto piece = static_cast<unsigned>(std::min<std::uint64_t>(left, buffer_.size()));
      stream_.read(buffer_.data(), piece);
      sink(buffer_.data(), piece);
      left -= piece;
    }
  } catch (const ArchiveError&) {
    throw;
  } catch (const VeskException& error) {
    const auto kind = error.error() != 0 ? ArchiveError::Kind::failed : ArchiveError::Kind::damaged;
    throw ArchiveError(kind, entry + ": cannot read its data: ", error);
  }
}

}  // namespace vesk
