#include "Archive.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "ArchiveCheck.h"
#include "Compactor.h"
#include "MemoryStream.h"
#include "ToolError.h"
#include "TreePath.h"
#include "VeskException.h"

namespace vesk {

namespace {

namespace fs = std::filesystem;

constexpr int kRead = 0x01;
constexpr int kWrite = 0x02;
constexpr int kTruncate = 0x10;

bool exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

bool emptyOrMissing(const std::string& path) {
  std::error_code error;
  const auto size = fs::file_size(path, error);
  return error ? !exists(path) : size == 0;
}

// A root name a path lookup can start with: one component, not empty.
bool usableRootName(const FileString& name) {
  return !name.empty() && name.view().find_first_of("/\\|") == std::string_view::npos;
}

}  // namespace

Archive::Archive(std::string path)
    : path_(std::move(path)),
      tocPath_(path_ + ".toc"),
      root_(std::make_unique<DirectoryNode>(TreePath::kRootName, nullptr)) {}

Archive::~Archive() = default;

void Archive::load(bool create) {
  Compactor::recover(*this);
  root_ = std::make_unique<DirectoryNode>(TreePath::kRootName, nullptr);
  if (exists(tocPath_)) {
    readTree();
  } else if (!create || !emptyOrMissing(path_)) {
    if (exists(path_) && !emptyOrMissing(path_)) {
      throw ToolError(ToolError::kDamaged, path_ + ": the table of contents " + tocPath_ +
                                               " is missing beside a stream with data");
    }
    throw ToolError(ToolError::kUser, path_ + ": no such archive (" + tocPath_ + " not found)");
  }
  if (!usableRootName(root_->name())) {
    root_->name(TreePath::kRootName);
  }
}

void Archive::readTree() {
  std::unique_ptr<BinVeskStream> toc;
  try {
    toc = std::make_unique<BinVeskStream>(tocPath_.c_str(), kRead, true);
  } catch (const VeskException&) {
    throw ToolError::system("Cannot open", tocPath_, EACCES);
  }
  try {
    root_->input(*toc);
    const std::int64_t rest = toc->size() - toc->tellg();
    if (rest != 0) {
      throw VeskException(std::to_string(rest) + " bytes follow the tree");
    }
  } catch (const VeskException& error) {
    throw ToolError(ToolError::kDamaged,
                    tocPath_ + ": damaged table of contents: " + std::string(error.what()));
  }
}

void Archive::save() {
  if (!exists(path_)) {
    const int created = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (created < 0) {
      throw ToolError::system("Cannot create", path_, errno);
    }
    ::close(created);
  }
  const std::string temporary = tocPath_ + ".tmp";
  saveAs(temporary);
  rename(temporary, tocPath_);
}

void Archive::saveAs(const std::string& target) {
  try {
    BinVeskStream out(target.c_str(), kWrite | kTruncate, true);
    root_->output(out);
    out.sync();
  } catch (const VeskException& error) {
    ::unlink(target.c_str());
    throw ToolError(ToolError::kUser, "Cannot write '" + target + "': " + error.what());
  }
}

std::unique_ptr<BinStream> Archive::openForReading() {
  if (!exists(path_)) {
    if (holdsCommittedFiles()) {
      throw ToolError(ToolError::kDamaged, path_ + ": the archive stream is missing");
    }
    return std::make_unique<MemoryStream>();
  }
  try {
    return std::make_unique<BinVeskStream>(path_.c_str(), kRead, false);
  } catch (const VeskException&) {
    throw ToolError::system("Cannot open", path_, EACCES);
  }
}

std::unique_ptr<BinVeskStream> Archive::openForWriting(std::int64_t& cut) {
  if (!exists(path_) && holdsCommittedFiles()) {
    throw ToolError(ToolError::kDamaged, path_ + ": the archive stream is missing");
  }
  std::int64_t liveEnd = 0;
  {
    // The check reads one prefix per block: without a buffer, which would read ahead each time.
    const std::unique_ptr<BinStream> reader = openForReading();
    const ArchiveCheck check(*root_, *reader);
    check.requireSound(path_);
    liveEnd = check.liveEnd();
  }
  std::unique_ptr<BinVeskStream> stream;
  try {
    stream = std::make_unique<BinVeskStream>(path_.c_str(), kRead | kWrite, true);
  } catch (const VeskException&) {
    throw ToolError::system("Cannot open for writing", path_, EACCES);
  }
  cut = stream->size() - liveEnd;
  if (cut > 0) {
    stream->seekp(liveEnd);
    stream->setEOF();
    stream->sync();
  }
  return stream;
}

void Archive::rename(const std::string& from, const std::string& to) const {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    throw ToolError::system("Cannot rename '" + from + "' to", to, errno);
  }
  syncFolder();
}

void Archive::syncFolder() const {
  const fs::path folder = fs::path(path_).parent_path();
  const std::string name = folder.empty() ? "." : folder.string();
  const int descriptor = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) {
    throw ToolError::system("Cannot open the folder", name, errno);
  }
  const int synced = ::fsync(descriptor);
  const int error = errno;
  ::close(descriptor);
  if (synced != 0) {
    throw ToolError::system("Cannot sync the folder", name, error);
  }
}

bool Archive::holdsCommittedFiles() {
  bool found = false;
  TreePath::eachLive(*root_,
                     [&](TreeNode& node) { found = found || TreePath::isCommittedFile(node); });
  return found;
}

}  // namespace vesk
