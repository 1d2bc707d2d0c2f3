#include "WriteBehind.h"

#include <algorithm>

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
  if (!thread_.joinable()) {
    thread_ = std::thread(&WriteBehind::run, this);
  }
  wake_.notify_one();
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
