#include "SystemVolumeSource.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace vesk {

namespace {

constexpr const char* kMountInfo = "/proc/self/mountinfo";
constexpr const char* kNameFolders[] = {"/dev/disk/by-label", "/dev/disk/by-uuid"};

// The whole text of `file`, read from its start; what was read before a failure.
std::string readAll(const FileDescriptor& file) {
  std::string text;
  char buffer[8192];
  ::lseek(file.get(), 0, SEEK_SET);
  for (;;) {
    const std::int64_t got = file.read(buffer, sizeof buffer);
    if (got > 0) {
      text.append(buffer, static_cast<std::size_t>(got));
    }
    if (got < static_cast<std::int64_t>(sizeof buffer)) {
      return text;
    }
  }
}

std::string deviceText(dev_t device) {
  return std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

// Device number -> volume name; a label wins over a UUID, since labels are read first.
std::map<std::string, std::string> namesByDevice() {
  std::map<std::string, std::string> names;
  for (const char* folder : kNameFolders) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
      struct stat status {};
      if (::stat(entry.path().c_str(), &status) == 0 && S_ISBLK(status.st_mode)) {
        names.emplace(deviceText(status.st_rdev),
                      SystemVolumeSource::unescape(entry.path().filename().string()));
      }
    }
  }
  return names;
}

// A number that changes whenever the name folders change.
unsigned long long nameFoldersStamp() {
  unsigned long long stamp = 0;
  for (const char* folder : kNameFolders) {
    struct stat status {};
    if (::stat(folder, &status) == 0) {
      stamp = stamp * 31 + static_cast<unsigned long long>(status.st_mtim.tv_sec) * 1'000'000'000u +
              static_cast<unsigned long long>(status.st_mtim.tv_nsec);
    }
  }
  return stamp;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

int octalValue(char c) {
  return (c >= '0' && c <= '7') ? c - '0' : -1;
}

// The byte that an escape at text[i] stands for ("\\x41" or "\\101"), or -1.
int escapeAt(const std::string& text, std::size_t i) {
  if (text[i] != '\\' || i + 3 >= text.size()) {
    return -1;
  }
  if (text[i + 1] == 'x') {
    const int high = hexValue(text[i + 2]);
    const int low = hexValue(text[i + 3]);
    return (high < 0 || low < 0) ? -1 : high * 16 + low;
  }
  const int digits[3] = {octalValue(text[i + 1]), octalValue(text[i + 2]), octalValue(text[i + 3])};
  if (digits[0] < 0 || digits[1] < 0 || digits[2] < 0) {
    return -1;
  }
  return digits[0] * 64 + digits[1] * 8 + digits[2];
}

}  // namespace

SystemVolumeSource::SystemVolumeSource() : mountInfo_(FileDescriptor::open(kMountInfo, O_RDONLY)) {}

SystemVolumeSource::~SystemVolumeSource() = default;

// The table is looked at again at most every few milliseconds: a medium is inserted on a
// human scale, and a commit asks for the table once per file.
std::shared_ptr<const VolumeTable> SystemVolumeSource::volumes() {
  std::lock_guard lock(mutex_);
  const auto now = std::chrono::steady_clock::now();
  if (table_ && now - lastLook_ < kLookEvery) {
    return table_;
  }
  lastLook_ = now;
  if (!table_ || changedSinceLastRead()) {
    labelStamp_ = nameFoldersStamp();
    table_ = std::make_shared<const VolumeTable>(readTable());
  }
  return table_;
}

// The kernel reports POLLPRI on the open mount table once after every change of the
// mounts; that poll also clears the report.
bool SystemVolumeSource::changedSinceLastRead() {
  if (!mountInfo_.valid()) {
    return true;
  }
  pollfd watch{mountInfo_.get(), POLLPRI, 0};
  const bool mountsChanged = ::poll(&watch, 1, 0) > 0 && (watch.revents & (POLLPRI | POLLERR));
  return mountsChanged || nameFoldersStamp() != labelStamp_;
}

VolumeTable SystemVolumeSource::readTable() const {
  if (!mountInfo_.valid()) {
    return {};
  }
  return parseMountInfo(readAll(mountInfo_), namesByDevice());
}

VolumeTable SystemVolumeSource::parseMountInfo(
    const std::string& text, const std::map<std::string, std::string>& namesByDevice) {
  VolumeTable table;
  std::string::size_type lineStart = 0;
  while (lineStart < text.size()) {
    const std::string::size_type lineEnd = std::min(text.find('\n', lineStart), text.size());
    // The fields of a line: mount id, parent id, major:minor, root, mount point, ...
    std::string fields[5];
    std::string::size_type at = lineStart;
    int count = 0;
    for (; count < 5 && at < lineEnd; ++count) {
      const std::string::size_type space = std::min(text.find(' ', at), lineEnd);
      fields[count] = text.substr(at, space - at);
      at = space + 1;
    }
    if (count == 5) {
      const auto name = namesByDevice.find(fields[2]);
      table.push_back({name == namesByDevice.end() ? std::string() : name->second,
                       unescape(fields[4]), unescape(fields[3])});
    }
    lineStart = lineEnd + 1;
  }
  return table;
}

std::string SystemVolumeSource::unescape(const std::string& text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int escaped = escapeAt(text, i);
    if (escaped >= 0) {
      plain += static_cast<char>(escaped);
      i += 3;
    } else {
      plain += text[i];
    }
  }
  return plain;
}

}  // namespace vesk
