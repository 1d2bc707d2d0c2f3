/// \class vesk::ConCommittedFiles ConCommittedFiles.h <vesk/ConCommittedFiles.h>
/// ConCommittedFiles: the records of a commit, in the order the commit stored the files.
/// Callers walk it with the vector's iterators and read a record through the accessors,
/// which read the committed node as it is now. An accessor given end() throws
/// VeskException "Invalid access beyond end of container"; any other iterator must point
/// into this container. size(it) hides the vector's size(); ask the base for the count.
#ifndef VESK_CONCOMMITTEDFILES_H
#define VESK_CONCOMMITTEDFILES_H

#include <cstdint>
#include <vector>

#include "CommittedFiles.h"
#include "TimeDate.h"

namespace vesk {

class ConCommittedFiles : public std::vector<CommittedFiles> {
 public:
  /// A position in the records.
  using Position = std::vector<CommittedFiles>::iterator;

  ConCommittedFiles() = default;
  virtual ~ConCommittedFiles();

  /// The node's path in the tree now.
  FileString committedName(Position it) const;
  /// The size of the stored data.
  unsigned int compressedSize(Position it) const;
  /// Whether the node is marked deleted.
  bool deleted(Position it) const;
  /// The position of the first data byte in the archive.
  std::int64_t offset(Position it) const;
  /// Whether the node is read-only.
  bool readOnly(Position it) const;
  /// The size of the file.
  unsigned int size(Position it) const;
  /// The node's time stamp.
  TimeDate const& timeStamp(Position it) const;
  /// The name under which the data was found.
  FileString const& uncommittedName(Position it) const;

  /// The version text of the class.
  static char const* version();

 private:
  FileNode const& nodeAt(Position it) const;
};

}  // namespace vesk

#endif  // VESK_CONCOMMITTEDFILES_H
