// ArchiveMount: shows an archive as a read-only file system through FUSE: its folders and its
// stored files, with their sizes, times and read-only marks (mode 0444 for a file marked
// read-only, 0644 otherwise; the file system refuses every write all the same). Pending
// files have no data yet and are not shown, nor are names no folder on disk can hold. Data
// is read from the blocks when a program reads it, through the one stream the mount keeps
// open. The Archive, opened for reading, must outlive the mount: it holds the archive's
// shared lock all the while, so that a writer waits until the file system is unmounted.
// Requests are served one at a time on the thread that calls serve().
#ifndef VESK_ARCHIVEMOUNT_H
#define VESK_ARCHIVEMOUNT_H

#include <memory>
#include <string>

namespace vesk {

class Archive;
class BinStream;
class FileNode;
class TreeNode;

class ArchiveMount {
 public:
  explicit ArchiveMount(Archive& archive);
  ArchiveMount(const ArchiveMount&) = delete;
  ArchiveMount& operator=(const ArchiveMount&) = delete;
  ~ArchiveMount();

  // Mounts the archive on `folder` and serves it until it is unmounted (fusermount3 -u) or
  // the process is interrupted; in the background unless `foreground`. Answers 0 then, and
  // not 0 when it could not mount (FUSE says why on the error stream).
  int serve(const std::string& folder, bool foreground);

  // The entry shown at the file system path `path` ("/" the top), or null.
  TreeNode* shown(const char* path);
  // Reads up to `size` bytes of `file` at `offset` into `buffer`; answers the count or
  // -errno.
  int read(FileNode& file, char* buffer, std::size_t size, std::int64_t offset);

 private:
  Archive& archive_;
  std::unique_ptr<BinStream> stream_;
};

}  // namespace vesk

#endif  // VESK_ARCHIVEMOUNT_H
