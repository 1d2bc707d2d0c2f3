#include "DiskDriveAccessor.h"

#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

#include "SystemVolumeSource.h"

namespace vesk {

namespace {

namespace fs = std::filesystem;

std::mutex sourceMutex;

std::shared_ptr<VolumeSource>& currentSource() {
  static auto* const source = new std::shared_ptr<VolumeSource>;
  return *source;
}

// The path made absolute and free of "." and "..", with the symbolic links of its folders
// resolved; the last component is kept as given, so a link keeps its own name.
std::string absolutePath(std::string_view name) {
  std::error_code error;
  fs::path path = fs::absolute(fs::path(name), error).lexically_normal();
  if (path.has_filename() && path.has_parent_path()) {
    const fs::path folder = fs::weakly_canonical(path.parent_path(), error);
    if (!error) {
      path = folder / path.filename();
    }
  }
  std::string text = path.string();
  while (text.size() > 1 && text.back() == '/') {
    text.pop_back();
  }
  return text;
}

// Whether `path` lies in the folder `folder` (or is it).
bool isInside(std::string_view path, std::string_view folder) {
  if (folder == "/") {
    return !path.empty() && path.front() == '/';
  }
  return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

// Joins a folder and a path below it that starts with '/' (or is empty or "/").
std::string join(std::string_view folder, std::string_view below) {
  std::string text(folder == "/" ? std::string_view() : folder);
  if (below != "/") {
    text += below;
  }
  return text.empty() ? std::string("/") : text;
}

// The volume that holds `path`: the one with the longest mount point above it, and of equal
// ones the last mounted.
const MountedVolume* volumeHolding(const VolumeTable& table, std::string_view path) {
  const MountedVolume* best = nullptr;
  for (const MountedVolume& volume : table) {
    if (isInside(path, volume.mountPoint) &&
        (!best || volume.mountPoint.size() >= best->mountPoint.size())) {
      best = &volume;
    }
  }
  return best;
}

struct VolumeFileName {
  std::string_view volume;
  std::string_view inside;
};

// Splits "VOLUME>" + separator + path; answers false for any other name.
bool splitVolumeFileName(std::string_view name, std::string_view separator, VolumeFileName& parts) {
  const std::string marker = std::string(">") + std::string(separator);
  const std::size_t at = name.find(marker);
  if (at == std::string_view::npos || at == 0 ||
      name.substr(0, at).find_first_of("/\\") != std::string_view::npos) {
    return false;
  }
  parts.volume = name.substr(0, at);
  parts.inside = name.substr(at + marker.size());
  return true;
}

}  // namespace

FileString DiskDriveAccessor::driveFileNameToVolumeFileName(const FileString& name,
                                                            const FileString& separator) const {
  VolumeFileName parts;
  if (splitVolumeFileName(name.view(), separator.view(), parts)) {
    return name;
  }
  const std::string path = absolutePath(name.view());
  const std::shared_ptr<const VolumeTable> table = volumeSource()->volumes();
  const MountedVolume* volume = volumeHolding(*table, path);
  if (!volume || volume->name.empty()) {
    return FileString(path);
  }
  const std::string_view below =
      std::string_view(path).substr(volume->mountPoint == "/" ? 0 : volume->mountPoint.size());
  return FileString(volume->name + ">" + separator.str() + join(volume->root, below));
}

FileString DiskDriveAccessor::volumeFileNameToDriveFileName(const FileString& name,
                                                            const FileString& separator) const {
  VolumeFileName parts;
  if (!splitVolumeFileName(name.view(), separator.view(), parts)) {
    return name;
  }
  const std::shared_ptr<const VolumeTable> table = volumeSource()->volumes();
  for (const MountedVolume& volume : *table) {
    if (volume.name == parts.volume && isInside(parts.inside, volume.root)) {
      const std::string_view below =
          parts.inside.substr(volume.root == "/" ? 0 : volume.root.size());
      return FileString(join(volume.mountPoint, below));
    }
  }
  return FileString();
}

std::shared_ptr<VolumeSource> DiskDriveAccessor::volumeSource(
    std::shared_ptr<VolumeSource> source) {
  std::lock_guard lock(sourceMutex);
  std::shared_ptr<VolumeSource> previous = std::move(currentSource());
  currentSource() = std::move(source);
  return previous;
}

std::shared_ptr<VolumeSource> DiskDriveAccessor::volumeSource() {
  std::lock_guard lock(sourceMutex);
  if (!currentSource()) {
    currentSource() = std::make_shared<SystemVolumeSource>();
  }
  return currentSource();
}

}  // namespace vesk
