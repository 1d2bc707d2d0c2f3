#include "JournaledStream.h"

#include <algorithm>

namespace vesk {

JournaledStream::JournaledStream(BinStream& archive, CleanupJournal& journal)
    : ForwardingStream(archive), journal_(journal) {}

JournaledStream::~JournaledStream() = default;

std::int64_t JournaledStream::size() {
  return journal_.begin().streamSize;
}

// A move goes down, front to back. A piece no longer than the move's distance writes only
// below its own source, so after a crash the piece in progress is simply made again. Where
// the distance is short, a piece of useful size would overwrite part of its own source: its
// bytes go into the journal first, and a crash is mended by writing them again.
void JournaledStream::shiftBlock(std::int64_t from, std::int64_t to, std::int64_t length,
                                 unsigned bufferSize) {
  const unsigned move = moves_++;
  const CleanupJournal::MoveState state = journal_.moveState(move);
  if (state.dataOffset >= 0) {
    writeAt(to + state.dataOffset, state.data.data(), state.data.size());
  }
  for (std::int64_t done = state.done; done < length;) {
    done = movePiece(move, from, to, done, length, bufferSize);
  }
  target().seekp(to + std::max<std::int64_t>(length, 0));
}

// Moves the next piece of move `move` and records it; answers the bytes now done.
std::int64_t JournaledStream::movePiece(unsigned move, std::int64_t from, std::int64_t to,
                                        std::int64_t done, std::int64_t length,
                                        unsigned bufferSize) {
  const std::int64_t distance = from - to;
  if (distance >= kDirectDistance) {
    const std::int64_t piece = std::min({length - done, distance, kLargestPiece});
    target().shiftBlock(from + done, to + done, piece, bufferSize);
    journal_.progress(move, done + piece);
    return done + piece;
  }
  // The piece of a short-distance move whose bytes the journal keeps.
  const auto piece =
      static_cast<std::size_t>(std::min(length - done, journal_.begin().largestData));
  piece_.resize(piece);
  target().seekg(from + done);
  target().read(piece_.data(), static_cast<unsigned>(piece));
  journal_.data(move, done, piece_.data(), piece);
  writeAt(to + done, piece_.data(), piece);
  return done + static_cast<std::int64_t>(piece);
}

void JournaledStream::writeAt(std::int64_t position, const char* bytes, std::size_t count) {
  target().seekp(position);
  target().write(bytes, static_cast<unsigned>(count));
}

}  // namespace vesk
