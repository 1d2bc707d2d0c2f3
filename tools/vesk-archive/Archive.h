// Archive: an archive on disk, the stream file A and its saved tree A.toc, with the tree in
// memory. The tree is replaced only by renaming a synced temporary file over A.toc, after
// the stream's own writes are synced, so a crash always leaves a saved tree that matches the
// stream. A cleanup compacts the stream in place under a journal (A.journal); one that was
// cut short is finished by the next load. The Archive owns the tree; pointers into it stay
// valid until the next load or the Archive's end. One thread at a time.
#ifndef VESK_ARCHIVE_H
#define VESK_ARCHIVE_H

#include <cstdint>
#include <memory>
#include <string>

#include "BinStream.h"
#include "BinVeskStream.h"
#include "DirectoryNode.h"

namespace vesk {

class Archive {
 public:
  explicit Archive(std::string path);
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;
  ~Archive();

  const std::string& path() const noexcept { return path_; }
  const std::string& tocPath() const noexcept { return tocPath_; }
  // The journal of a compaction in progress.
  std::string journalPath() const { return path_ + ".journal"; }

  // Reads the tree from A.toc. With `create`, a missing archive starts out empty (nothing is
  // written before save()). Throws ToolError: kUser when the archive does not exist,
  // kDamaged when A.toc is missing beside a stream with data or does not parse.
  void load(bool create);
  DirectoryNode& root() noexcept { return *root_; }
  // Puts `root` in place of the tree in memory.
  void tree(std::unique_ptr<DirectoryNode> root) { root_ = std::move(root); }

  // Replaces A.toc with the tree (creating an empty stream first when there is none). Throws
  // ToolError kUser when it cannot; A.toc is then unchanged.
  void save();
  // Writes the tree to `target` and syncs it; `target` is removed when that fails.
  void saveAs(const std::string& target);

  // The stream for reading; an empty one when the file is missing and the tree holds no
  // committed file. Throws ToolError kDamaged when data is missing.
  std::unique_ptr<BinStream> openForReading();
  // The stream for appending, created when missing. Checks the tree against it first
  // (ToolError kDamaged when they differ) and cuts what lies behind the last live block, a
  // torn or unsaved tail of an interrupted commit; `cut` tells how many bytes went.
  std::unique_ptr<BinVeskStream> openForWriting(std::int64_t& cut);

  // Renames `from` to `to` in the archive's folder and makes that durable.
  void rename(const std::string& from, const std::string& to) const;
  // Makes the entries of the archive's folder durable.
  void syncFolder() const;

 private:
  void readTree();
  bool holdsCommittedFiles();

  std::string path_;
  std::string tocPath_;
  std::unique_ptr<DirectoryNode> root_;
};

}  // namespace vesk

#endif  // VESK_ARCHIVE_H
