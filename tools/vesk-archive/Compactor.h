// Compactor: the cleanup of an archive. It gives back every byte of the stream that no live
// file uses: blocks of deleted files, blocks that no entry names any more (the contents of a
// deleted directory, whose entries the saved tree does not keep), prefixes left by copies
// that failed, the tail of an interrupted commit. It copies the blocks that live files use,
// in stream order, into a new stream beside the archive, points the files at their new
// places, drops the deleted entries from the tree and switches the archive to the new stream
// and tree (see Archive). Until the switch the archive is untouched, so a crash at any moment
// leaves a matching stream and tree. The archive must have been checked sound.
#ifndef VESK_COMPACTOR_H
#define VESK_COMPACTOR_H

#include <cstdint>
#include <string>
#include <vector>

namespace vesk {

class Archive;
class ArchiveCheck;
class DirectoryNode;

class Compactor {
 public:
  struct Result {
    std::vector<std::string> removed;  // the deleted entries, directories ending in '/'
    std::int64_t bytesBefore = 0;
    std::int64_t bytesAfter = 0;
    unsigned unnamedBlocks = 0;  // blocks on the chain that no entry of the tree names
  };

  Compactor(Archive& archive, const ArchiveCheck& check);

  // Compacts and saves; answers what went. Throws ToolError when a file cannot be written,
  // kDamaged when the stream ends before a live block does.
  Result run();

 private:
  void copyLiveBlocks();
  void movePositions();
  void listRemoved(DirectoryNode& directory);
  static void dropDeleted(DirectoryNode& directory);
  unsigned countUnnamedBlocks();

  Archive& archive_;
  const ArchiveCheck& check_;
  Result result_;
};

}  // namespace vesk

#endif  // VESK_COMPACTOR_H
