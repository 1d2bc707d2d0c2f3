#include "Committer.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

#include "Archive.h"
#include "ArchiveError.h"
#include "BinVeskStream.h"
#include "CommitStream.h"
#include "DirectoryNode.h"
#include "DiskDriveAccessor.h"
#include "FileDescriptor.h"
#include "FileNode.h"
#include "TreePath.h"
#include "UncommittedArchiveNode.h"
#include "UncommittedFileNode.h"
#include "WriteBehind.h"

namespace vesk {

namespace {

// How often a file whose source keeps changing is tried.
constexpr unsigned kAttempts = 3;
// A pending slice whose archiveCount holds this knows no CRC of its data.
constexpr std::uint32_t kNoCrc = 0xFFFFFFFFu;

std::uint32_t nextArchiveCount(DirectoryNode& root) {
  std::uint32_t last = 0;
  TreePath::eachLive(root, [&](TreeNode& node) {
    if (TreePath::isCommittedFile(node) && node.file()->archiveCount() != UINT32_MAX) {
      last = std::max(last, node.file()->archiveCount());
    }
  });
  return last + 1;
}

// Puts an answerer in place of the process's for its lifetime; an empty one changes nothing.
class ScopedAnswerer {
 public:
  explicit ScopedAnswerer(const MediaPrompt::Answerer& answerer) : active_(bool(answerer)) {
    if (active_) {
      previous_ = MediaPrompt::answerer(answerer);
    }
  }
  ScopedAnswerer(const ScopedAnswerer&) = delete;
  ScopedAnswerer& operator=(const ScopedAnswerer&) = delete;
  ~ScopedAnswerer() {
    if (active_) {
      MediaPrompt::answerer(previous_);
    }
  }

 private:
  bool active_;
  MediaPrompt::Answerer previous_;
};

std::int64_t sizeOnDisk(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 ? status.st_size : 0;
}

}  // namespace

// An archive that slices are read from: its tree and a descriptor of its stream, or why its
// slices cannot be had.
struct Committer::Source {
  std::unique_ptr<Archive> archive;  // null when it is the archive committed to
  DirectoryNode* root = nullptr;
  FileDescriptor stream;
  std::string path;
  std::string problem;
};

Committer::Committer(Archive& archive, CommitMeter& meter, const Options& options)
    : archive_(archive), meter_(meter), options_(options) {}

Committer::~Committer() = default;

Committer::Report Committer::run() {
  stream_ = archive_.openForWriting(report_.cut);
  savedEnd_ = stream_->size();
  writtenBehind_ = savedEnd_;
  writeBehind_ = std::make_unique<WriteBehind>(stream_->descriptor());
  TreePath::eachLive(archive_.root(), [&](TreeNode& node) {
    if (node.uncommittedFile() != nullptr) {
      ++report_.files;
      report_.bytes += node.file()->fileSize();
    }
  });
  if (report_.files == 0) {
    return report_;
  }
  // Measuring the tree costs a part of saving it: until a checkpoint was timed, that stands
  // for its cost, so that a big tree, which was just saved, is not saved again at once.
  const auto measuring = std::chrono::steady_clock::now();
  archive_.treeFile().reserve(TreeFile::storedSize(archive_.root()));
  lastSaveCost_ = std::chrono::steady_clock::now() - measuring;
  commitStream_ = std::make_unique<CommitStream>(
      *stream_, [this](std::uint64_t copied) { meter_.fileProgress(copied); });
  archiveCount_ = nextArchiveCount(archive_.root());
  lastSave_ = std::chrono::steady_clock::now();
  meter_.begin(report_.files, report_.bytes);
  {
    const ScopedAnswerer answerer(options_.answerer);
    report_.cancelled = !walk(archive_.root());
  }
  saveWork(lastStarted_);
  return report_;
}

// Depth-first in list order, as the library's own commit goes; false when the meter stopped
// it. Nodes are replaced in place, so the list's positions stay good.
bool Committer::walk(DirectoryNode& directory) {
  for (auto at = directory.begin(); at != directory.end(); ++at) {
    TreeNode& child = **at;
    if (child.deleted()) {
      continue;
    }
    if (DirectoryNode* below = child.directory()) {
      if (!walk(*below)) {
        return false;
      }
    } else if (child.uncommittedFile() != nullptr) {
      if (meter_.cancelled()) {
        return false;
      }
      store(directory, at);
    }
  }
  return true;
}

void Committer::store(DirectoryNode& directory, Position at) {
  const std::string path = TreePath::of(**at);
  lastStarted_ = path;
  meter_.startFile(path, (*at)->file()->fileSize());
  const std::string reason = storeNode(directory, at, path);
  if (!reason.empty()) {
    report_.skipped.push_back({path, reason});
  }
  meter_.fileDone(reason.empty(), reason);
  writeBehind(path);
  checkpointIfDue(path);
}

// Has the disk start writing what was stored every few MiB, so that writing overlaps the
// copying instead of waiting for the next checkpoint's sync. The writes start from a thread
// of their own, which neither the work of starting them nor a full device queue holds up.
void Committer::writeBehind(const std::string& path) {
  // Where the stream ends, known without asking the file: behind the last block stored
  // since the last checkpoint, or where the checkpoint found it.
  const std::int64_t end = unsaved_.empty() ? savedEnd_ : unsaved_.back().blockEnd;
  if (end - writtenBehind_ < kWriteBehind) {
    return;
  }
  try {
    stream_->flush();
    writeBehind_->start(writtenBehind_, end);
  } catch (const VeskException& error) {
    stop(path, error, false);
  }
  writtenBehind_ = end;
}

// Lets the node commit itself into the CommitStream. A failure of the archive's stream ends
// the commit; a failure of the source leaves the node pending, made afresh so that nothing
// of the failed attempt stays on it.
std::string Committer::storeNode(DirectoryNode& directory, Position at, const std::string& path) {
  const bool slice = (*at)->nodeType() == TreeNode::UNCOMMITTED_ARCHIVE_NODE;
  for (unsigned attempt = 0; attempt < kAttempts; ++attempt) {
    if (slice) {
      const std::string problem = prepareSlice(directory, at);
      if (!problem.empty()) {
        return problem;
      }
    } else {
      commitStream_->expectDiskFile(*(*at)->uncommittedFile());
    }
    UncommittedNode& pending = *(*at)->uncommittedFile();
    const std::int64_t blockStart = stream_->size();
    unsigned stored = 0;
    std::optional<VeskException> failure;
    try {
      stored = pending.commit(*commitStream_, records_, quiet_);
    } catch (const VeskException& error) {
      failure = error;
    }
    if (stream_->fail()) {
      renew(directory, at, {}, {}, {});
      stop(path, failure ? *failure : commitStream_->archiveFailure(), false);
    }
    if (stored != 0 && !failure && commitStream_->problem().empty()) {
      try {
        if (commitStream_->sameAs() >= 0) {
          cutBack(blockStart);  // the prefix of a file that shares an earlier block
        }
      } catch (const VeskException& error) {
        renew(directory, at, {}, {}, {});
        stop(path, error, false);
      }
      keepStored(at, blockStart);
      return {};
    }
    try {
      cutBack(blockStart);
    } catch (const VeskException& error) {
      renew(directory, at, {}, {}, {});
      stop(path, error, false);
    }
    if (commitStream_->changed()) {
      renew(directory, at, commitStream_->changedSize(), commitStream_->changedTime(), {});
      continue;
    }
    renew(directory, at, {}, {}, {});
    if (!commitStream_->problem().empty()) {
      return commitStream_->problem();
    }
    return failure ? failure->message() : std::string("its medium was not inserted");
  }
  return "it kept changing while it was being stored";
}

// Finds the slice's entry again in its archive and checks it; a block moved by a cleanup of
// that archive is followed. Answers why the slice cannot be stored, or nothing.
std::string Committer::prepareSlice(DirectoryNode& directory, Position at) {
  const auto& slice = static_cast<const UncommittedArchiveNode&>(**at);
  Source& source = sourceFor(slice);
  if (!source.problem.empty()) {
    return source.problem;
  }
  TreeNode* entry = TreePath::resolve(*source.root, slice.uncommittedPathName().str());
  FileNode* file = entry != nullptr ? entry->file() : nullptr;
  if (file == nullptr || !TreePath::isCommittedFile(*file)) {
    return "it is no longer in " + source.path;
  }
  if (file->fileSize() != slice.fileSize() || !(file->creationTime() == slice.creationTime())) {
    return "it changed in " + source.path + " since it was added";
  }
  const std::uint32_t crc = slice.archiveCount();
  if (file->offset() != slice.offset()) {
    renew(directory, at, {}, {}, file->offset());
  }
  commitStream_->expectSlice(source.stream.get(), source.path,
                             crc != kNoCrc ? std::optional<std::uint32_t>(crc) : std::nullopt);
  return {};
}

Committer::Source& Committer::sourceFor(const UncommittedArchiveNode& slice) {
  const std::string path =
      DiskDriveAccessor().volumeFileNameToDriveFileName(slice.archive(), "||").str();
  std::unique_ptr<Source>& found = sources_[path.empty() ? slice.archive().str() : path];
  if (found) {
    return *found;
  }
  found = std::make_unique<Source>();
  Source& source = *found;
  source.path = path.empty() ? slice.archive().str() : path;
  if (path.empty()) {
    source.problem = "the volume of " + source.path + " is not mounted";
    return source;
  }
  try {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && archive_.lock().sameFile(status)) {
      source.root = &archive_.root();
    } else {
      Archive::Options options;
      options.wait.limit = options_.sourceWait;
      source.archive = std::make_unique<Archive>(path, options);
      source.archive->verify().requireSound(path);
      source.root = &source.archive->root();
    }
    source.stream = FileDescriptor::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (!source.stream.valid()) {
      throw ArchiveError::system("Cannot open", path, errno);
    }
  } catch (const VeskException& error) {
    source.problem = error.message();
  }
  return source;
}

// Puts a committed copy of the pending node in its place. The pending node is kept until the
// next checkpoint, should the stored data turn out not to have reached the disk.
//
// A file found to be one stored before in this commit (another link to it) shares that
// file's block; its own prefix was cut off again, and no data was copied for it.
void Committer::keepStored(Position at, std::int64_t blockStart) {
  SmartPointer<TreeNode> pending = *at;
  UncommittedNode& node = *pending->uncommittedFile();
  auto* stored = new FileNode(static_cast<const FileNode&>(node));
  stored->archiveCount(archiveCount_);
  if (commitStream_->sameAs() >= 0) {
    stored->offsetPrefix(commitStream_->sameAs());
  } else {
    commitStream_->remember(stored->offsetPrefix());
  }
  *at = SmartPointer<TreeNode>(stored);
  unsaved_.push_back({stored->parent(), at, pending, blockStart, stream_->size()});
  ++report_.stored;
}

// A new pending node in place of the one at `at`, with its name, marks, time stamp and
// archiveCount, and the size and time, or offset, given.
UncommittedNode& Committer::renew(DirectoryNode& directory, Position at,
                                  std::optional<std::uint64_t> size, std::optional<TimeDate> time,
                                  std::optional<std::int64_t> offset) {
  const UncommittedNode& old = *(*at)->uncommittedFile();
  const auto fileSize = static_cast<unsigned>(size.value_or(old.fileSize()));
  UncommittedNode* fresh = nullptr;
  if (old.nodeType() == TreeNode::UNCOMMITTED_ARCHIVE_NODE) {
    const auto& slice = static_cast<const UncommittedArchiveNode&>(old);
    fresh = new UncommittedArchiveNode(slice.uncommittedPathName(), &directory, fileSize,
                                       offset.value_or(slice.offset()), slice.archive(),
                                       time.value_or(slice.creationTime()));
  } else {
    fresh = new UncommittedFileNode(old.uncommittedPathName(), &directory, fileSize,
                                    time.value_or(old.creationTime()), old.thumbSize());
  }
  static_cast<TreeNode&>(*fresh).clone(static_cast<const TreeNode&>(old));
  fresh->archiveCount(old.archiveCount());
  *at = SmartPointer<TreeNode>(fresh);
  return *fresh;
}

void Committer::cutBack(std::int64_t end) {
  stream_->clear();
  stream_->seekp(end);
  stream_->setEOF();
}

void Committer::checkpointIfDue(const std::string& path) {
  const auto start = std::chrono::steady_clock::now();
  const auto since = start - lastSave_;
  const bool due = unsaved_.size() >= options_.saveEveryFiles || since >= options_.saveEveryTime;
  const double share = std::clamp(options_.saveShare, 0.001, 1.0);
  const bool affordable = since >= lastSaveCost_ * ((1 - share) / share);
  if (unsaved_.empty() || !due || !affordable) {
    return;
  }
  saveWork(path);
  try {
    archive_.treeFile().reserve(archive_.treeFile().size());
  } catch (const ArchiveError& error) {
    throw ArchiveError(error.kind(),
                       archive_.path() + ": commit stopped after '" + path + "': " + error.what() +
                           "; the " + std::to_string(report_.stored) + " files stored are saved",
                       error.error(), error.path());
  }
  lastSaveCost_ = std::chrono::steady_clock::now() - start;
}

// A checkpoint; when the stream cannot be written or synced, the commit stops (see stop()).
// What a failed write did not put in the file is known from its size; after a failed sync,
// only what the last checkpoint synced can be trusted.
void Committer::saveWork(const std::string& path) {
  try {
    stream_->flush();
  } catch (const VeskException& error) {
    stop(path, error, false);
  }
  try {
    checkpoint();
  } catch (const ArchiveError& error) {
    throw ArchiveError(error.kind(),
                       archive_.path() + ": commit stopped at '" + path + "': ", error);
  } catch (const VeskException& error) {
    stop(path, error, true);
  }
}

// Syncs the stream, then saves the tree that names what it holds.
void Committer::checkpoint() {
  stream_->sync();
  archive_.treeFile().save(archive_.root());
  unsaved_.clear();
  savedEnd_ = stream_->size();
  lastSave_ = std::chrono::steady_clock::now();
}

// After the archive's stream failed: every file whose block did not wholly reach the disk
// goes back to pending, the stream is cut behind the last one that did, and the tree saved
// into the room set aside for it. `synced`: the failure was the sync's, so only what the
// last checkpoint synced can be trusted.
void Committer::stop(const std::string& path, const VeskException& cause, bool synced) {
  std::string outcome;
  try {
    stream_->discardWrites();
    const std::int64_t end = restoreBeyond(synced ? savedEnd_ : sizeOnDisk(archive_.path()));
    cutBack(end);
    stream_->sync();
    archive_.treeFile().save(archive_.root());
    outcome = "; the " + std::to_string(report_.stored) + " files stored before are saved";
  } catch (const VeskException& error) {
    outcome = "; what this commit stored could not be saved: " + error.message();
  }
  throw ArchiveError(
      ArchiveError::Kind::failed,
      archive_.path() + ": commit stopped at '" + path + "': " + cause.message() + outcome,
      cause.error(), cause.path());
}

// Puts the pending nodes back of the files stored since the last checkpoint whose blocks end
// behind `durableEnd`; answers where the stream's kept blocks end.
std::int64_t Committer::restoreBeyond(std::int64_t durableEnd) {
  std::int64_t end = unsaved_.empty() ? savedEnd_ : unsaved_.back().blockEnd;
  while (!unsaved_.empty() && unsaved_.back().blockEnd > durableEnd) {
    Unsaved& last = unsaved_.back();
    *last.at = last.pending;
    renew(*last.directory, last.at, {}, {}, {});
    end = last.blockStart;
    --report_.stored;
    unsaved_.pop_back();
  }
  return end;
}

}  // namespace vesk
