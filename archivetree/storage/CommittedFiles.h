/// \class vesk::CommittedFiles CommittedFiles.h <vesk/CommittedFiles.h>
/// CommittedFiles: the record of one pending file that a commit stored: the committed node
/// that took its place and the name under which its data was found. The record does not own
/// the node; the pointer is valid while the tree holds the node.
#ifndef VESK_COMMITTEDFILES_H
#define VESK_COMMITTEDFILES_H

#include "FileString.h"

namespace vesk {

class FileNode;

class CommittedFiles {
 public:
  CommittedFiles(FileNode* file, FileString const& oldPathName);
  CommittedFiles(CommittedFiles const& source) = default;
  CommittedFiles& operator=(CommittedFiles const& source) = default;
  virtual ~CommittedFiles();

  FileNode const* file() const noexcept { return file_; }
  FileString const& oldPathName() const noexcept { return oldPathName_; }

  static char const* version();

 private:
  FileNode* file_;
  FileString oldPathName_;
};

}  // namespace vesk

#endif  // VESK_COMMITTEDFILES_H
