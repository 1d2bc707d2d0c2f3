#include "TreeFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <utility>
#include <vector>

#include "ArchiveError.h"
#include "BinVeskStream.h"
#include "DirectoryNode.h"
#include "PosixFile.h"

namespace vesk {

namespace {

namespace fs = std::filesystem;

constexpr const char* kTemporaryMark = ".tmp-";
constexpr std::size_t kSuffixLength = 6;
constexpr std::size_t kBufferSize = std::size_t{2} << 20;

// A stream that keeps nothing and counts what is written to it.
class CountingStream : public BinStream {
 public:
  std::int64_t written() const { return written_; }

  void clear() override {}
  bool eof() const override { return true; }
  bool fail() const override { return false; }
  BinStream* matchingStream(const char*, int) override { return new CountingStream; }
  BinStream& read(char*, unsigned) override { throw VeskException("CountingStream cannot read"); }
  BinStream& write(const char*, unsigned count) override {
    written_ += count;
    return *this;
  }
  BinStream& seekg(std::int64_t, std::ios_base::seekdir) override { return *this; }
  BinStream& seekg(std::int64_t) override { return *this; }
  BinStream& seekp(std::int64_t, std::ios_base::seekdir) override { return *this; }
  BinStream& seekp(std::int64_t) override { return *this; }
  void setEOF() override {}
  std::int64_t size() override { return written_; }
  std::int64_t tellg() override { return written_; }
  std::int64_t tellp() override { return written_; }
  IOPosition* telldelayp() override { return nullptr; }
  const char* version() const override { return "CountingStream 1.0, 06.12.2026"; }

 private:
  std::int64_t written_ = 0;
};

}  // namespace

TreeFile::TreeFile(std::string path) : path_(std::move(path)) {}

TreeFile::~TreeFile() {
  discardReserved();
}

bool TreeFile::exists() const {
  return current().present;
}

TreeFile::Identity TreeFile::identityOf(const struct stat& status) {
  return Identity{true, status.st_dev, status.st_ino, status.st_size,
                  status.st_mtim.tv_sec * 1000000000LL + status.st_mtim.tv_nsec};
}

TreeFile::Identity TreeFile::current() const {
  struct stat status {};
  return ::stat(path_.c_str(), &status) == 0 ? identityOf(status) : Identity{};
}

void TreeFile::load(DirectoryNode& root) {
  // Without blocking, so that a FIFO in the file's place is refused instead of waited on.
  FileDescriptor file = FileDescriptor::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
  struct stat status {};
  if (!file.valid() || !file.status(status)) {
    throw ArchiveError::system("Cannot open", path_, errno);
  }
  if (!S_ISREG(status.st_mode)) {
    throw ArchiveError(ArchiveError::Kind::failed,
                       path_ + ": not a table of contents (not a regular file)");
  }
  known_ = identityOf(status);
  try {
    BinVeskStream stream(new PosixFile(file.release(), path_, kBufferSize));
    root.input(stream);
    const std::int64_t rest = stream.size() - stream.tellg();
    if (rest != 0) {
      throw VeskException((std::to_string(rest) + " bytes follow the tree").c_str());
    }
  } catch (const VeskException& error) {
    if (error.error() != 0) {
      throw ArchiveError(ArchiveError::Kind::failed, path_ + ": ", error);
    }
    throw ArchiveError(ArchiveError::Kind::damaged,
                       path_ + ": damaged table of contents: " + error.what());
  }
}

void TreeFile::save(const DirectoryNode& root) {
  if (depth(root) > DirectoryNode::kMaximumStoredDepth) {
    throw ArchiveError(ArchiveError::Kind::failed,
                       path_ + ": the tree nests deeper than " +
                           std::to_string(DirectoryNode::kMaximumStoredDepth) +
                           " folder levels and could not be read back; it was not saved");
  }
  std::string temporary = std::exchange(reservedName_, std::string());
  FileDescriptor file = reserved_.valid() ? std::move(reserved_) : makeTemporary(temporary);
  try {
    {
      BinVeskStream stream(new PosixFile(file.release(), temporary, kBufferSize));
      root.output(stream);
      stream.setEOF();  // a reserved file may be longer than the tree
      stream.sync();
    }
    const Identity now = current();
    if (now.present != known_.present || now.device != known_.device || now.inode != known_.inode ||
        now.size != known_.size || now.modified != known_.modified) {
      throw ArchiveError(ArchiveError::Kind::failed,
                         path_ +
                             ": changed on disk since it was read (by another program?); "
                             "not replaced, so that its changes are not lost");
    }
    if (::rename(temporary.c_str(), path_.c_str()) != 0) {
      throw ArchiveError::system("Cannot rename '" + temporary + "' to", path_, errno);
    }
  } catch (const ArchiveError&) {
    ::unlink(temporary.c_str());
    throw;
  } catch (const VeskException& error) {
    ::unlink(temporary.c_str());
    throw ArchiveError(ArchiveError::Kind::failed, path_ + ": cannot save the tree: ", error);
  }
  if (!FileDescriptor::syncFolderOf(path_)) {
    throw ArchiveError::system("Cannot sync the folder of", path_, errno);
  }
  known_ = current();
}

void TreeFile::reserve(std::int64_t bytes) {
  discardReserved();
  std::string name;
  FileDescriptor file = makeTemporary(name);
  if (!file.reserve(0, std::max<std::int64_t>(bytes, 1))) {
    const int error = errno;
    ::unlink(name.c_str());
    throw ArchiveError(
        ArchiveError::Kind::failed,
        VeskException::systemError(
            "Cannot set aside " + std::to_string(bytes) + " bytes to save the tree in", name, error)
            .what(),
        error, name);
  }
  reserved_ = std::move(file);
  reservedName_ = std::move(name);
}

void TreeFile::discardReserved() noexcept {
  if (reserved_.valid()) {
    reserved_.close();
    ::unlink(reservedName_.c_str());
  }
  reservedName_.clear();
}

// A new file beside A.toc whose name no other file has, created as A.toc would be.
FileDescriptor TreeFile::makeTemporary(std::string& name) const {
  FileDescriptor file =
      FileDescriptor::createUnique(AT_FDCWD, path_ + kTemporaryMark, kSuffixLength, name);
  if (!file.valid()) {
    throw ArchiveError::system("Cannot create", name, errno);
  }
  return file;
}

std::int64_t TreeFile::storedSize(const DirectoryNode& root) {
  CountingStream counter;
  root.output(counter);
  return counter.written();
}

unsigned TreeFile::depth(const DirectoryNode& root) {
  unsigned deepest = 0;
  std::vector<std::pair<const DirectoryNode*, unsigned>> open = {{&root, 0}};
  while (!open.empty()) {
    const auto [directory, level] = open.back();
    open.pop_back();
    deepest = std::max(deepest, level);
    if (directory->deleted() && level > 0) {
      continue;  // saved without its children
    }
    for (const SmartPointer<TreeNode>& child : *directory) {
      if (DirectoryNode* below = child->directory()) {
        open.emplace_back(below, level + 1);
      }
    }
  }
  return deepest;
}

void TreeFile::removeLeftovers(const std::string& path) {
  const fs::path file(path);
  const std::string prefix = file.filename().string() + kTemporaryMark;
  const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
  std::error_code error;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (name.size() == prefix.size() + kSuffixLength && name.starts_with(prefix)) {
      fs::remove(entry->path(), error);
    }
  }
}

}  // namespace vesk
