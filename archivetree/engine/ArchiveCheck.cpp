#include "ArchiveCheck.h"

#include <algorithm>

#include "ArchiveError.h"
#include "DirectoryNode.h"
#include "FileNode.h"
#include "TreePath.h"

namespace vesk {

ArchiveCheck::ArchiveCheck(DirectoryNode& root, BinStream& stream)
    : chain_(stream, liveStarts(root)) {
  checkFiles(root);
  countLiveBlocks();
}

std::vector<std::int64_t> ArchiveCheck::liveStarts(DirectoryNode& root) {
  std::vector<std::int64_t> starts;
  TreePath::eachLive(root, [&](TreeNode& node) {
    if (TreePath::isCommittedFile(node) && node.file()->offsetPrefix() >= 0) {
      starts.push_back(node.file()->offsetPrefix());
    }
  });
  std::sort(starts.begin(), starts.end());
  starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
  return starts;
}

void ArchiveCheck::checkFiles(DirectoryNode& root) {
  TreePath::eachLive(root, [&](TreeNode& node) {
    if (TreePath::isCommittedFile(node)) {
      ++liveFiles_;
      checkFile(node);
    }
  });
}

// The file's path is made only for a problem: a sound tree of many files costs no strings.
void ArchiveCheck::checkFile(TreeNode& node) {
  const std::int64_t position = node.file()->offsetPrefix();
  const std::uint64_t size = node.file()->fileSize();
  const ChainBlock* block = position >= 0 ? chain_.blockAt(position) : nullptr;
  if (block != nullptr && block->end() <= chain_.streamSize() && block->length == size) {
    liveEnd_ = std::max(liveEnd_, block->end());
    return;
  }
  const std::string path = TreePath::of(node);
  const std::string where = "'" + path + "' (block at " + std::to_string(position) + ")";
  if (position < 0) {
    problems_.push_back("'" + path + "' has no data block");
  } else if (position >= chain_.streamSize()) {
    problems_.push_back(where + " lies behind the end of the stream (" +
                        std::to_string(chain_.streamSize()) + " bytes)");
  } else if (block == nullptr) {
    problems_.push_back(where + " is not on the block chain: it overlaps another block");
  } else if (block->end() > chain_.streamSize()) {
    problems_.push_back(where + " runs past the end of the stream (" +
                        std::to_string(chain_.streamSize()) + " bytes)");
  } else {
    problems_.push_back(where + " holds " + std::to_string(block->length) +
                        " bytes, the tree says " + std::to_string(size));
  }
}

void ArchiveCheck::countLiveBlocks() {
  for (const ChainBlock& block : chain_.blocks()) {
    if (block.live) {
      liveBytes_ += std::min(block.end(), chain_.streamSize()) - block.position;
    }
  }
}

void ArchiveCheck::requireSound(const std::string& archive) const {
  if (!sound()) {
    std::string message = archive + ": damaged archive: " + problems_.front();
    if (problems_.size() > 1) {
      message += " (and " + std::to_string(problems_.size() - 1) + " more; see 'verify')";
    }
    throw ArchiveError(ArchiveError::Kind::damaged, message);
  }
}

}  // namespace vesk
