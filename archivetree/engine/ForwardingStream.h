// ForwardingStream: a BinStream that passes every operation to another stream, for streams
// that change only a few of them (the archive stream as a commit's pending nodes see it, or
// as a journaled cleanup sees it). The other stream is borrowed and must outlive this one.
// One thread at a time.
#ifndef VESK_FORWARDINGSTREAM_H
#define VESK_FORWARDINGSTREAM_H

#include "BinStream.h"

namespace vesk {

class ForwardingStream : public BinStream {
 public:
  explicit ForwardingStream(BinStream& target) : target_(target) {}
  ~ForwardingStream() override;

  void clear() override { target_.clear(); }
  unsigned copyFile(const char* source, unsigned count, const std::int64_t& sourceOffset,
                    unsigned bufferSize) override;
  bool eof() const override { return target_.eof(); }
  bool fail() const override { return target_.fail(); }
  BinStream* matchingStream(const char* path, int mode) override {
    return target_.matchingStream(path, mode);
  }
  BinStream& read(char* buffer, unsigned count) override;
  BinStream& write(const char* buffer, unsigned count) override;
  BinStream& seekg(std::int64_t offset, std::ios_base::seekdir direction) override;
  BinStream& seekg(std::int64_t offset) override;
  BinStream& seekp(std::int64_t offset, std::ios_base::seekdir direction) override;
  BinStream& seekp(std::int64_t offset) override;
  void setEOF() override { target_.setEOF(); }
  std::int64_t size() override { return target_.size(); }
  std::int64_t tellg() override { return target_.tellg(); }
  std::int64_t tellp() override { return target_.tellp(); }
  IOPosition* telldelayp() override { return target_.telldelayp(); }
  void shiftBlock(std::int64_t from, std::int64_t to, std::int64_t length,
                  unsigned bufferSize) override;

 protected:
  BinStream& target() noexcept { return target_; }

 private:
  BinStream& target_;
};

}  // namespace vesk

#endif  // VESK_FORWARDINGSTREAM_H
