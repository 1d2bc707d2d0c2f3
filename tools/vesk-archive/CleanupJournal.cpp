#include "CleanupJournal.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <filesystem>

#include "ByteOrder.h"
#include "ToolError.h"

namespace vesk {

namespace {

// Each record: its payload length (4 bytes), its type (4), the payload, then the CRC-32 of
// type and payload (4); all numbers little-endian.
constexpr std::size_t kRecordHead = 8;

std::string u32(std::uint32_t value) {
  char bytes[4];
  storeLittle32(bytes, value);
  return {bytes, 4};
}

std::string i64(std::int64_t value) {
  char bytes[8];
  storeLittle64(bytes, static_cast<std::uint64_t>(value));
  return {bytes, 8};
}

std::int64_t readI64(const std::string& payload, std::size_t at) {
  return static_cast<std::int64_t>(loadLittle64(payload.data() + at));
}

void writeAll(int descriptor, const std::string& bytes, std::int64_t offset,
              const std::string& path) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::pwrite(descriptor, bytes.data() + done, bytes.size() - done,
                                     static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      throw ToolError::system("Cannot write the journal", path, written < 0 ? errno : EIO);
    }
    done += static_cast<std::size_t>(written);
  }
}

}  // namespace

std::uint32_t CleanupJournal::crc(const char* bytes, std::size_t count, std::uint32_t start) {
  std::uint32_t value = start;
  while (count > 0) {
    const auto piece = static_cast<uInt>(std::min<std::size_t>(count, 1u << 30));
    value =
        static_cast<std::uint32_t>(::crc32(value, reinterpret_cast<const Bytef*>(bytes), piece));
    bytes += piece;
    count -= piece;
  }
  return value;
}

CleanupJournal::CleanupJournal(std::string path, int descriptor)
    : path_(std::move(path)), descriptor_(descriptor) {}

CleanupJournal::CleanupJournal(CleanupJournal&& other) noexcept
    : path_(std::move(other.path_)),
      descriptor_(other.descriptor_),
      end_(other.end_),
      hasBegin_(other.hasBegin_),
      begin_(std::move(other.begin_)),
      moves_(std::move(other.moves_)) {
  other.descriptor_ = -1;
}

CleanupJournal::~CleanupJournal() {
  if (descriptor_ >= 0) {
    ::close(descriptor_);
  }
}

CleanupJournal CleanupJournal::create(const std::string& path, const Begin& begin) {
  const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    throw ToolError::system("Cannot create the journal", path, errno);
  }
  CleanupJournal journal(path, descriptor);
  journal.append(kBegin,
                 i64(begin.streamSize) + i64(begin.treeSize) + u32(begin.treeCrc) + begin.tree);
  journal.hasBegin_ = true;
  journal.begin_ = begin;
  journal.syncFolder();
  return journal;
}

CleanupJournal CleanupJournal::resume(const std::string& path) {
  const int descriptor = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (descriptor < 0) {
    throw ToolError::system("Cannot open the journal", path, errno);
  }
  CleanupJournal journal(path, descriptor);
  journal.readRecords();
  return journal;
}

// Reads the whole records and stops at the first torn or damaged one, which later records
// overwrite.
void CleanupJournal::readRecords() {
  const auto size = static_cast<std::int64_t>(std::filesystem::file_size(path_));
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (::pread(descriptor_, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
    throw ToolError::system("Cannot read the journal", path_, errno);
  }
  std::size_t at = 0;
  while (bytes.size() - at >= kRecordHead + 4) {
    const std::uint32_t length = loadLittle32(bytes.data() + at);
    if (length > bytes.size() - at - kRecordHead - 4) {
      break;
    }
    const std::uint32_t stored = loadLittle32(bytes.data() + at + kRecordHead + length);
    if (crc(bytes.data() + at + 4, 4 + std::size_t{length}) != stored) {
      break;
    }
    const auto type = static_cast<Type>(loadLittle32(bytes.data() + at + 4));
    if (!hasBegin_ && type != kBegin) {
      break;
    }
    apply(type, bytes.substr(at + kRecordHead, length));
    at += kRecordHead + length + 4;
  }
  end_ = static_cast<std::int64_t>(at);
}

void CleanupJournal::apply(Type type, const std::string& payload) {
  switch (type) {
    case kBegin:
      hasBegin_ = true;
      begin_.streamSize = readI64(payload, 0);
      begin_.treeSize = readI64(payload, 8);
      begin_.treeCrc = loadLittle32(payload.data() + 16);
      begin_.tree = payload.substr(20);
      break;
    case kProgress: {
      MoveState& state = moves_[loadLittle32(payload.data())];
      state.done = readI64(payload, 4);
      state.dataOffset = -1;
      state.data.clear();
      break;
    }
    case kData: {
      MoveState& state = moves_[loadLittle32(payload.data())];
      state.dataOffset = readI64(payload, 4);
      state.data = payload.substr(12);
      state.done = state.dataOffset + static_cast<std::int64_t>(state.data.size());
      break;
    }
    case kCut:
      break;
  }
}

CleanupJournal::MoveState CleanupJournal::moveState(unsigned move) const {
  const auto found = moves_.find(move);
  return found == moves_.end() ? MoveState() : found->second;
}

void CleanupJournal::append(Type type, const std::string& payload) {
  const std::string body = u32(type) + payload;
  const std::string record =
      u32(static_cast<std::uint32_t>(payload.size())) + body + u32(crc(body.data(), body.size()));
  writeAll(descriptor_, record, end_, path_);
  if (::fdatasync(descriptor_) != 0) {
    throw ToolError::system("Cannot sync the journal", path_, errno);
  }
  end_ += static_cast<std::int64_t>(record.size());
}

void CleanupJournal::progress(unsigned move, std::int64_t done) {
  append(kProgress, u32(move) + i64(done));
}

void CleanupJournal::data(unsigned move, std::int64_t offset, const char* bytes,
                          std::size_t count) {
  append(kData, u32(move) + i64(offset) + std::string(bytes, count));
}

void CleanupJournal::cut(std::int64_t end) {
  append(kCut, i64(end));
}

void CleanupJournal::remove() {
  if (::unlink(path_.c_str()) != 0 && errno != ENOENT) {
    throw ToolError::system("Cannot remove the journal", path_, errno);
  }
  syncFolder();
}

void CleanupJournal::syncFolder() const {
  const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
  const std::string name = folder.empty() ? "." : folder.string();
  const int descriptor = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0 || ::fsync(descriptor) != 0) {
    const int error = errno;
    if (descriptor >= 0) {
      ::close(descriptor);
    }
    throw ToolError::system("Cannot sync the folder", name, error);
  }
  ::close(descriptor);
}

}  // namespace vesk
