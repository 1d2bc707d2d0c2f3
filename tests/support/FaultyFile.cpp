#include "FaultyFile.h"

namespace vesk::test {

FaultyFile::FaultyFile(CIOParent* real, long failAt, long* operations)
    : real_(real), failAt_(failAt), operations_(operations) {}

bool FaultyFile::failsNow() {
  return ++*operations_ == failAt_;
}

int FaultyFile::querySize(std::uint64_t* bytes) {
  return failsNow() ? 0 : real_->querySize(bytes);
}

int FaultyFile::setEndOfFile() {
  return failsNow() ? 0 : real_->setEndOfFile();
}

int FaultyFile::seek(int origin, std::int64_t offset) {
  return failsNow() ? 0 : real_->seek(origin, offset);
}

int FaultyFile::writeBytes(const char* buffer, unsigned count, std::uint32_t* done) {
  *done = 0;
  return failsNow() ? 0 : real_->writeBytes(buffer, count, done);
}

int FaultyFile::readBytes(char* buffer, unsigned count, std::uint32_t* done) {
  *done = 0;
  return failsNow() ? 0 : real_->readBytes(buffer, count, done);
}

int FaultyFile::flush() {
  return failsNow() ? 0 : real_->flush();
}

int FaultyFile::dropBuffer() {
  return failsNow() ? 0 : real_->dropBuffer();
}

int FaultyFile::sync() {
  return failsNow() ? 0 : real_->sync();
}

}  // namespace vesk::test
