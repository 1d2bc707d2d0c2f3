// FaultyFile: a file object that passes every operation to a real one and fails the n-th
// (reads, writes, seeks, size queries, truncations, flushes), the way a full disk or a
// failing medium would. It counts the operations it passes, so a clean run tells how many
// failure points a scenario has. Without a descriptor, every copy and move of the archive
// stream goes through its operations too.
#ifndef VESK_TESTS_FAULTYFILE_H
#define VESK_TESTS_FAULTYFILE_H

#include <memory>

#include "CIOParent.h"

namespace vesk::test {

class FaultyFile : public CIOParent {
 public:
  // Takes `real`; fails operation number `failAt` (1 for the first), never when 0. The count
  // of operations is written to `*operations` as they happen.
  FaultyFile(CIOParent* real, long failAt, long* operations)
      : real_(real), failAt_(failAt), operations_(operations) {}

  IOPosition* delayedPosition() override { return real_->delayedPosition(); }
  bool ready() override { return real_->ready(); }
  int querySize(std::uint64_t* bytes) override { return failsNow() ? 0 : real_->querySize(bytes); }
  int setEndOfFile() override { return failsNow() ? 0 : real_->setEndOfFile(); }
  int atEnd() override { return real_->atEnd(); }
  std::int64_t tell() override { return real_->tell(); }
  int seek(int origin, std::int64_t offset) override {
    return failsNow() ? 0 : real_->seek(origin, offset);
  }
  int writeBytes(const char* buffer, unsigned count, std::uint32_t* done) override {
    *done = 0;
    return failsNow() ? 0 : real_->writeBytes(buffer, count, done);
  }
  int readBytes(char* buffer, unsigned count, std::uint32_t* done) override {
    *done = 0;
    return failsNow() ? 0 : real_->readBytes(buffer, count, done);
  }
  int flush() override { return failsNow() ? 0 : real_->flush(); }
  int dropBuffer() override { return failsNow() ? 0 : real_->dropBuffer(); }
  int discardWrites() override { return real_->discardWrites(); }
  int sync() override { return failsNow() ? 0 : real_->sync(); }
  int lastError() const override { return real_->lastError(); }
  const char* path() const override { return real_->path(); }
  int descriptor() const override { return -1; }

 private:
  // Whether this operation is the one to fail.
  bool failsNow() { return ++*operations_ == failAt_; }

  std::unique_ptr<CIOParent> real_;
  long failAt_;
  long* operations_;
};

}  // namespace vesk::test

#endif  // VESK_TESTS_FAULTYFILE_H
