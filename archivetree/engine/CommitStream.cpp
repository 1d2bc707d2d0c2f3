#include "CommitStream.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <initializer_list>

#include "BinVeskStream.h"
#include "CleanupJournal.h"
#include "FileDescriptor.h"
#include "UncommittedNode.h"
#include "VeskException.h"

namespace vesk {

namespace {

constexpr std::size_t kPiece = std::size_t{1} << 20;

bool sameTime(const timespec& one, const timespec& other) {
  return one.tv_sec == other.tv_sec && one.tv_nsec == other.tv_nsec;
}

}  // namespace

CommitStream::CommitStream(BinVeskStream& archive, std::function<void(std::uint64_t)> progress)
    : ForwardingStream(archive), archive_(archive), progress_(std::move(progress)) {}

CommitStream::~CommitStream() = default;

void CommitStream::expectDiskFile(const UncommittedNode& node) {
  node_ = &node;
  slice_ = -1;
  copied_.reset();
  sameAs_ = -1;
  archiveFailure_.reset();
  problem_.clear();
  changed_ = false;
}

void CommitStream::expectSlice(int source, std::string sourcePath,
                               std::optional<std::uint32_t> crc) {
  node_ = nullptr;
  copied_.reset();
  sameAs_ = -1;
  slice_ = source;
  slicePath_ = std::move(sourcePath);
  crc_ = crc;
  archiveFailure_.reset();
  problem_.clear();
  changed_ = false;
}

VeskException CommitStream::archiveFailure() const {
  return archiveFailure_.value_or(VeskException("Cannot write to stream"));
}

void CommitStream::refuse(std::string problem) {
  problem_ = std::move(problem);
  throw VeskException(problem_.c_str());
}

void CommitStream::noteChange(std::uint64_t size, const TimeDate& time, const char* problem) {
  changed_ = true;
  changedSize_ = size;
  changedTime_ = time;
  refuse(problem);
}

unsigned CommitStream::copyFile(const char* source, unsigned count,
                                const std::int64_t& sourceOffset, unsigned /*bufferSize*/) {
  if (slice_ >= 0) {
    return copySlice(count, sourceOffset);
  }
  if (node_ == nullptr) {
    refuse("no source was expected");
  }
  return copyDiskFile(source, count, sourceOffset);
}

// The pieces follow each other in the stream as one copy would; a short piece ends the copy.
unsigned CommitStream::copyInPieces(int source, const char* name, unsigned count,
                                    std::int64_t sourceOffset) {
  unsigned copied = 0;
  while (copied < count) {
    const unsigned piece = std::min(count - copied, kProgressPiece);
    const unsigned done = archive_.copyFrom(source, name, piece, sourceOffset + copied);
    copied += done;
    if (done < piece) {
      break;
    }
    if (copied < count && progress_) {
      progress_(copied);
    }
  }
  return copied;
}

unsigned CommitStream::copyDiskFile(const char* source, unsigned count, std::int64_t sourceOffset) {
  const FileDescriptor file =
      FileDescriptor::open(source, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
  struct stat before {};
  if (!file.valid() && errno == ELOOP) {
    refuse("it is a symbolic link now, which a commit does not follow");
  }
  if (!file.valid() || !file.status(before)) {
    refuse(VeskException::systemError("Cannot open", source, errno).what());
  }
  if (!S_ISREG(before.st_mode)) {
    refuse("it is no longer a regular file");
  }
  if (before.st_size > static_cast<off_t>(UINT32_MAX)) {
    refuse("it has grown past the 4 GiB - 1 bytes an entry can hold");
  }
  const auto size = static_cast<std::uint64_t>(before.st_size);
  if (size != count || !(TimeDate::fromTimespec(before.st_mtim) == node_->creationTime())) {
    noteChange(size, TimeDate::fromTimespec(before.st_mtim), "it changed since it was added");
  }
  const auto found = blocks_.find(identityOf(before));
  if (found != blocks_.end() && sourceOffset == 0) {
    sameAs_ = found->second;
    return count;
  }
  unsigned copied = 0;
  try {
    copied = copyInPieces(file.get(), source, count, sourceOffset);
  } catch (const VeskException& error) {
    if (archive_.fail()) {
      archiveFailure_ = error;
      throw;  // the archive's own failure, not the source's
    }
    refuse(error.message());
  }
  struct stat after {};
  if (!file.status(after)) {
    refuse(VeskException::systemError("Cannot read the status of", source, errno).what());
  }
  if (copied < count || after.st_size != before.st_size ||
      !sameTime(after.st_mtim, before.st_mtim)) {
    noteChange(static_cast<std::uint64_t>(after.st_size), TimeDate::fromTimespec(after.st_mtim),
               "it changed while it was being stored");
  }
  if (sourceOffset == 0 && identityOf(after) == identityOf(before)) {
    copied_ = identityOf(before);
    severalLinks_ = before.st_nlink > 1;
  }
  return copied;
}

void CommitStream::remember(std::int64_t offsetPrefix) {
  if (!copied_ || !blocks_.emplace(*copied_, offsetPrefix).second || severalLinks_) {
    return;
  }
  recent_.push_back(*copied_);
  if (recent_.size() > kRecentFiles) {
    blocks_.erase(recent_.front());
    recent_.pop_front();
  }
}

// Files of one folder differ mostly in their inodes, and a rewritten file in its times.
std::size_t CommitStream::IdentityHash::operator()(const Identity& identity) const noexcept {
  std::size_t hash = 0;
  for (const std::uint64_t part :
       {static_cast<std::uint64_t>(identity.device), static_cast<std::uint64_t>(identity.inode),
        static_cast<std::uint64_t>(identity.size), static_cast<std::uint64_t>(identity.modified),
        static_cast<std::uint64_t>(identity.changed)}) {
    hash = (hash ^ std::hash<std::uint64_t>()(part)) * 0x9E3779B97F4A7C15u;
  }
  return hash;
}

CommitStream::Identity CommitStream::identityOf(const struct stat& status) {
  const auto nanoseconds = [](const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
  };
  return {status.st_dev, status.st_ino, status.st_size, nanoseconds(status.st_mtim),
          nanoseconds(status.st_ctim)};
}

// Through a buffer, to take the CRC of the data on the way.
unsigned CommitStream::copySlice(unsigned count, std::int64_t sourceOffset) {
  buffer_.resize(std::min<std::size_t>(kPiece, std::max(count, 1u)));
  std::uint32_t crc = 0;
  unsigned done = 0;
  while (done < count) {
    const auto piece = static_cast<unsigned>(std::min<std::size_t>(count - done, buffer_.size()));
    const std::int64_t got =
        FileDescriptor::readAt(slice_, buffer_.data(), piece, sourceOffset + done);
    if (got < 0) {
      refuse(VeskException::systemError("Cannot read", slicePath_, errno).what());
    }
    if (got < piece) {
      refuse("its data is cut short in " + slicePath_);
    }
    archive_.write(buffer_.data(), piece);
    crc = CleanupJournal::crc(buffer_.data(), piece, crc);
    done += piece;
  }
  if (crc_ && crc != *crc_) {
    refuse("its data in " + slicePath_ + " changed since it was added");
  }
  return done;
}

}  // namespace vesk
