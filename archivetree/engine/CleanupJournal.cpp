#include "CleanupJournal.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "ArchiveError.h"
#include "ByteOrder.h"

namespace vesk {

namespace {

constexpr char kMark[] = "VESKJRN2";
constexpr std::size_t kMarkLength = 8;
constexpr std::int64_t kBeginHead = kMarkLength + 8;     // mark, payload length
constexpr std::int64_t kRecordHead = 4 + 8 + 4 + 4 + 8;  // length, sequence, move, kind, offset
constexpr std::int64_t kPage = 4096;

std::int64_t roundUp(std::int64_t bytes) {
  return (bytes + kPage - 1) / kPage * kPage;
}

std::string u32(std::uint32_t value) {
  char bytes[4];
  storeLittle32(bytes, value);
  return {bytes, 4};
}

std::string u64(std::uint64_t value) {
  char bytes[8];
  storeLittle64(bytes, value);
  return {bytes, 8};
}

std::int64_t i64At(const std::string& bytes, std::size_t at) {
  return static_cast<std::int64_t>(loadLittle64(bytes.data() + at));
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

CleanupJournal::CleanupJournal(std::string path, FileDescriptor file)
    : path_(std::move(path)), file_(std::move(file)) {}

CleanupJournal::Layout CleanupJournal::layoutFor(std::int64_t beginBytes,
                                                 std::int64_t largestData) {
  Layout layout;
  layout.slots = roundUp(beginBytes);
  layout.slotSize = roundUp(kRecordHead + largestData + 4);
  layout.reserveEnd = layout.slots + 2 * layout.slotSize + roundUp(beginBytes);
  return layout;
}

void CleanupJournal::fail(const char* action) const {
  throw ArchiveError::system(action, path_, errno);
}

CleanupJournal CleanupJournal::create(const std::string& path, const Begin& begin) {
  FileDescriptor file =
      FileDescriptor::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
  if (!file.valid()) {
    throw ArchiveError::system("Cannot create the journal", path, errno);
  }
  const std::string payload = u64(static_cast<std::uint64_t>(begin.streamSize)) +
                              u64(static_cast<std::uint64_t>(begin.treeSize)) + u32(begin.treeCrc) +
                              u64(static_cast<std::uint64_t>(begin.largestData)) + begin.tree;
  std::string record = std::string(kMark, kMarkLength) + u64(payload.size()) + payload;
  record += u32(crc(record.data(), record.size()));
  CleanupJournal journal(path, std::move(file));
  journal.layout_ = layoutFor(static_cast<std::int64_t>(record.size()), begin.largestData);
  try {
    if (!journal.file_.reserve(0, journal.layout_.reserveEnd)) {
      throw ArchiveError::system("Cannot set aside " + std::to_string(journal.layout_.reserveEnd) +
                                     " bytes for the journal",
                                 path, errno);
    }
    if (!journal.file_.writeAt(record.data(), record.size(), 0) || !journal.file_.syncData()) {
      journal.fail("Cannot write the journal");
    }
    if (!FileDescriptor::syncFolderOf(path)) {
      throw ArchiveError::system("Cannot sync the folder of", path, errno);
    }
  } catch (...) {
    ::unlink(path.c_str());
    throw;
  }
  journal.hasBegin_ = true;
  journal.begin_ = begin;
  return journal;
}

CleanupJournal CleanupJournal::resume(const std::string& path) {
  FileDescriptor file = FileDescriptor::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK);
  struct stat status {};
  if (!file.valid() || !file.status(status)) {
    throw ArchiveError::system("Cannot open the journal", path, errno);
  }
  CleanupJournal journal(path, std::move(file));
  if (!S_ISREG(status.st_mode)) {
    journal.damaged_ = true;
    return journal;
  }
  journal.readBegin(status.st_size);
  if (journal.hasBegin_) {
    journal.readSlots(status.st_size);
  }
  return journal;
}

void CleanupJournal::readBegin(std::int64_t fileSize) {
  std::string head(kBeginHead, '\0');
  if (fileSize < kBeginHead + 4) {
    return;
  }
  if (file_.readAt(head.data(), head.size(), 0) != kBeginHead) {
    fail("Cannot read the journal");
  }
  const std::uint64_t length = loadLittle64(head.data() + kMarkLength);
  if (head.compare(0, kMarkLength, kMark) != 0 ||
      length > static_cast<std::uint64_t>(fileSize - kBeginHead - 4) || length < 28) {
    return;
  }
  std::string record(static_cast<std::size_t>(kBeginHead + static_cast<std::int64_t>(length) + 4),
                     '\0');
  if (file_.readAt(record.data(), record.size(), 0) != static_cast<std::int64_t>(record.size())) {
    fail("Cannot read the journal");
  }
  const std::size_t body = record.size() - 4;
  if (crc(record.data(), body) != loadLittle32(record.data() + body)) {
    return;
  }
  hasBegin_ = true;
  begin_.streamSize = i64At(record, kBeginHead);
  begin_.treeSize = i64At(record, kBeginHead + 8);
  begin_.treeCrc = loadLittle32(record.data() + kBeginHead + 16);
  begin_.largestData = std::clamp<std::int64_t>(i64At(record, kBeginHead + 20), 0, kLargestData);
  begin_.tree = record.substr(kBeginHead + 28, body - kBeginHead - 28);
  layout_ = layoutFor(static_cast<std::int64_t>(record.size()), begin_.largestData);
}

// The record in force is the valid one with the higher sequence number. A slot never written
// reads as zeros. Two slots that hold something and neither of them valid cannot come from a
// crash, which tears one write at most.
void CleanupJournal::readSlots(std::int64_t fileSize) {
  if (fileSize < layout_.slots + 2 * layout_.slotSize) {
    damaged_ = true;
    return;
  }
  unsigned spoilt = 0;
  for (unsigned slot = 0; slot < 2; ++slot) {
    std::uint64_t sequence = 0;
    bool empty = false;
    if (!readSlot(slot, sequence, empty) && !empty) {
      ++spoilt;
    }
  }
  damaged_ = spoilt == 2;
}

bool CleanupJournal::readSlot(unsigned slot, std::uint64_t& sequence, bool& empty) {
  const std::int64_t at = layout_.slots + slot * layout_.slotSize;
  std::string record(static_cast<std::size_t>(layout_.slotSize), '\0');
  if (file_.readAt(record.data(), record.size(), at) != layout_.slotSize) {
    fail("Cannot read the journal");
  }
  empty = std::all_of(record.begin(), record.begin() + kRecordHead,
                      [](char byte) { return byte == 0; });
  const std::uint32_t length = loadLittle32(record.data());
  if (empty || length > begin_.largestData) {
    return false;
  }
  const std::size_t body = kRecordHead + length;
  if (crc(record.data(), body) != loadLittle32(record.data() + body)) {
    return false;
  }
  sequence = loadLittle64(record.data() + 4);
  if (i64At(record, 20) < 0) {
    return false;
  }
  if (sequence <= sequence_) {
    return true;
  }
  sequence_ = sequence;
  move_ = loadLittle32(record.data() + 12);
  const std::uint32_t kind = loadLittle32(record.data() + 16);
  const std::int64_t offset = i64At(record, 20);
  state_ = MoveState{offset, -1, {}};
  if (kind == kData) {
    state_.dataOffset = offset;
    state_.data = record.substr(kRecordHead, length);
    state_.done = offset + length;
  }
  return true;
}

CleanupJournal::MoveState CleanupJournal::moveState(unsigned move) const {
  if (sequence_ == 0 || move > move_) {
    return {};
  }
  if (move < move_) {
    return MoveState{std::numeric_limits<std::int64_t>::max(), -1, {}};
  }
  return state_;
}

void CleanupJournal::progress(unsigned move, std::int64_t done) {
  record(kProgress, move, done, nullptr, 0);
}

void CleanupJournal::data(unsigned move, std::int64_t offset, const char* bytes,
                          std::size_t count) {
  record(kData, move, offset, bytes, count);
}

// Writes the record into the slot that does not hold the one in force.
void CleanupJournal::record(Kind kind, unsigned move, std::int64_t offset, const char* bytes,
                            std::size_t count) {
  const std::uint64_t sequence = sequence_ + 1;
  std::string record = u32(static_cast<std::uint32_t>(count)) + u64(sequence) + u32(move) +
                       u32(kind) + u64(static_cast<std::uint64_t>(offset));
  record.append(bytes != nullptr ? bytes : "", count);
  record += u32(crc(record.data(), record.size()));
  const std::int64_t at =
      layout_.slots + static_cast<std::int64_t>(sequence % 2) * layout_.slotSize;
  if (!file_.writeAt(record.data(), record.size(), at) || !file_.syncData()) {
    fail("Cannot write the journal");
  }
  sequence_ = sequence;
  move_ = move;
  // Only a resumed journal is asked for the state of a move under way; its data is not kept.
  state_ = MoveState{offset + static_cast<std::int64_t>(count), -1, {}};
}

void CleanupJournal::releaseReserve() {
  if (!file_.truncate(layout_.slots + 2 * layout_.slotSize)) {
    fail("Cannot shorten the journal");
  }
}

void CleanupJournal::remove() {
  if (::unlink(path_.c_str()) != 0 && errno != ENOENT) {
    fail("Cannot remove the journal");
  }
  if (!FileDescriptor::syncFolderOf(path_)) {
    throw ArchiveError::system("Cannot sync the folder of", path_, errno);
  }
}

}  // namespace vesk
