#include "WriteBehind.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <system_error>

#include "FileDescriptor.h"

namespace vesk {

WriteBehind::~WriteBehind() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) {
    thread_.join();
  }
}

void WriteBehind::start(std::int64_t from, std::int64_t to) {
  if (descriptor_ < 0 || to <= from) {
    return;
  }
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (from_ == to_) {
      from_ = from;
      to_ = to;
    } else {
      from_ = std::min(from_, from);
      to_ = std::max(to_, to);
    }
  }
  if (!thread_.joinable() && !startThread()) {
    FileDescriptor::startWriteback(descriptor_, from, to - from);  // without a thread, in line
    const std::lock_guard<std::mutex> lock(mutex_);
    from_ = to_ = 0;
    return;
  }
  wake_.notify_one();
}

// The thread is born with every signal blocked, so that a signal meant for the process goes
// to the thread that fills the file: a signal taken here would neither interrupt a call
// that thread waits in (a prompt reading an answer) nor be seen there any sooner.
// False when the system has no thread to give.
bool WriteBehind::startThread() {
  sigset_t all;
  sigset_t previous;
  ::sigfillset(&all);
  ::pthread_sigmask(SIG_BLOCK, &all, &previous);
  bool started = true;
  try {
    thread_ = std::thread(&WriteBehind::run, this);
  } catch (const std::system_error&) {
    started = false;
  }
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return started;
}

// What was asked for when the request under way ends is taken next; what is still asked for
// when stopping is dropped, as the sync that follows writes it anyway.
void WriteBehind::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return stopping_ || from_ != to_; });
    if (stopping_) {
      return;
    }
    const std::int64_t from = from_;
    const std::int64_t to = to_;
    from_ = to_ = 0;
    lock.unlock();
    FileDescriptor::startWriteback(descriptor_, from, to - from);
    lock.lock();
  }
}

}  // namespace vesk
