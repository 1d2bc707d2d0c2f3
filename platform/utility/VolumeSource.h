/// \class vesk::VolumeSource VolumeSource.h <vesk/VolumeSource.h>
/// VolumeSource: where DiskDriveAccessor learns which volumes are mounted. The process uses
/// one source at a time (DiskDriveAccessor::volumeSource); the default one reads the system's
/// mount table, and a caller may put its own in place, for instance to stand for removable
/// media being inserted and removed. A source may be asked from any thread.
#ifndef VESK_VOLUMESOURCE_H
#define VESK_VOLUMESOURCE_H

#include <memory>
#include <string>
#include <vector>

namespace vesk {

/// One mounted filesystem.
struct MountedVolume {
  std::string name;        ///< its label, else its UUID; empty when it has neither
  std::string mountPoint;  ///< the absolute folder where it is mounted
  std::string root = "/";  ///< the folder of the filesystem that appears at mountPoint
};

using VolumeTable = std::vector<MountedVolume>;

class VolumeSource {
 public:
  virtual ~VolumeSource();

  /// The mounted volumes in the order they were mounted (a later mount on the same folder
  /// hides an earlier one).
  virtual std::shared_ptr<const VolumeTable> volumes() = 0;
};

}  // namespace vesk

#endif  // VESK_VOLUMESOURCE_H
