#include "Compactor.h"

#include <algorithm>
#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "Archive.h"
#include "ArchiveCheck.h"
#include "BinVeskStream.h"
#include "FileNode.h"
#include "ToolError.h"
#include "TreePath.h"
#include "VeskException.h"

namespace vesk {

namespace {

constexpr int kReadWriteTruncate = 0x01 | 0x02 | 0x10;
// The most one copy call moves; the stream's copy counts in 32 bits.
constexpr std::int64_t kCopyPiece = std::int64_t{1} << 30;

}  // namespace

Compactor::Compactor(Archive& archive, const ArchiveCheck& check)
    : archive_(archive), check_(check) {}

// The steps:
//  1. list the deleted entries and count the blocks no entry names;
//  2. copy the live blocks, in stream order and back to back, into A.compact and sync it;
//  3. move every live file's position to its block's new place and drop deleted entries;
//  4. write A.toc.compact, then switch (Archive::rename) A.compact to A and the tree to A.toc.
// With nothing to give back and nothing deleted, nothing is written.
Compactor::Result Compactor::run() {
  result_.bytesBefore = check_.chain().streamSize();
  result_.bytesAfter = check_.liveBytes();
  listRemoved(archive_.root());
  result_.unnamedBlocks = countUnnamedBlocks();
  if (check_.reclaimable() == 0) {
    if (!result_.removed.empty()) {
      dropDeleted(archive_.root());
      archive_.save();
    }
    return result_;
  }
  copyLiveBlocks();
  movePositions();
  dropDeleted(archive_.root());
  archive_.saveAs(archive_.compactTocPath());
  archive_.syncFolder();
  archive_.rename(archive_.compactPath(), archive_.path());
  archive_.rename(archive_.compactTocPath(), archive_.tocPath());
  return result_;
}

void Compactor::copyLiveBlocks() {
  const std::string& source = archive_.path();
  try {
    BinVeskStream out(archive_.compactPath().c_str(), kReadWriteTruncate, false);
    const std::vector<ChainBlock>& blocks = check_.chain().blocks();
    for (auto block = blocks.begin(); block != blocks.end();) {
      if (!block->live) {
        ++block;
        continue;
      }
      // A run of live blocks back to back moves in one piece.
      const std::int64_t start = block->position;
      std::int64_t end = block->end();
      for (++block; block != blocks.end() && block->live && block->position == end; ++block) {
        end = block->end();
      }
      for (std::int64_t at = start; at < end; at += kCopyPiece) {
        const auto count = static_cast<unsigned>(std::min(kCopyPiece, end - at));
        if (out.copyFile(source.c_str(), count, at, 0) != count) {
          throw ToolError(ToolError::kDamaged, source + ": the stream ends inside a live block");
        }
      }
    }
    out.sync();
  } catch (const VeskException& error) {
    throw ToolError(ToolError::kUser,
                    "Cannot write '" + archive_.compactPath() + "': " + error.what());
  }
}

// Live blocks keep their order; each moves down by the bytes given back in front of it.
void Compactor::movePositions() {
  std::unordered_map<std::int64_t, std::int64_t> moved;
  std::int64_t next = 0;
  for (const ChainBlock& block : check_.chain().blocks()) {
    if (block.live) {
      moved[block.position] = next;
      next += block.end() - block.position;
    }
  }
  TreePath::eachLive(archive_.root(), [&](TreeNode& node) {
    if (TreePath::isCommittedFile(node)) {
      node.file()->offsetPrefix(moved.at(node.file()->offsetPrefix()));
    }
  });
}

void Compactor::listRemoved(DirectoryNode& directory) {
  for (const SmartPointer<TreeNode>& child : directory) {
    DirectoryNode* below = child->directory();
    if (child->deleted()) {
      result_.removed.push_back(TreePath::of(*child) + (below != nullptr ? "/" : ""));
    } else if (below != nullptr) {
      listRemoved(*below);
    }
  }
}

void Compactor::dropDeleted(DirectoryNode& directory) {
  for (auto child = directory.begin(); child != directory.end();) {
    if ((*child)->deleted()) {
      child = directory.erase(child);
      continue;
    }
    if (DirectoryNode* below = (*child)->directory()) {
      dropDeleted(*below);
    }
    ++child;
  }
}

// Blocks that neither a live file nor a deleted entry of the tree names.
unsigned Compactor::countUnnamedBlocks() {
  std::unordered_set<std::int64_t> named;
  std::function<void(DirectoryNode&)> collect = [&](DirectoryNode& directory) {
    for (const SmartPointer<TreeNode>& child : directory) {
      if (DirectoryNode* below = child->directory()) {
        collect(*below);
      } else if (TreePath::isCommittedFile(*child)) {
        named.insert(child->file()->offsetPrefix());
      }
    }
  };
  collect(archive_.root());
  return static_cast<unsigned>(std::count_if(
      check_.chain().blocks().begin(), check_.chain().blocks().end(),
      [&](const ChainBlock& block) { return !block.live && !named.contains(block.position); }));
}

}  // namespace vesk
