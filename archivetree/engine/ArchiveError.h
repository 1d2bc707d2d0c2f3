/// \class vesk::ArchiveError ArchiveError.h <vesk/ArchiveError.h>
/// ArchiveError: a failure of an operation on an archive on disk, with the kind of failure a
/// program acts on: a wrong request or a system call that failed, an archive whose files do
/// not agree, or an archive held by another process. It is a VeskException like every error of
/// the library; its text is one line that names the archive or file concerned, and it carries
/// the errno and path of the system call that failed, where one did; what() always names the
/// cause, so message() adds nothing to it.
#ifndef VESK_ARCHIVEERROR_H
#define VESK_ARCHIVEERROR_H

#include <string>

#include "VeskException.h"

namespace vesk {

class ArchiveError : public VeskException {
 public:
  /// What kind of failure it is, for a program to act on.
  enum class Kind {
    failed,   ///< a wrong request, a missing file, a system call that failed
    damaged,  ///< the tree does not parse or does not match the stream
    busy,     ///< another process holds the archive and waiting was not wanted
  };

  /// A failure told by `text` alone, no system call's.
  ArchiveError(Kind kind, const std::string& text);
  /// With the errno and path of the system call that failed.
  ArchiveError(Kind kind, const std::string& text, int error, const std::string& path);
  /// `context` (the archive, say) followed by the message of `cause`, keeping its errno and path.
  ArchiveError(Kind kind, const std::string& context, const VeskException& cause);

  /// A system call's failure: "<action> '<path>': <strerror(error)>", kind failed.
  static ArchiveError system(const std::string& action, const std::string& path, int error);

  /// The kind of failure.
  Kind kind() const noexcept { return kind_; }

 private:
  Kind kind_;
};

}  // namespace vesk

#endif  // VESK_ARCHIVEERROR_H
