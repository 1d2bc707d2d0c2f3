#include "ArchiveError.h"

namespace vesk {

ArchiveError::ArchiveError(Kind kind, const std::string& text)
    : VeskException(text.c_str(), 0, {}, true), kind_(kind) {}

ArchiveError::ArchiveError(Kind kind, const std::string& text, int error, const std::string& path)
    : VeskException(text.c_str(), error, path, true), kind_(kind) {}

ArchiveError::ArchiveError(Kind kind, const std::string& context, const VeskException& cause)
    : VeskException((context + cause.message()).c_str(), cause.error(), cause.path(), true),
      kind_(kind) {}

ArchiveError ArchiveError::system(const std::string& action, const std::string& path, int error) {
  return ArchiveError(Kind::failed, VeskException::systemError(action, path, error).what(), error,
                      path);
}

}  // namespace vesk
