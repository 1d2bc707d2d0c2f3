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
  /// The record of `file`, committed from the pending file named `oldPathName`.
  CommittedFiles(FileNode* file, FileString const& oldPathName);
  /// Copies the record; both point at the same node.
  CommittedFiles(CommittedFiles const& source) = default;
  /// \copydoc CommittedFiles(CommittedFiles const&)
  CommittedFiles& operator=(CommittedFiles const& source) = default;
  virtual ~CommittedFiles();

  /// The committed node; valid as long as the tree holds it.
  FileNode const* file() const noexcept { return file_; }
  /// The name under which the data was found.
  FileString const& oldPathName() const noexcept { return oldPathName_; }

  /// The version text of the class.
  static char const* version();

 private:
  FileNode* file_;
  FileString oldPathName_;
};

}  // namespace vesk

#endif  // VESK_COMMITTEDFILES_H
