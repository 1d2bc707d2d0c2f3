#include "ConCommittedFiles.h"

#include "ArchiveTreeStrings.h"
#include "FileNode.h"
#include "MessageIds.h"
#include "VeskException.h"

namespace vesk {

namespace {

void checkPosition(const ConCommittedFiles& records, ConCommittedFiles::Position it) {
  if (it == records.end()) {
    throw VeskException(archiveTreeStrings(kMsgBeyondEndOfContainer));
  }
}

}  // namespace

ConCommittedFiles::~ConCommittedFiles() = default;

FileNode const& ConCommittedFiles::nodeAt(Position it) const {
  checkPosition(*this, it);
  return *it->file();
}

FileString ConCommittedFiles::committedName(Position it) const {
  return nodeAt(it).pathName();
}

unsigned int ConCommittedFiles::compressedSize(Position it) const {
  return nodeAt(it).compressedSize();
}

bool ConCommittedFiles::deleted(Position it) const {
  return nodeAt(it).deleted();
}

std::int64_t ConCommittedFiles::offset(Position it) const {
  return nodeAt(it).offset();
}

bool ConCommittedFiles::readOnly(Position it) const {
  return nodeAt(it).readOnly();
}

unsigned int ConCommittedFiles::size(Position it) const {
  return nodeAt(it).fileSize();
}

TimeDate const& ConCommittedFiles::timeStamp(Position it) const {
  return nodeAt(it).timeStamp();
}

FileString const& ConCommittedFiles::uncommittedName(Position it) const {
  checkPosition(*this, it);
  return it->oldPathName();
}

char const* ConCommittedFiles::version() {
  return "ConCommittedFiles 1.0, 23.09.1999";
}

}  // namespace vesk
