/// \class vesk::CommitMeter CommitMeter.h <vesk/CommitMeter.h>
/// CommitMeter: what an application hears of a commit of an Archive, and how it stops one.
/// The commit calls it on its own thread, in the order the files are stored; it must outlive
/// the commit. Every operation has a default that does nothing (and never stops).
#ifndef VESK_COMMITMETER_H
#define VESK_COMMITMETER_H

#include <cstdint>
#include <string>

namespace vesk {

class CommitMeter {
 public:
  CommitMeter() = default;
  CommitMeter(const CommitMeter&) = delete;
  CommitMeter& operator=(const CommitMeter&) = delete;
  virtual ~CommitMeter();

  /// The commit is about to store `files` pending files of `bytes` bytes in all.
  virtual void begin(unsigned files, std::uint64_t bytes);
  /// The file at the tree path `path`, of `size` bytes, is being stored.
  virtual void startFile(const std::string& path, std::uint64_t size);
  /// `copied` bytes of the file started last are stored so far; told every 16 MiB of a
  /// larger file.
  virtual void fileProgress(std::uint64_t copied);
  /// The file started last is stored, or stays pending for `reason`.
  virtual void fileDone(bool stored, const std::string& reason);
  /// Asked before every file: true stops the commit there, keeping what was stored.
  virtual bool cancelled();
};

}  // namespace vesk

#endif  // VESK_COMMITMETER_H
