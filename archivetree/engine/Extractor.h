/// \class vesk::Extractor Extractor.h <vesk/Extractor.h>
/// Extractor: writes entries of an archive back to disk below one target folder and never
/// outside it. Each entry's name is used as one path component only: a name that is empty,
/// "." or "..", or holds '/', '\' or a NUL byte is refused together with everything below it,
/// and folders are entered without following symbolic links. A file's data is read from its
/// block after checking that the block's prefix announces the file's size, written to a new
/// temporary file in the target folder and renamed over the target name, so that an existing
/// file is replaced whole or not at all and never written through (a hard or symbolic link
/// keeps its own data). Its modification time is the entry's creation time. Pending files
/// have no data yet and are passed over. A failure of one entry is reported and the others go
/// on. The stream must outlive the Extractor.
#ifndef VESK_EXTRACTOR_H
#define VESK_EXTRACTOR_H

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace vesk {

class BinStream;
class DirectoryNode;
class FileNode;
class TreeNode;

class Extractor {
 public:
  /// How entries are written out.
  struct Options {
    /// Keep a file that exists under an entry's name instead of replacing it.
    bool keepExisting = false;
  };
  /// An entry that could not be written, and why.
  struct Failure {
    std::string path;    ///< the entry's tree path
    std::string reason;  ///< one line
    bool damaged;        ///< its block does not hold its data
  };
  /// What an extraction did.
  struct Report {
    /// Files written.
    unsigned files = 0;
    std::vector<std::string> kept;     ///< entries whose target existed and was kept
    std::vector<std::string> pending;  ///< entries passed over for want of data
    /// Entries that could not be written.
    std::vector<Failure> failures;
    /// Whether some block turned out damaged.
    bool damaged() const;
  };

  /// Extracts from the stream `stream` of the archive named `archive` (in messages).
  Extractor(BinStream& stream, std::string archive, Options options);

  /// Writes `node` into the folder `target` (made when missing) under its own name; for the
  /// root, its children. Throws ArchiveError failed when `target` cannot be made or opened;
  /// everything else goes into `report`.
  void extract(TreeNode& node, const std::string& target, Report& report);

  /// Writes the data of the committed file `file` to the descriptor or the stream. Throws
  /// ArchiveError: damaged when its block does not hold it, failed when writing fails.
  void writeData(FileNode& file, int descriptor);
  /// \copydoc writeData(FileNode&, int)
  void writeData(FileNode& file, std::ostream& out);

  /// Whether `name` can be used as one path component inside a folder.
  static bool safeName(const std::string& name);

 private:
  using Sink = std::function<void(const char* bytes, std::size_t count)>;

  void extractInto(int folder, const std::string& shownFolder, TreeNode& node, Report& report);
  void extractChildren(int folder, const std::string& shownFolder, DirectoryNode& directory,
                       Report& report);
  void writeFile(int folder, const std::string& shown, FileNode& file, Report& report);
  void copyData(FileNode& file, const Sink& sink);

  BinStream& stream_;
  std::string archive_;
  Options options_;
  std::vector<char> buffer_;
};

}  // namespace vesk

#endif  // VESK_EXTRACTOR_H
