// SystemVolumeSource: the mounted volumes of this system, from /proc/self/mountinfo, named
// by the links in /dev/disk/by-label and /dev/disk/by-uuid. The table is looked at every
// 20 ms at most, and read again only when the mount table or those folders have changed.
#ifndef VESK_SYSTEMVOLUMESOURCE_H
#define VESK_SYSTEMVOLUMESOURCE_H

#include <chrono>
#include <map>
#include <mutex>
#include <string>

#include "FileDescriptor.h"
#include "VolumeSource.h"

namespace vesk {

class SystemVolumeSource : public VolumeSource {
 public:
  SystemVolumeSource();
  SystemVolumeSource(const SystemVolumeSource&) = delete;
  SystemVolumeSource& operator=(const SystemVolumeSource&) = delete;
  ~SystemVolumeSource() override;

  std::shared_ptr<const VolumeTable> volumes() override;

  // Parses the text of a mountinfo file, naming each filesystem by its device number
  // ("major:minor") through `namesByDevice`.
  static VolumeTable parseMountInfo(const std::string& text,
                                    const std::map<std::string, std::string>& namesByDevice);

  // Decodes the escapes of mount tables ("\040") and of udev link names ("\x20").
  static std::string unescape(const std::string& text);

 private:
  bool changedSinceLastRead();
  VolumeTable readTable() const;

  static constexpr std::chrono::milliseconds kLookEvery{20};

  std::mutex mutex_;
  std::chrono::steady_clock::time_point lastLook_{};
  FileDescriptor mountInfo_;
  unsigned long long labelStamp_ = 0;
  std::shared_ptr<const VolumeTable> table_;
};

}  // namespace vesk

#endif  // VESK_SYSTEMVOLUMESOURCE_H
