#include "ArchiveMount.h"

#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Archive.h"
#include "BinStream.h"
#include "DirectoryNode.h"
#include "Extractor.h"
#include "FileNode.h"
#include "VeskException.h"

namespace vesk {

namespace {

ArchiveMount& self() {
  return *static_cast<ArchiveMount*>(fuse_get_context()->private_data);
}

bool visible(TreeNode& node) {
  return node.uncommittedFile() == nullptr && Extractor::safeName(node.name().str());
}

void describe(TreeNode& node, struct stat& status) {
  status = {};
  const TimeDate& time = node.file() != nullptr ? node.file()->creationTime() : node.timeStamp();
  status.st_mtim = status.st_ctim = status.st_atim = time.toTimespec();
  status.st_uid = ::getuid();
  status.st_gid = ::getgid();
  if (const FileNode* file = node.file()) {
    status.st_mode = S_IFREG | (node.readOnly() ? 0444 : 0644);
    status.st_nlink = 1;
    status.st_size = static_cast<off_t>(file->fileSize());
    status.st_blocks = (status.st_size + 511) / 512;
  } else {
    status.st_mode = S_IFDIR | (node.readOnly() ? 0555 : 0755);
    status.st_nlink = 2;
  }
}

int getAttributes(const char* path, struct stat* status, fuse_file_info* /*file*/) {
  TreeNode* node = self().shown(path);
  if (node == nullptr) {
    return -ENOENT;
  }
  describe(*node, *status);
  return 0;
}

int readFolder(const char* path, void* buffer, fuse_fill_dir_t fill, off_t /*offset*/,
               fuse_file_info* /*file*/, fuse_readdir_flags /*flags*/) {
  TreeNode* node = self().shown(path);
  if (node == nullptr || node->directory() == nullptr) {
    return node == nullptr ? -ENOENT : -ENOTDIR;
  }
  fill(buffer, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  fill(buffer, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  for (const SmartPointer<TreeNode>& child : *node->directory()) {
    if (!child->deleted() && visible(*child)) {
      struct stat status {};
      describe(*child, status);
      fill(buffer, child->name().str().c_str(), &status, 0, static_cast<fuse_fill_dir_flags>(0));
    }
  }
  return 0;
}

int openFile(const char* path, fuse_file_info* file) {
  TreeNode* node = self().shown(path);
  if (node == nullptr) {
    return -ENOENT;
  }
  if ((file->flags & O_ACCMODE) != O_RDONLY || (file->flags & O_TRUNC) != 0) {
    return -EROFS;
  }
  return node->directory() != nullptr ? -EISDIR : 0;
}

int readFile(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info* /*file*/) {
  TreeNode* node = self().shown(path);
  if (node == nullptr || node->file() == nullptr) {
    return -ENOENT;
  }
  return self().read(*node->file(), buffer, size, offset);
}

int refuse() {
  return -EROFS;
}

fuse_operations operations() {
  fuse_operations table{};
  table.getattr = &getAttributes;
  table.readdir = &readFolder;
  table.open = &openFile;
  table.read = &readFile;
  // The mount is read-only, so the kernel refuses most writes itself; these answer the same.
  table.write = [](const char*, const char*, size_t, off_t, fuse_file_info*) { return refuse(); };
  table.create = [](const char*, mode_t, fuse_file_info*) { return refuse(); };
  table.mkdir = [](const char*, mode_t) { return refuse(); };
  table.unlink = [](const char*) { return refuse(); };
  table.rmdir = [](const char*) { return refuse(); };
  table.rename = [](const char*, const char*, unsigned) { return refuse(); };
  table.truncate = [](const char*, off_t, fuse_file_info*) { return refuse(); };
  table.chmod = [](const char*, mode_t, fuse_file_info*) { return refuse(); };
  table.utimens = [](const char*, const timespec*, fuse_file_info*) { return refuse(); };
  return table;
}

}  // namespace

ArchiveMount::ArchiveMount(Archive& archive)
    : archive_(archive), stream_(archive.openForReading()) {}

ArchiveMount::~ArchiveMount() = default;

TreeNode* ArchiveMount::shown(const char* path) {
  TreeNode* node = archive_.find(path);
  return node != nullptr && (node->parent() == nullptr || visible(*node)) ? node : nullptr;
}

int ArchiveMount::read(FileNode& file, char* buffer, std::size_t size, std::int64_t offset) {
  const auto length = static_cast<std::int64_t>(file.fileSize());
  if (offset >= length) {
    return 0;
  }
  const auto count = static_cast<unsigned>(
      std::min<std::int64_t>(static_cast<std::int64_t>(size), length - offset));
  try {
    stream_->seekg(file.offset() + offset);
    stream_->read(buffer, count);
  } catch (const VeskException&) {
    stream_->clear();
    return -EIO;
  }
  return static_cast<int>(count);
}

// The steps of fuse_main, taken one by one so that a loop ended by a signal (Ctrl-C) is told
// apart from a mount that failed.
int ArchiveMount::serve(const std::string& folder, bool foreground) {
  std::vector<std::string> arguments = {"vesk-archive", "-o",
                                        "ro,fsname=vesk-archive,subtype=vesk"};
  std::vector<char*> argv;
  for (std::string& argument : arguments) {
    argv.push_back(argument.data());
  }
  fuse_args args = FUSE_ARGS_INIT(static_cast<int>(argv.size()), argv.data());
  const std::unique_ptr<fuse_args, decltype(&fuse_opt_free_args)> parsed(&args,
                                                                         &fuse_opt_free_args);
  const fuse_operations table = operations();
  const std::unique_ptr<fuse, decltype(&fuse_destroy)> system(
      fuse_new(&args, &table, sizeof(table), this), &fuse_destroy);
  // Unmounting at the end needs the folder's full path, as the process may be elsewhere.
  const std::unique_ptr<char, decltype(&std::free)> full(::realpath(folder.c_str(), nullptr),
                                                         &std::free);
  if (!system || fuse_mount(system.get(), full ? full.get() : folder.c_str()) != 0) {
    return 1;
  }
  fuse_session* session = fuse_get_session(system.get());
  int ended = -1;
  if (fuse_daemonize(foreground ? 1 : 0) == 0 && fuse_set_signal_handlers(session) == 0) {
    ended = fuse_loop(system.get());  // a signal's number, or -errno when serving failed
    fuse_remove_signal_handlers(session);
  }
  fuse_unmount(system.get());
  return ended < 0 ? 1 : 0;
}

}  // namespace vesk
