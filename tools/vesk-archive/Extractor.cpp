#include "Extractor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "BinStream.h"
#include "ByteOrder.h"
#include "DirectoryNode.h"
#include "FileNode.h"
#include "ToolError.h"
#include "TreePath.h"
#include "VeskException.h"

namespace vesk {

namespace {

constexpr std::size_t kPiece = std::size_t{1} << 20;

// An open descriptor, closed when it goes.
class Descriptor {
 public:
  explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (descriptor_ >= 0) {
      ::close(descriptor_);
    }
  }
  int get() const { return descriptor_; }

 private:
  int descriptor_;
};

// The folder `name` inside `folder`, made when missing, opened without following a link.
int enterFolder(int folder, const std::string& name, const std::string& shown) {
  if (::mkdirat(folder, name.c_str(), 0777) != 0 && errno != EEXIST) {
    throw ToolError::system("Cannot make the folder", shown, errno);
  }
  const int entered =
      ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (entered < 0) {
    throw ToolError::system("Cannot enter the folder", shown, errno);
  }
  return entered;
}

void writeAll(int descriptor, const char* bytes, std::size_t count, const std::string& shown) {
  while (count > 0) {
    const ssize_t written = ::write(descriptor, bytes, count);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      throw ToolError::system("Cannot write", shown, written < 0 ? errno : EIO);
    }
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
}

}  // namespace

Extractor::Extractor(BinStream& stream, std::string archive, std::ostream& out, std::ostream& err)
    : stream_(stream), archive_(std::move(archive)), out_(out), err_(err) {}

bool Extractor::safeName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

void Extractor::extract(TreeNode& node, const std::string& target) {
  if (::mkdir(target.c_str(), 0777) != 0 && errno != EEXIST) {
    throw ToolError::system("Cannot make the folder", target, errno);
  }
  const Descriptor folder(::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() < 0) {
    throw ToolError::system("Cannot open the folder", target, errno);
  }
  if (node.parent() == nullptr) {
    extractChildren(folder.get(), target, *node.directory());
  } else {
    extractInto(folder.get(), target, node);
  }
}

void Extractor::extractChildren(int folder, const std::string& shownFolder,
                                DirectoryNode& directory) {
  for (const SmartPointer<TreeNode>& child : directory) {
    if (!child->deleted()) {
      extractInto(folder, shownFolder, *child);
    }
  }
}

void Extractor::extractInto(int folder, const std::string& shownFolder, TreeNode& node) {
  const std::string name = node.name().str();
  if (!safeName(name)) {
    ++refused_;
    err_ << "vesk-archive: " << archive_ << ": refused to extract '" << TreePath::of(node)
         << "': its name cannot be used as a file name inside " << shownFolder << '\n';
    return;
  }
  const std::string shown = shownFolder + "/" + name;
  if (DirectoryNode* directory = node.directory()) {
    const Descriptor inner(enterFolder(folder, name, shown));
    extractChildren(inner.get(), shown, *directory);
  } else if (node.uncommittedFile() != nullptr) {
    ++pending_;
    out_ << "not yet committed, passed over: " << TreePath::of(node) << '\n';
  } else if (FileNode* file = node.file()) {
    writeFile(folder, shown, *file);
  }
}

void Extractor::writeFile(int folder, const std::string& shown, FileNode& file) {
  const Descriptor out(::openat(folder, file.name().c_str(),
                                O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (out.get() < 0) {
    throw ToolError::system("Cannot create", shown, errno);
  }
  copyData(out.get(), shown, file);
  const std::array<timespec, 2> times = {timespec{0, UTIME_OMIT}, file.creationTime().toTimespec()};
  if (::futimens(out.get(), times.data()) != 0) {
    throw ToolError::system("Cannot set the time of", shown, errno);
  }
  ++files_;
}

void Extractor::copyData(int descriptor, const std::string& shown, FileNode& file) {
  const std::string entry = archive_ + ": '" + TreePath::of(file) + "'";
  try {
    std::array<char, 8> prefix{};
    stream_.seekg(file.offsetPrefix());
    stream_.read(prefix.data(), static_cast<unsigned>(prefix.size()));
    if (file.offsetPrefix() < 0 || loadLittle64(prefix.data()) != file.fileSize()) {
      throw ToolError(ToolError::kDamaged, entry + ": its block does not hold its " +
                                               std::to_string(file.fileSize()) + " bytes");
    }
    buffer_.resize(kPiece);
    for (std::uint64_t left = file.fileSize(); left > 0;) {
      const auto piece = static_cast<unsigned>(std::min<std::uint64_t>(left, kPiece));
      stream_.read(buffer_.data(), piece);
      writeAll(descriptor, buffer_.data(), piece, shown);
      left -= piece;
    }
  } catch (const VeskException& error) {
    throw ToolError(ToolError::kDamaged, entry + ": cannot read its data: " + error.what());
  }
}

}  // namespace vesk
