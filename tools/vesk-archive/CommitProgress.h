// CommitProgress: what vesk-archive shows while it commits. On a terminal one line is
// redrawn in place: a bar and share of the bytes stored (a large file's as they are copied),
// files done of the total, bytes stored, the rate, the time still to go and the file being
// stored; files that could not be
// stored never count as stored, so a run that stored nothing never shows 100%. Elsewhere
// each file gets a plain line of its own. It is the meter of the commit it
// shows, and never stops it. It writes to the stream it is given, which must outlive it.
#ifndef VESK_COMMITPROGRESS_H
#define VESK_COMMITPROGRESS_H

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

#include "CommitMeter.h"

namespace vesk {

class CommitProgress : public CommitMeter {
 public:
  // `width` is the terminal's width in columns (used when `terminal`).
  CommitProgress(std::ostream& out, bool terminal, unsigned width);

  void begin(unsigned files, std::uint64_t bytes) override;
  void startFile(const std::string& path, std::uint64_t size) override;
  void fileProgress(std::uint64_t copied) override;
  void fileDone(bool stored, const std::string& reason) override;
  // Takes the bar off the terminal, so that other text can be shown.
  void clear();
  // The terminal is now `width` columns wide: the bar is drawn anew to fit.
  void resize(unsigned width);
  void end();

  // The text of the bar line, cut to `width` columns.
  std::string barLine(unsigned width) const;

 private:
  void draw(bool force);

  std::ostream& out_;
  bool terminal_;
  unsigned width_;
  unsigned files_ = 0;
  std::uint64_t bytes_ = 0;
  unsigned filesDone_ = 0;
  std::uint64_t bytesDone_ = 0;  // of the files done, stored or not
  unsigned filesStored_ = 0;
  std::uint64_t bytesStored_ = 0;
  std::uint64_t currentSize_ = 0;
  std::uint64_t currentCopied_ = 0;  // of the file being stored, so far
  std::string current_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point drawn_;
};

}  // namespace vesk

#endif  // VESK_COMMITPROGRESS_H
