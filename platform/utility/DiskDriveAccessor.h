/// \class vesk::DiskDriveAccessor DiskDriveAccessor.h <vesk/DiskDriveAccessor.h>
/// DiskDriveAccessor: maps between the path of a file and its volume file name, which names
/// the file by the volume that holds it, so that it can be found again when the medium is
/// mounted elsewhere. A volume is a mounted filesystem named by its label, else its UUID; a
/// file on it becomes "VOLUME" + ">" + separator + path inside the volume, for example
/// "HOLIDAY>||/photos/a.jpg". A file on a filesystem with neither label nor UUID keeps its
/// plain absolute path. The accessor holds no state of its own: the mounted volumes come from
/// the process-wide VolumeSource, and each thread keeps the folder it converted last, so that
/// the files of one folder are converted without a look-up each.
#ifndef VESK_DISKDRIVEACCESSOR_H
#define VESK_DISKDRIVEACCESSOR_H

#include <memory>

#include "FileString.h"
#include "VolumeSource.h"

namespace vesk {

class DiskDriveAccessor {
 public:
  /// The volume file name of the file at `name` (a relative name is taken from the current
  /// folder). A name that already is a volume file name is answered unchanged.
  FileString driveFileNameToVolumeFileName(const FileString& name,
                                           const FileString& separator) const;

  /// The path where the file of a volume file name is now, or an empty name (STR_NULL) when
  /// its volume is not mounted. A plain path is answered unchanged.
  FileString volumeFileNameToDriveFileName(const FileString& name,
                                           const FileString& separator) const;

  /// Puts `source` in place for the whole process and answers the one it replaces; null puts
  /// the system's own mount table back.
  static std::shared_ptr<VolumeSource> volumeSource(std::shared_ptr<VolumeSource> source);
  /// The source in place now.
  static std::shared_ptr<VolumeSource> volumeSource();
};

}  // namespace vesk

#endif  // VESK_DISKDRIVEACCESSOR_H
