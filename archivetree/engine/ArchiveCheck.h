/// \class vesk::ArchiveCheck ArchiveCheck.h <vesk/ArchiveCheck.h>
/// ArchiveCheck: whether an archive's tree matches its stream. Every live committed file must
/// have a block on the stream's chain (see BlockChain) that lies inside the stream and whose
/// prefix equals the file's size; live files may share a block only whole (a clone), so no two
/// overlap. Besides the verdict it tells how the stream's bytes are used. It keeps no
/// reference to the tree or the stream.
#ifndef VESK_ARCHIVECHECK_H
#define VESK_ARCHIVECHECK_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "BlockChain.h"

namespace vesk {

class BinStream;
class DirectoryNode;
class TreeNode;

class ArchiveCheck {
 public:
  /// Walks the stream's chain and checks every live committed file below `root` against it.
  /// Throws the stream's VeskException when a read fails.
  ArchiveCheck(DirectoryNode& root, BinStream& stream);

  /// Whether the tree and the stream agree: no problems found.
  bool sound() const noexcept { return problems_.empty(); }
  /// One line per fault, naming the file.
  const std::vector<std::string>& problems() const noexcept { return problems_; }
  /// The stream's chain of blocks, as walked.
  const BlockChain& chain() const noexcept { return chain_; }

  /// The number of live committed files checked.
  unsigned liveFiles() const noexcept { return liveFiles_; }
  /// Bytes of the distinct blocks that live files use, prefixes included.
  std::int64_t liveBytes() const noexcept { return liveBytes_; }
  /// Bytes of the stream that no live file uses: what cleanup gives back.
  std::int64_t reclaimable() const noexcept { return chain_.streamSize() - liveBytes_; }
  /// The position behind the last live block; 0 when there is none.
  std::int64_t liveEnd() const noexcept { return liveEnd_; }

  /// Throws ArchiveError damaged naming `archive` and the first problem when not sound.
  void requireSound(const std::string& archive) const;

 private:
  static std::vector<std::int64_t> liveStarts(DirectoryNode& root);
  void checkFiles(DirectoryNode& root);
  void checkFile(TreeNode& node);
  void countLiveBlocks();

  BlockChain chain_;
  std::vector<std::string> problems_;
  unsigned liveFiles_ = 0;
  std::int64_t liveBytes_ = 0;
  std::int64_t liveEnd_ = 0;
};

}  // namespace vesk

#endif  // VESK_ARCHIVECHECK_H
