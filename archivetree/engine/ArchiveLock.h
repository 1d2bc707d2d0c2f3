/// \class vesk::ArchiveLock ArchiveLock.h <vesk/ArchiveLock.h>
/// ArchiveLock: the lock that lets many processes share one archive. It is a flock(2) lock on
/// the archive's stream file A (which is never replaced, only written in place): shared by
/// processes that only read, exclusive for one that writes or finishes an interrupted cleanup.
/// The lock is held from construction to destruction (or release()), and goes with the
/// process when it dies, so a killed process never leaves the archive locked. It is tied to
/// the object's own open file description: other descriptors of A in the same process neither
/// take nor drop it. Move-only; one thread at a time.
#ifndef VESK_ARCHIVELOCK_H
#define VESK_ARCHIVELOCK_H

#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "FileDescriptor.h"

namespace vesk {

class ArchiveLock {
 public:
  /// Shared among readers, or exclusive for one writer.
  enum class Mode { shared, exclusive };

  /// How long to wait for a lock that another process holds, and whom to tell.
  struct Wait {
    /// How long to wait for another process to let go: nullopt as long as it takes, zero not
    /// at all (the lock then fails with ArchiveError busy at once).
    std::optional<std::chrono::milliseconds> limit;
    /// Told once, after about a second of waiting, who holds the archive.
    std::function<void(const std::string& holders)> waiting;
  };

  /// Locks the stream file `path`, created empty when `create` and missing. Throws
  /// ArchiveError: failed when the file is missing or not a regular file or cannot be opened,
  /// busy when another process still holds it after the wait allowed.
  ArchiveLock(const std::string& path, Mode mode, bool create, const Wait& wait);
  /// Moves the lock; the moved-from object holds none.
  ArchiveLock(ArchiveLock&&) noexcept = default;
  /// Moves the lock, letting go of the one held before.
  ArchiveLock& operator=(ArchiveLock&&) noexcept = default;
  ~ArchiveLock() = default;

  /// The mode held now.
  Mode mode() const noexcept { return mode_; }
  /// Changes the mode, waiting as the constructor did. Not atomic: another process may take
  /// the archive in between, so whatever was read under the old mode must be read again.
  void change(Mode mode, const Wait& wait);

  /// The identity of the locked file.
  const struct stat& file() const noexcept { return status_; }
  /// Whether `other` is the same file as the locked one.
  bool sameFile(const struct stat& other) const noexcept;

  /// The processes that hold a lock on the file described by `status`, as "pid 123
  /// (vesk-archive commit a.vesk)", joined by ", "; "another process" when they cannot be
  /// told.
  static std::string holders(const struct stat& status);

 private:
  void acquire(const Wait& wait);

  std::string path_;
  FileDescriptor file_;
  struct stat status_ {};
  Mode mode_;
};

}  // namespace vesk

#endif  // VESK_ARCHIVELOCK_H
