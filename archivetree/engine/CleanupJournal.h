// CleanupJournal: the file beside an archive (A.journal) that makes an in-place compaction
// recoverable. All numbers in it are little-endian. It holds:
//  - at 0, the begin record: the mark "VESKJRN2", the payload's length (8 bytes), the payload
//    (the stream's size, the size and CRC-32 of the saved tree the compaction started from,
//    the most data a record of this compaction holds, and the tree the compaction runs on in
//    its stored form), then the CRC-32 of all before;
//  - two slots that take the state of the moves in turn, so that the file never grows while
//    the moves run. A record: its data's length (4), a sequence number (8), the move (4), the
//    kind (4: progress, or data about to be written), the offset in the move (8), the data,
//    the CRC-32 of all before (4). The valid record with the higher sequence number is the
//    state; a record torn by a crash fails its CRC and leaves the other slot's in force;
//  - a reserve as long as the begin record's tree, given back just before the compacted tree
//    is saved, so that the save finds room on a disk that is full.
// The whole file is allocated before anything is moved. A journal holds one compaction; it
// is deleted once the compacted tree has replaced the old one. It owns its file; one thread
// at a time.
#ifndef VESK_CLEANUPJOURNAL_H
#define VESK_CLEANUPJOURNAL_H

#include <cstdint>
#include <string>

#include "FileDescriptor.h"

namespace vesk {

class CleanupJournal {
 public:
  // The most data one record can hold.
  static constexpr std::int64_t kLargestData = std::int64_t{1} << 20;

  struct Begin {
    std::int64_t streamSize = 0;
    std::int64_t treeSize = 0;                // of the saved tree the compaction started from
    std::uint32_t treeCrc = 0;                // of the same
    std::int64_t largestData = kLargestData;  // the most data a record holds, at most kLargestData
    std::string tree;                         // the tree the compaction runs on
  };
  // Where a move stands: its first `done` bytes are in place, except that `data`, written at
  // `dataOffset` when that is not -1, may be only partly written. A move that is over has
  // `done` at its largest value.
  struct MoveState {
    std::int64_t done = 0;
    std::int64_t dataOffset = -1;
    std::string data;
  };

  // Starts a new journal at `path`: allocates all of it and writes the begin record, durable
  // before this returns. Throws ArchiveError, leaving no file, when it cannot (a full disk).
  static CleanupJournal create(const std::string& path, const Begin& begin);
  // Opens the journal at `path` to carry on where it stands. Throws ArchiveError when it
  // cannot be read.
  static CleanupJournal resume(const std::string& path);

  CleanupJournal(CleanupJournal&& other) noexcept = default;
  CleanupJournal& operator=(CleanupJournal&&) = delete;
  ~CleanupJournal() = default;

  const std::string& path() const noexcept { return path_; }
  // Whether the begin record is whole. Without it nothing was moved.
  bool hasBegin() const noexcept { return hasBegin_; }
  // Whether the rest of the file is not as the journal wrote it (cut short, or both slots
  // unreadable), so that where the moves stand cannot be known.
  bool damaged() const noexcept { return damaged_; }
  const Begin& begin() const noexcept { return begin_; }
  MoveState moveState(unsigned move) const;

  // Records the state and waits until it is durable. Throw ArchiveError when writing fails.
  void progress(unsigned move, std::int64_t done);
  void data(unsigned move, std::int64_t offset, const char* bytes, std::size_t count);

  // Gives back the reserve for the compacted tree's save.
  void releaseReserve();
  // Deletes the journal file and makes that durable.
  void remove();

  static std::uint32_t crc(const char* bytes, std::size_t count, std::uint32_t start = 0);

 private:
  enum Kind : std::uint32_t { kProgress = 1, kData = 2 };
  struct Layout {
    std::int64_t slots = 0;     // where the first slot begins
    std::int64_t slotSize = 0;  // each
    std::int64_t reserveEnd = 0;
  };

  CleanupJournal(std::string path, FileDescriptor file);
  static Layout layoutFor(std::int64_t beginBytes, std::int64_t largestData);
  void readBegin(std::int64_t fileSize);
  void readSlots(std::int64_t fileSize);
  bool readSlot(unsigned slot, std::uint64_t& sequence, bool& empty);
  void record(Kind kind, unsigned move, std::int64_t offset, const char* bytes, std::size_t count);
  [[noreturn]] void fail(const char* action) const;

  std::string path_;
  FileDescriptor file_;
  Layout layout_;
  bool hasBegin_ = false;
  bool damaged_ = false;
  Begin begin_;
  std::uint64_t sequence_ = 0;  // of the record in force
  unsigned move_ = 0;           // the move the record in force speaks of
  MoveState state_;             // that move's state
};

}  // namespace vesk

#endif  // VESK_CLEANUPJOURNAL_H
