/// \class IOPosition IOPosition.h <vesk/IOPosition.h>
/// IOPosition: a file position that may become known only after the call that asked for it.
/// Whoever receives one owns it and deletes it.
#ifndef VESK_IOPOSITION_H
#define VESK_IOPOSITION_H

#include <cstdint>

class IOPosition {
 public:
  /// A position, known now when `ready`.
  explicit IOPosition(std::int64_t position = 0, bool ready = true) noexcept;
  /// Copies are plain value copies.
  IOPosition(const IOPosition&) = default;
  /// \copydoc IOPosition(const IOPosition&)
  IOPosition& operator=(const IOPosition&) = default;
  virtual ~IOPosition();

  /// Whether position() is known yet.
  virtual bool isReady() const;
  /// The position; meaningful once isReady().
  virtual std::int64_t position() const;

 private:
  std::int64_t position_;
  bool ready_;
};

#endif  // VESK_IOPOSITION_H
