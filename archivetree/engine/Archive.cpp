#include "Archive.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "BinVeskStream.h"
#include "DirectoryNode.h"
#include "FileNode.h"
#include "MemoryStream.h"
#include "TreePath.h"
#include "VeskDataIO.h"
#include "VeskException.h"

namespace vesk {

namespace {

namespace fs = std::filesystem;

bool exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

// A root name a path lookup can start with: one component, not empty.
bool usableRootName(const FileString& name) {
  return !name.empty() && name.view().find_first_of("/\\|") == std::string_view::npos;
}

ArchiveLock::Mode modeFor(const Archive::Options& options) {
  return options.access == Archive::Access::write ? ArchiveLock::Mode::exclusive
                                                  : ArchiveLock::Mode::shared;
}

// The stream of an archive whose tree is there and stream is not would be made empty by a
// create, and reading it would find every block gone.
const std::string& streamThere(const std::string& path) {
  if (!exists(path) && exists(path + ".toc")) {
    throw ArchiveError(ArchiveError::Kind::damaged,
                       path + ": the archive stream is missing beside its tree " + path + ".toc");
  }
  return path;
}

// What to do when an interrupted cleanup cannot be finished for `error`.
std::string fixFor(int error) {
  if (error == EACCES || error == EPERM || error == EROFS) {
    return "run any command on the archive as a user who may write to it";
  }
  if (error == ENOSPC || error == EDQUOT) {
    return "free some space on its disk, then run any command on the archive";
  }
  return "run any command on the archive once the cause is mended";
}

}  // namespace

Archive::Archive(std::string path, Options options)
    : path_(std::move(path)),
      lock_(streamThere(path_), modeFor(options), options.access == Access::write && options.create,
            options.wait),
      treeFile_(tocPath()),
      root_(std::make_unique<DirectoryNode>(TreePath::kRootName, nullptr)) {
  if (exists(journalPath())) {
    finishInterruptedCleanup(options);
  }
  if (writable()) {
    TreeFile::removeLeftovers(tocPath());
  }
  loadTree(options.access == Access::write && options.create);
}

Archive::~Archive() = default;

// Recovery needs the exclusive lock; a reader takes it for the while. Between the two locks
// another process may have finished the cleanup already.
void Archive::finishInterruptedCleanup(const Options& options) {
  if (!options.finishCleanup) {
    throw ArchiveError(ArchiveError::Kind::failed,
                       path_ +
                           ": a cleanup of this archive was interrupted; any command on it "
                           "but a dry run finishes it");
  }
  const ArchiveLock::Mode mode = lock_.mode();
  if (mode == ArchiveLock::Mode::shared) {
    lock_.change(ArchiveLock::Mode::exclusive, options.wait);
  }
  Compactor::Recovery recovery = Compactor::Recovery::none;
  try {
    recovery = Compactor::recover(*this);
  } catch (const ArchiveError& error) {
    if (error.kind() != ArchiveError::Kind::failed) {
      throw;
    }
    throw ArchiveError(ArchiveError::Kind::failed,
                       path_ +
                           ": a cleanup of this archive was interrupted and cannot be "
                           "finished now (" +
                           error.what() + "); " + fixFor(error.error()),
                       error.error(), error.path());
  }
  root_ = std::make_unique<DirectoryNode>(TreePath::kRootName, nullptr);
  if (mode == ArchiveLock::Mode::shared) {
    lock_.change(ArchiveLock::Mode::shared, options.wait);
  }
  if (options.notice && recovery == Compactor::Recovery::finished) {
    options.notice(path_ + ": finished a cleanup that had been interrupted");
  } else if (options.notice && recovery == Compactor::Recovery::discarded) {
    options.notice(path_ + ": removed the journal of a cleanup that had nothing left to do");
  }
}

void Archive::loadTree(bool create) {
  if (treeFile_.exists()) {
    treeFile_.load(*root_);
  } else {
    struct stat status {};
    const bool empty = ::stat(path_.c_str(), &status) == 0 && status.st_size == 0;
    if (!empty) {
      throw ArchiveError(
          ArchiveError::Kind::damaged,
          path_ + ": the table of contents " + tocPath() + " is missing beside a stream with data");
    }
    if (!create) {
      throw ArchiveError(ArchiveError::Kind::failed,
                         path_ + ": no such archive (" + tocPath() + " not found)");
    }
  }
  if (!usableRootName(root_->name())) {
    root_->name(TreePath::kRootName);
  }
}

void Archive::replaceTree(std::unique_ptr<DirectoryNode> root) {
  root_ = std::move(root);
}

void Archive::requireWritable(const char* operation) const {
  if (!writable()) {
    throw ArchiveError(ArchiveError::Kind::failed,
                       path_ + ": opened for reading; " + operation + " needs write access");
  }
}

TreeNode* Archive::find(const std::string& path) {
  return TreePath::resolve(*root_, path);
}

TreeNode& Archive::entry(const std::string& path) {
  TreeNode* node = find(path);
  if (node == nullptr) {
    throw ArchiveError(ArchiveError::Kind::failed, path_ + ": no entry '" + path + "'");
  }
  return *node;
}

std::string Archive::pathOf(const TreeNode& node) {
  return TreePath::of(node);
}

DirectoryNode& Archive::directory(const std::string& path) {
  requireWritable("adding");
  TreeNode* node = find(path);
  if (node == nullptr) {
    // The deepest existing directory on the way, and how many levels are to be made below it.
    std::string known = path;
    unsigned made = 0;
    TreeNode* above = nullptr;
    while (above == nullptr) {
      const std::size_t slash = known.find_last_of("/\\", known.find_last_not_of("/\\"));
      known = slash == std::string::npos ? std::string() : known.substr(0, slash);
      ++made;
      above = find(known);
    }
    if (above->directory() != nullptr &&
        TreePath::depthOf(*above) + made > DirectoryNode::kMaximumStoredDepth) {
      throw ArchiveError(ArchiveError::Kind::failed,
                         path_ + ": a directory " +
                             std::to_string(TreePath::depthOf(*above) + made) +
                             " levels deep would nest deeper than " +
                             std::to_string(DirectoryNode::kMaximumStoredDepth) +
                             " folder levels, more than a saved tree may");
    }
    root_->addTree(path);
    node = find(path);
  }
  if (node == nullptr || node->directory() == nullptr) {
    throw ArchiveError(ArchiveError::Kind::failed, path_ + ": '" + path + "' is not a directory");
  }
  return *node->directory();
}

TreeAdder::Report Archive::add(const std::vector<std::string>& paths, const std::string& to,
                               const TreeAdder::Options& options) {
  TreeAdder adder(directory(to), options);
  for (const std::string& path : paths) {
    adder.addPath(path);
  }
  return adder.takeReport();
}

// The other archive is read under its shared lock; this archive itself is read from a copy
// of its tree, so that adding does not walk what it adds.
TreeAdder::Report Archive::addFrom(const std::string& other, const std::vector<std::string>& paths,
                                   const std::string& to) {
  requireWritable("adding");
  std::unique_ptr<Archive> opened;
  std::unique_ptr<DirectoryNode> copy;
  DirectoryNode* source = nullptr;
  struct stat status {};
  if (::stat(other.c_str(), &status) == 0 && lock_.sameFile(status)) {
    copy.reset(static_cast<DirectoryNode*>(root_->clone(nullptr)));
    source = copy.get();
  } else {
    Options options;
    options.wait.limit = Committer::Options().sourceWait;
    opened = std::make_unique<Archive>(other, options);
    source = &opened->root();
  }
  const std::unique_ptr<BinStream> stream = opened ? opened->openForReading() : openForReading();
  ArchiveCheck(*source, *stream).requireSound(other);
  std::vector<TreeNode*> entries;
  for (const std::string& path : paths) {
    TreeNode* node = TreePath::resolve(*source, path);
    if (node == nullptr) {
      throw ArchiveError(ArchiveError::Kind::failed, other + ": no entry '" + path + "'");
    }
    entries.push_back(node);
  }
  const std::string name = fs::absolute(other).lexically_normal().string();
  TreeAdder adder(directory(to));
  for (TreeNode* node : entries) {
    adder.addFromArchive(*node, name, *stream);
  }
  return adder.takeReport();
}

std::vector<std::string> Archive::remove(const std::vector<std::string>& paths) {
  requireWritable("removing");
  std::vector<TreeNode*> nodes;
  for (const std::string& path : paths) {
    TreeNode& node = entry(path);
    if (node.parent() == nullptr) {
      throw ArchiveError(ArchiveError::Kind::failed,
                         path_ + ": the top of the tree cannot be removed");
    }
    nodes.push_back(&node);
  }
  std::vector<std::string> removed;
  for (TreeNode* node : nodes) {
    if (!node->deleted()) {
      node->parent()->remove(node);
      removed.push_back(TreePath::of(*node) + (node->directory() != nullptr ? "/" : ""));
    }
  }
  return removed;
}

void Archive::save() {
  requireWritable("saving");
  treeFile_.save(*root_);
}

Committer::Report Archive::commit(CommitMeter& meter, const Committer::Options& options) {
  requireWritable("commit");
  return Committer(*this, meter, options).run();
}

// What lies behind the last live block is cut first (bytes too few to be a block included),
// and counted with what the compaction gives back.
Compactor::Result Archive::cleanup(bool dryRun) {
  std::int64_t cut = 0;
  if (!dryRun) {
    requireWritable("cleanup");
    openForWriting(cut);
  }
  const std::unique_ptr<BinStream> stream = openForReading();
  const ArchiveCheck check(*root_, *stream);
  check.requireSound(path_);
  Compactor::Result result = Compactor(*this, check).run(dryRun);
  result.bytesBefore += cut;
  return result;
}

ArchiveCheck Archive::verify() {
  const std::unique_ptr<BinStream> stream = openForReading();
  return ArchiveCheck(*root_, *stream);
}

Extractor::Report Archive::extract(const std::vector<std::string>& paths, const std::string& target,
                                   const Extractor::Options& options) {
  std::vector<TreeNode*> nodes;
  for (const std::string& path : paths) {
    nodes.push_back(&entry(path));
  }
  const std::unique_ptr<BinStream> stream = openForReading();
  Extractor extractor(*stream, path_, options);
  Extractor::Report report;
  for (TreeNode* node : nodes) {
    extractor.extract(*node, target, report);
  }
  return report;
}

namespace {

FileNode& committedFile(TreeNode& node, const std::string& archive, const std::string& path) {
  if (node.file() == nullptr || node.uncommittedFile() != nullptr) {
    throw ArchiveError(ArchiveError::Kind::failed,
                       archive + ": '" + path + "' is not a stored file");
  }
  return *node.file();
}

}  // namespace

void Archive::extractFile(const std::string& path, int descriptor) {
  FileNode& file = committedFile(entry(path), path_, path);
  const std::unique_ptr<BinStream> stream = openForReading();
  Extractor(*stream, path_, {}).writeData(file, descriptor);
}

void Archive::extractFile(const std::string& path, std::ostream& out) {
  FileNode& file = committedFile(entry(path), path_, path);
  const std::unique_ptr<BinStream> stream = openForReading();
  Extractor(*stream, path_, {}).writeData(file, out);
}

std::unique_ptr<BinStream> Archive::openForReading() {
  try {
    return std::make_unique<BinVeskStream>(path_.c_str(), VESK_ACCESS_READ, 0, FILE_OPEN_EXISTING,
                                           false);
  } catch (const VeskException& error) {
    throw ArchiveError(ArchiveError::Kind::failed, path_ + ": ", error);
  }
}

// When the stream ends right behind the last block the tree names, and that block's prefix
// holds its file's size, there is nothing to cut, and appending touches no byte the tree
// names: the walk of the whole chain, which costs a read for every block, is left to verify
// and cleanup. Answers that end, or nothing when a walk must decide what to cut.
std::optional<std::int64_t> Archive::endOfNamedBlocks(BinStream& stream) {
  std::optional<ChainBlock> last;
  bool everyFileHasABlock = true;
  TreePath::eachLive(*root_, [&](TreeNode& node) {
    if (TreePath::isCommittedFile(node)) {
      const FileNode& file = *node.file();
      const ChainBlock block{file.offsetPrefix(), file.fileSize(), true};
      everyFileHasABlock = everyFileHasABlock && block.position >= 0;
      if (!last || block.end() > last->end()) {
        last = block;
      }
    }
  });
  const std::int64_t end = last ? last->end() : 0;
  if (!everyFileHasABlock || stream.size() != end ||
      (last && BlockChain::readPrefix(stream, last->position) != last->length)) {
    return std::nullopt;
  }
  return end;
}

std::unique_ptr<BinVeskStream> Archive::openForWriting(std::int64_t& cut) {
  std::int64_t liveEnd = 0;
  {
    const std::unique_ptr<BinStream> reader = openForReading();
    if (const std::optional<std::int64_t> end = endOfNamedBlocks(*reader)) {
      liveEnd = *end;
    } else {
      const ArchiveCheck check(*root_, *reader);
      check.requireSound(path_);
      liveEnd = check.liveEnd();
    }
  }
  std::unique_ptr<BinVeskStream> stream;
  try {
    stream = std::make_unique<BinVeskStream>(path_.c_str(), VESK_ACCESS_READ | VESK_ACCESS_WRITE, 0,
                                             FILE_OPEN_EXISTING, true);
    cut = stream->size() - liveEnd;
    if (cut > 0) {
      stream->seekp(liveEnd);
      stream->setEOF();
      stream->sync();
    }
  } catch (const VeskException& error) {
    throw ArchiveError(ArchiveError::Kind::failed, path_ + ": ", error);
  }
  return stream;
}

}  // namespace vesk
