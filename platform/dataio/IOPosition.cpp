#include "IOPosition.h"

IOPosition::IOPosition(std::int64_t position, bool ready) noexcept
    : position_(position), ready_(ready) {}

IOPosition::~IOPosition() = default;

bool IOPosition::isReady() const {
  return ready_;
}

std::int64_t IOPosition::position() const {
  return position_;
}
