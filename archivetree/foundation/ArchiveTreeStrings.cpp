#include "ArchiveTreeStrings.h"

namespace vesk {

unsigned int ArchiveTreeStrings::instCount_ = 0;
void* ArchiveTreeStrings::instance_ = nullptr;

ArchiveTreeStrings::ArchiveTreeStrings() {
  ++instCount_;
}

ArchiveTreeStrings::~ArchiveTreeStrings() {
  --instCount_;
}

void* ArchiveTreeStrings::instance() const {
  return instance_;
}

void ArchiveTreeStrings::instance(void* module) {
  instance_ = module;
}

unsigned int ArchiveTreeStrings::instCount() {
  return instCount_;
}

}  // namespace vesk
