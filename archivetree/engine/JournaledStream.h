// JournaledStream: the archive stream as the library's cleanup sees it during a crash-safe
// compaction. It passes every operation to the archive's own stream, except that each move
// (shiftBlock) goes in pieces whose progress the journal records. The moves are numbered in
// the order cleanup makes them, which is the same for the same tree and stream size, so
// replaying a cleanup over this stream with a resumed journal finishes a compaction that was
// cut short: moves that were done are skipped, the one in progress carries on where it
// stood. size() answers the size the compaction started from. Both the archive stream and
// the journal are borrowed. One thread at a time.
#ifndef VESK_JOURNALEDSTREAM_H
#define VESK_JOURNALEDSTREAM_H

#include <cstdint>
#include <string>

#include "CleanupJournal.h"
#include "ForwardingStream.h"

namespace vesk {

class JournaledStream : public ForwardingStream {
 public:
  // Pieces of a move whose distance is at least this go without copying their bytes into
  // the journal: such a piece never overwrites bytes it has still to read.
  static constexpr std::int64_t kDirectDistance = 65536;
  // The largest piece moved at once when the distance allows it.
  static constexpr std::int64_t kLargestPiece = std::int64_t{64} << 20;

  // `archive` must be unbuffered, so that every write has reached the file before the next
  // journal record is written.
  JournaledStream(BinStream& archive, CleanupJournal& journal);
  ~JournaledStream() override;

  std::int64_t size() override;
  const char* version() const override { return "JournaledStream 1.0, 05.12.2026"; }
  void shiftBlock(std::int64_t from, std::int64_t to, std::int64_t length,
                  unsigned bufferSize) override;

  // The moves made or skipped so far.
  unsigned moves() const noexcept { return moves_; }

 private:
  std::int64_t movePiece(unsigned move, std::int64_t from, std::int64_t to, std::int64_t done,
                         std::int64_t length, unsigned bufferSize);
  void writeAt(std::int64_t position, const char* bytes, std::size_t count);

  CleanupJournal& journal_;
  unsigned moves_ = 0;
  std::string piece_;
};

}  // namespace vesk

#endif  // VESK_JOURNALEDSTREAM_H
