// CleanupJournal: the file beside an archive (A.journal) that makes an in-place compaction
// recoverable. It is an append-only run of records, each followed by its CRC-32, so a
// record torn by a crash is recognised and ignored:
//  - begin: the stream's size, the size and CRC of the saved tree the compaction started
//    from, and the tree the compaction runs on, in its stored form;
//  - progress: move k has moved its first n bytes;
//  - data: the bytes that move k is about to write at its offset n (kept because the write
//    overwrites part of its own source);
//  - cut: the stream is about to end at a position.
// A journal holds one compaction; it is deleted when the compacted tree has replaced the
// old one. The journal owns its file; one thread at a time.
#ifndef VESK_CLEANUPJOURNAL_H
#define VESK_CLEANUPJOURNAL_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vesk {

class CleanupJournal {
 public:
  struct Begin {
    std::int64_t streamSize = 0;
    std::int64_t treeSize = 0;  // of the saved tree the compaction started from
    std::uint32_t treeCrc = 0;  // of the same
    std::string tree;           // the tree the compaction runs on
  };
  // Where a move stands: its first `done` bytes are in place, except that the last `data`
  // (written at `dataOffset`) may be only partly written.
  struct MoveState {
    std::int64_t done = 0;
    std::int64_t dataOffset = -1;
    std::string data;
  };

  // Starts a new journal at `path` with its begin record, durable before this returns.
  static CleanupJournal create(const std::string& path, const Begin& begin);
  // Opens the journal at `path` to carry on after the last whole record; `begin` is false
  // when it holds no whole begin record (nothing was moved yet).
  static CleanupJournal resume(const std::string& path);

  CleanupJournal(CleanupJournal&& other) noexcept;
  CleanupJournal& operator=(CleanupJournal&&) = delete;
  ~CleanupJournal();

  bool hasBegin() const noexcept { return hasBegin_; }
  const Begin& begin() const noexcept { return begin_; }
  // The state of move `move` as the journal tells it.
  MoveState moveState(unsigned move) const;

  // Appends a record and waits until it is durable. Throw ToolError when writing fails.
  void progress(unsigned move, std::int64_t done);
  void data(unsigned move, std::int64_t offset, const char* bytes, std::size_t count);
  void cut(std::int64_t end);

  // Deletes the journal file and makes that durable.
  void remove();

  static std::uint32_t crc(const char* bytes, std::size_t count, std::uint32_t start = 0);

 private:
  enum Type : std::uint32_t { kBegin = 1, kProgress = 2, kData = 3, kCut = 4 };

  CleanupJournal(std::string path, int descriptor);
  void append(Type type, const std::string& payload);
  void readRecords();
  void apply(Type type, const std::string& payload);
  void syncFolder() const;

  std::string path_;
  int descriptor_;
  std::int64_t end_ = 0;  // behind the last whole record
  bool hasBegin_ = false;
  Begin begin_;
  std::map<unsigned, MoveState> moves_;
};

}  // namespace vesk

#endif  // VESK_CLEANUPJOURNAL_H
