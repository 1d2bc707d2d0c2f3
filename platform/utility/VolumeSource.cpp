#include "VolumeSource.h"

namespace vesk {

VolumeSource::~VolumeSource() = default;

}  // namespace vesk
