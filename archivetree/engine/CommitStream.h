// CommitStream: the archive stream as a pending node's own commit sees it during a commit of
// an Archive. Every operation goes to the archive's stream, except copyFile, with which a
// pending node copies its data: it copies from a source that it opens and checks itself. A
// disk file is opened without following a symbolic link and without blocking, and must be a
// regular file whose size and modification time are still those its node holds, before and
// after the copy; a slice is read from a descriptor the commit opened on the other archive's
// stream, and its data must have the CRC-32 it was added with. When the source fails these,
// copyFile throws VeskException and problem() tells why; changed() tells whether the source
// only changed, and how it is now. The archive stream is borrowed. One thread at a time.
#ifndef VESK_COMMITSTREAM_H
#define VESK_COMMITSTREAM_H

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "ForwardingStream.h"
#include "TimeDate.h"
#include "VeskException.h"

namespace vesk {

class BinVeskStream;
class UncommittedNode;

class CommitStream : public ForwardingStream {
 public:
  // `progress` hears, every kProgressPiece bytes of a larger disk file, how many of its
  // bytes are stored so far.
  CommitStream(BinVeskStream& archive, std::function<void(std::uint64_t)> progress);
  ~CommitStream() override;

  // The next copy is of the disk file of `node`.
  void expectDiskFile(const UncommittedNode& node);
  // The next copy is of a slice read from the open descriptor `source` of the stream
  // `sourcePath`, whose data must have the CRC-32 `crc` unless it is empty.
  void expectSlice(int source, std::string sourcePath, std::optional<std::uint32_t> crc);

  // The failure of the archive's own stream in the last copy (which a pending node's commit
  // does not pass on), or a plain write failure when there was none.
  VeskException archiveFailure() const;

  // Why the last copy failed for its source; empty when it did not.
  const std::string& problem() const noexcept { return problem_; }
  // Whether the last copy failed because its disk source changed; then its size and
  // modification time now.
  bool changed() const noexcept { return changed_; }
  std::uint64_t changedSize() const noexcept { return changedSize_; }
  const TimeDate& changedTime() const noexcept { return changedTime_; }

  /// The block at `offsetPrefix` holds the disk file copied last, whole: a later copy of the
  /// same file (the same inode, unchanged since) copies nothing, and sameAs() tells the block.
  void remember(std::int64_t offsetPrefix);
  /// The block of an earlier copy that the last copy found its disk file in; nothing was
  /// written for it. -1 when the last copy did copy.
  std::int64_t sameAs() const noexcept { return sameAs_; }
  unsigned copyFile(const char* source, unsigned count, const std::int64_t& sourceOffset,
                    unsigned bufferSize) override;
  const char* version() const override { return "CommitStream 1.0, 06.12.2026"; }

 private:
  static constexpr unsigned kProgressPiece = 16u << 20;
  // A disk file as one stat tells it: a file with the same identity holds the same bytes.
  struct Identity {
    dev_t device;
    ino_t inode;
    off_t size;
    std::int64_t modified;  // nanoseconds
    std::int64_t changed;   // nanoseconds; any write or touch moves it

    bool operator==(const Identity&) const = default;
  };
  struct IdentityHash {
    std::size_t operator()(const Identity& identity) const noexcept;
  };
  static Identity identityOf(const struct stat& status);
  unsigned copyInPieces(int source, const char* name, unsigned count, std::int64_t sourceOffset);
  unsigned copyDiskFile(const char* source, unsigned count, std::int64_t sourceOffset);
  unsigned copySlice(unsigned count, std::int64_t sourceOffset);
  [[noreturn]] void refuse(std::string problem);
  void noteChange(std::uint64_t size, const TimeDate& time, const char* problem);

  BinVeskStream& archive_;
  const UncommittedNode* node_ = nullptr;
  int slice_ = -1;
  std::function<void(std::uint64_t)> progress_;
  std::string slicePath_;
  std::optional<std::uint32_t> crc_;
  std::string problem_;
  bool changed_ = false;
  std::uint64_t changedSize_ = 0;
  TimeDate changedTime_;
  std::vector<char> buffer_;
  // Files of one link only are remembered while they are among the last kRecentFiles, as the
  // links that lead to them mostly lie near; files of several hard links for the whole commit.
  static constexpr std::size_t kRecentFiles = 1u << 16;
  std::optional<Identity> copied_;  // of the disk file the last copy copied
  bool severalLinks_ = false;       // whether that file has more than one hard link
  std::unordered_map<Identity, std::int64_t, IdentityHash> blocks_;  // by what they hold
  std::deque<Identity> recent_;  // those of one link, oldest first
  std::int64_t sameAs_ = -1;
  std::optional<VeskException> archiveFailure_;
};

}  // namespace vesk

#endif  // VESK_COMMITSTREAM_H
