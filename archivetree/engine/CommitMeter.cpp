#include "CommitMeter.h"

namespace vesk {

CommitMeter::~CommitMeter() = default;

void CommitMeter::begin(unsigned /*files*/, std::uint64_t /*bytes*/) {}

void CommitMeter::startFile(const std::string& /*path*/, std::uint64_t /*size*/) {}

void CommitMeter::fileDone(bool /*stored*/, const std::string& /*reason*/) {}

void CommitMeter::fileProgress(std::uint64_t /*copied*/) {}

bool CommitMeter::cancelled() {
  return false;
}

}  // namespace vesk
