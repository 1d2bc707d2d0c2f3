#include "DiskDriveAccessor.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "SystemVolumeSource.h"

namespace vesk {

namespace {

namespace fs = std::filesystem;

std::mutex sourceMutex;

std::shared_ptr<VolumeSource>& currentSource() {
  static auto* const source = new std::shared_ptr<VolumeSource>;
  return *source;
}

// Folders with their symbolic links resolved, as found while one volume table stood:
// adding the files of one folder resolves that folder once, and a folder is resolved from
// its parent's resolution with one look at its own last component. A new table (media
// inserted or removed) starts afresh.
class ResolvedFolders {
 public:
  // `folder` is absolute and lexically normal, without a separator at its end.
  std::string resolve(const std::string& folder, const std::shared_ptr<const VolumeTable>& table) {
    std::lock_guard lock(mutex_);
    if (table != table_ || folders_.size() >= kMostFolders) {
      folders_.clear();
      table_ = table;
    }
    return resolveLocked(folder);
  }

 private:
  std::string resolveLocked(const std::string& folder) {
    const auto found = folders_.find(folder);
    if (found != folders_.end()) {
      return found->second;
    }
    std::string resolved = folder;
    const std::size_t slash = folder.rfind('/');
    if (folder != "/" && slash != std::string::npos) {
      const std::string parent = resolveLocked(slash == 0 ? "/" : folder.substr(0, slash));
      resolved = (parent == "/" ? std::string() : parent) + folder.substr(slash);
      char target[1];
      if (::readlink(resolved.c_str(), target, sizeof target) >= 0) {
        std::error_code error;
        const fs::path through = fs::weakly_canonical(resolved, error);
        resolved = error ? resolved : through.string();
      }
    }
    return folders_.emplace(folder, std::move(resolved)).first->second;
  }

  static constexpr std::size_t kMostFolders = 65536;
  std::mutex mutex_;
  std::shared_ptr<const VolumeTable> table_;
  std::unordered_map<std::string, std::string> folders_;
};

ResolvedFolders& resolvedFolders() {
  static auto* const folders = new ResolvedFolders;
  return *folders;
}

// Whether `path` is absolute and lexically normal: no empty, "." or ".." component and no
// separator at its end. Paths made by walking folders are, and need no further work.
bool isNormalAbsolute(std::string_view path) {
  if (!path.starts_with('/')) {
    return false;
  }
  for (std::size_t at = 1; path.size() > 1;) {
    const std::size_t end = path.find('/', at);
    const std::string_view component =
        path.substr(at, end == std::string_view::npos ? end : end - at);
    if (component.empty() || component == "." || component == "..") {
      return false;
    }
    if (end == std::string_view::npos) {
      break;
    }
    at = end + 1;
  }
  return true;
}

// The path made absolute and free of "." and "..", with the symbolic links of its folders
// resolved; the last component is kept as given, so a link keeps its own name.
std::string absolutePath(std::string_view name, const std::shared_ptr<const VolumeTable>& table) {
  std::string text;
  if (isNormalAbsolute(name)) {
    text = name;
  } else {
    std::error_code error;
    const fs::path path =
        (name.starts_with('/') ? fs::path(name) : fs::absolute(fs::path(name), error))
            .lexically_normal();
    text = path.string();
    if (!path.has_filename()) {  // a separator at its end: not a file's path
      while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
      }
      return text;
    }
  }
  const std::size_t slash = text.rfind('/');
  if (text == "/" || slash == std::string::npos) {
    return text;
  }
  const std::string folder =
      resolvedFolders().resolve(slash == 0 ? "/" : text.substr(0, slash), table);
  return (folder == "/" ? std::string() : folder) + text.substr(slash);
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

// The folder of the last file whose name this thread converted, and what the converted names
// of the files in it begin with: the files of one folder, converted one after the other, cost
// a comparison each instead of a look-up of their folder and volume. Only a folder that no
// volume is mounted below is kept, as a file that is a mount point itself lies on a volume of
// its own.
struct LastFolder {
  std::shared_ptr<const VolumeTable> table;
  std::string separator;
  std::string folder;  // as the names gave it: absolute and lexically normal
  std::string converted;
};

thread_local LastFolder lastFolder;

// Where the last component of `name` starts, when it is a file's name in a folder: behind a
// '/' that is not the first character, and neither empty, "." nor "..".
std::size_t fileNameStart(std::string_view name) {
  const std::size_t slash = name.rfind('/');
  if (slash == std::string_view::npos || slash == 0) {
    return std::string_view::npos;
  }
  const std::string_view file = name.substr(slash + 1);
  return file.empty() || file == "." || file == ".." ? std::string_view::npos : slash + 1;
}

bool hasVolumeBelow(const VolumeTable& table, std::string_view folder) {
  return std::any_of(table.begin(), table.end(), [folder](const MountedVolume& volume) {
    return volume.mountPoint.size() > folder.size() && isInside(volume.mountPoint, folder);
  });
}

// Keeps the folder of `name`, which was converted to `converted` by way of the absolute path
// `path`, for the next names of this thread.
// `start` is where its last component starts, as fileNameStart() tells.
void rememberFolder(std::string_view name, std::size_t start, std::string_view separator,
                    const std::shared_ptr<const VolumeTable>& table, std::string_view path,
                    std::string_view converted) {
  lastFolder.table.reset();
  if (start == std::string_view::npos || !isNormalAbsolute(name)) {
    return;
  }
  const std::string file = "/" + std::string(name.substr(start));
  const std::size_t folderEnd = path.size() - file.size();
  if (!converted.ends_with(file) || !path.ends_with(file) || folderEnd == 0 ||
      hasVolumeBelow(*table, path.substr(0, folderEnd))) {
    return;
  }
  lastFolder.table = table;
  lastFolder.separator = separator;
  lastFolder.folder = name.substr(0, start);
  lastFolder.converted = converted.substr(0, converted.size() - file.size() + 1);
}

}  // namespace

FileString DiskDriveAccessor::driveFileNameToVolumeFileName(const FileString& name,
                                                            const FileString& separator) const {
  VolumeFileName parts;
  if (splitVolumeFileName(name.view(), separator.view(), parts)) {
    return name;
  }
  const std::shared_ptr<const VolumeTable> table = volumeSource()->volumes();
  const std::string_view given = name.view();
  const std::size_t start = fileNameStart(given);
  if (table == lastFolder.table && separator.view() == lastFolder.separator &&
      start != std::string_view::npos && given.substr(0, start) == lastFolder.folder) {
    const std::string_view file = given.substr(start);
    FileString converted;
    converted.reserve(lastFolder.converted.size() + file.size());
    converted.append(lastFolder.converted.data(), lastFolder.converted.size());
    converted.append(file.data(), file.size());
    return converted;
  }
  const std::string path = absolutePath(given, table);
  const MountedVolume* volume = volumeHolding(*table, path);
  std::string converted = path;
  if (volume && !volume->name.empty()) {
    const std::string_view below =
        std::string_view(path).substr(volume->mountPoint == "/" ? 0 : volume->mountPoint.size());
    converted = volume->name + ">" + separator.str() + join(volume->root, below);
  }
  rememberFolder(given, start, separator.view(), table, path, converted);
  return FileString(converted);
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
