#include "ProgressMeter.h"

namespace vesk {

ProgressMeter::~ProgressMeter() = default;

void ProgressMeter::start(unsigned int /*files*/, std::uint64_t /*bytes*/) {}

void ProgressMeter::bytesDone(std::uint64_t /*bytes*/) {}

void ProgressMeter::note(char const* /*text*/) {}

void ProgressMeter::fileDone() {}

void ProgressMeter::finish() {}

}  // namespace vesk
