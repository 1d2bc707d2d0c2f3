#include "CommitProgress.h"

#include <algorithm>

#include "Format.h"

namespace vesk {

namespace {

constexpr unsigned kBarCells = 20;
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

}  // namespace

CommitProgress::CommitProgress(std::ostream& out, bool terminal, unsigned width)
    : out_(out), terminal_(terminal), width_(std::max(width, 40u)) {}

void CommitProgress::begin(unsigned files, std::uint64_t bytes) {
  files_ = files;
  bytes_ = bytes;
  started_ = std::chrono::steady_clock::now();
  if (!terminal_) {
    out_ << "committing " << files << " files, " << Format::bytes(bytes) << '\n';
  }
}

void CommitProgress::startFile(const std::string& path, std::uint64_t size) {
  current_ = path;
  currentSize_ = size;
  currentCopied_ = 0;
  if (terminal_) {
    draw(false);
    return;
  }
  out_ << "  [" << filesDone_ + 1 << '/' << files_ << "] " << Format::name(path) << " ("
       << Format::bytes(size) << ")\n";
}

void CommitProgress::fileProgress(std::uint64_t copied) {
  currentCopied_ = copied;
  if (terminal_) {
    draw(false);
  }
}

void CommitProgress::fileDone(bool stored, const std::string& reason) {
  currentCopied_ = 0;
  ++filesDone_;
  bytesDone_ += currentSize_;
  if (stored) {
    ++filesStored_;
    bytesStored_ += currentSize_;
  } else if (!terminal_) {
    out_ << "  not stored: " << Format::name(current_) << " (" << reason << ")\n";
  }
  if (terminal_) {
    draw(false);
  }
}

void CommitProgress::clear() {
  if (terminal_ && shown_) {
    out_ << "\r\033[K" << std::flush;
    shown_ = false;
  }
}

void CommitProgress::resize(unsigned width) {
  width_ = std::max(width, 40u);
  if (terminal_ && shown_) {
    clear();
    draw(true);
  }
}

void CommitProgress::end() {
  if (terminal_) {
    draw(true);
    out_ << '\n';
    shown_ = false;
  }
  out_ << std::flush;
}

std::string CommitProgress::barLine(unsigned width) const {
  const std::uint64_t stored = bytesStored_ + currentCopied_;
  const std::uint64_t done = bytesDone_ + currentCopied_;
  const double share = bytes_ > 0 ? static_cast<double>(stored) / static_cast<double>(bytes_)
                                  : (files_ > 0 ? static_cast<double>(filesStored_) / files_ : 0.0);
  const auto cells = static_cast<unsigned>(share * kBarCells);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
  std::string line = "[" + std::string(cells, '#') + std::string(kBarCells - cells, '-') + "] " +
                     std::to_string(static_cast<unsigned>(share * 100)) + "% " +
                     std::to_string(filesDone_) + "/" + std::to_string(files_) + " files " +
                     Format::bytes(stored) + "/" + Format::bytes(bytes_) + " " +
                     Format::bytes(static_cast<std::uint64_t>(rate)) + "/s ";
  if (filesDone_ < files_ && rate > 0 && seconds >= 1) {
    line +=
        "ETA " +
        Format::duration(static_cast<std::uint64_t>(static_cast<double>(bytes_ - done) / rate)) +
        " ";
  }
  line += Format::name(current_);
  if (line.size() >= width) {
    line.resize(width - 1);
  }
  return line;
}

void CommitProgress::draw(bool force) {
  const auto now = std::chrono::steady_clock::now();
  if (!force && shown_ && now - drawn_ < kRedrawEvery) {
    return;
  }
  drawn_ = now;
  const std::string line = barLine(width_);
  out_ << '\r' << line << "\033[K" << std::flush;
  shown_ = true;
}

}  // namespace vesk
