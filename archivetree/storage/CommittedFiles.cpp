#include "CommittedFiles.h"

namespace vesk {

CommittedFiles::CommittedFiles(FileNode* file, FileString const& oldPathName)
    : file_(file), oldPathName_(oldPathName) {}

CommittedFiles::~CommittedFiles() = default;

char const* CommittedFiles::version() {
  return "CommittedFiles 1.0, 16.08.1999";
}

}  // namespace vesk
