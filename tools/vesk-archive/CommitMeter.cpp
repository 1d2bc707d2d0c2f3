#include "CommitMeter.h"

#include "BinVeskStream.h"
#include "CommitProgress.h"
#include "ConCommittedFiles.h"
#include "UncommittedNode.h"

namespace vesk {

volatile std::sig_atomic_t CommitMeter::signalled_ = 0;

CommitMeter::CommitMeter(BinVeskStream& stream, ConCommittedFiles& committed,
                         std::vector<Pending> pending, CommitProgress& progress,
                         std::function<void()> save, SaveEvery every)
    : stream_(stream),
      committed_(committed),
      pending_(std::move(pending)),
      progress_(progress),
      save_(std::move(save)),
      every_(every),
      lastSave_(std::chrono::steady_clock::now()) {
  signalled_ = 0;
  // Without SA_RESTART, so that a prompt waiting for an answer gives up on Ctrl-C.
  struct sigaction action {};
  action.sa_handler = &CommitMeter::onSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, &oldInterrupt_);
  ::sigaction(SIGTERM, &action, &oldTerminate_);
}

CommitMeter::~CommitMeter() {
  ::sigaction(SIGINT, &oldInterrupt_, nullptr);
  ::sigaction(SIGTERM, &oldTerminate_, nullptr);
}

void CommitMeter::onSignal(int /*number*/) {
  signalled_ = 1;
}

std::size_t CommitMeter::recordCount() const {
  return static_cast<const std::vector<CommittedFiles>&>(committed_).size();
}

void CommitMeter::startFile(char const* name) {
  settle();
  open_ = true;
  blockStart_ = stream_.size();
  recordsBefore_ = recordCount();
  if (next_ < pending_.size()) {
    progress_.file(pending_[next_].path, pending_[next_].size);
  } else {
    progress_.file(name, 0);  // not expected: the list was taken from the same tree
  }
  ++next_;
}

// Asked between any two children, so the file started last has been handled by then.
bool CommitMeter::cancelled() {
  settle();
  const bool due = storedSinceSave_ >= every_.files ||
                   std::chrono::steady_clock::now() - lastSave_ >= every_.time;
  if (storedSinceSave_ > 0 && due) {
    checkpoint();
  }
  return signalled_ != 0;
}

// A file was stored when the commit recorded it. Otherwise what it appended (a prefix, maybe
// some data) goes, and the node, which the commit marked deleted, becomes pending again.
void CommitMeter::settle() {
  if (!open_) {
    return;
  }
  open_ = false;
  const bool stored = recordCount() > recordsBefore_;
  if (stored) {
    ++stored_;
    ++storedSinceSave_;
  } else {
    stream_.seekp(blockStart_);
    stream_.setEOF();
    if (next_ - 1 < pending_.size()) {
      pending_[next_ - 1].node->deleted(false);
      skipped_.push_back(pending_[next_ - 1].path);
    }
  }
  progress_.fileDone(stored);
}

std::string CommitMeter::lastStarted() const {
  return next_ > 0 && next_ - 1 < pending_.size() ? pending_[next_ - 1].path : std::string();
}

void CommitMeter::checkpoint() {
  stream_.sync();
  save_();
  storedSinceSave_ = 0;
  lastSave_ = std::chrono::steady_clock::now();
}

}  // namespace vesk
