// CommitMeter: the progress meter vesk-archive hands to DirectoryNode::commit. It follows the
// pending files in the order the commit stores them, shows progress, saves the work now and
// then (after a number of files or seconds: a commit that is killed loses at most that much),
// and stops the commit after the current file on SIGINT or SIGTERM. A file the commit could
// not store (its medium missing and skipped, its source unreadable) leaves a block prefix
// without its data in the stream; the meter cuts that off again and keeps the file pending
// instead of deleted, so the stream stays an unbroken chain and a later commit retries it.
// The stream, records, progress and pending nodes must outlive the meter. It installs its
// signal handlers for its lifetime; one at a time.
#ifndef VESK_COMMITMETER_H
#define VESK_COMMITMETER_H

#include <signal.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ProgressMeter.h"

namespace vesk {

class BinVeskStream;
class CommitProgress;
class ConCommittedFiles;
class UncommittedNode;

class CommitMeter : public ProgressMeter {
 public:
  struct Pending {
    UncommittedNode* node;
    std::string path;  // in the tree
    std::uint64_t size;
  };

  struct SaveEvery {
    unsigned files = 256;
    std::chrono::milliseconds time{1000};
  };

  // `pending` lists the live pending files in the order the commit visits them; `save`
  // writes the tree out.
  CommitMeter(BinVeskStream& stream, ConCommittedFiles& committed, std::vector<Pending> pending,
              CommitProgress& progress, std::function<void()> save, SaveEvery every);
  CommitMeter(const CommitMeter&) = delete;
  CommitMeter& operator=(const CommitMeter&) = delete;
  ~CommitMeter() override;

  void startFile(char const* name) override;
  bool cancelled() override;

  // Settles the file the commit handled last; call it when the commit has returned or thrown.
  void settle();
  // Syncs the stream, then saves the tree.
  void checkpoint();

  unsigned stored() const noexcept { return stored_; }
  // The tree path of the file started last; empty before the first.
  std::string lastStarted() const;
  // The tree paths of the files left pending.
  const std::vector<std::string>& skipped() const noexcept { return skipped_; }
  bool interrupted() const noexcept { return signalled_ != 0; }

 private:
  static void onSignal(int number);
  std::size_t recordCount() const;

  static volatile std::sig_atomic_t signalled_;

  BinVeskStream& stream_;
  ConCommittedFiles& committed_;
  std::vector<Pending> pending_;
  CommitProgress& progress_;
  std::function<void()> save_;
  SaveEvery every_;

  std::size_t next_ = 0;  // index in pending_ of the next file to start
  bool open_ = false;     // a file was started and not yet settled
  std::int64_t blockStart_ = 0;
  std::size_t recordsBefore_ = 0;
  unsigned stored_ = 0;
  unsigned storedSinceSave_ = 0;
  std::chrono::steady_clock::time_point lastSave_;
  std::vector<std::string> skipped_;
  struct sigaction oldInterrupt_ {};
  struct sigaction oldTerminate_ {};
};

}  // namespace vesk

#endif  // VESK_COMMITMETER_H
