// WriteBehind: has the system start writing ranges of a file to the disk from a thread of
// its own, so that neither the work of starting the writes nor a full device queue holds up
// the thread that fills the file. Each request is a hint: its failure is not reported, as
// the sync that makes the data durable finds any. Requests that come while one is under way
// are joined into one. The descriptor is borrowed and must stay open until the WriteBehind
// is destroyed, which waits for the request under way. When the system gives no thread, the
// requests are made in line. start() from one thread at a time.
#ifndef VESK_WRITEBEHIND_H
#define VESK_WRITEBEHIND_H

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace vesk {

class WriteBehind {
 public:
  // For the file open as `descriptor`; a negative one takes no requests.
  explicit WriteBehind(int descriptor) : descriptor_(descriptor) {}
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;
  ~WriteBehind();

  // Asks for bytes [from, to) to be written; returns at once.
  void start(std::int64_t from, std::int64_t to);

 private:
  bool startThread();
  void run();

  const int descriptor_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::int64_t from_ = 0;
  std::int64_t to_ = 0;  // from_ == to_: nothing asked for
  bool stopping_ = false;
  std::thread thread_;  // started at the first request
};

}  // namespace vesk

#endif  // VESK_WRITEBEHIND_H
