// A small application of the library: makes an archive of a folder, commits it, reads a
// file back, searches, removes, cleans up and extracts, all through vesk::Archive.
//
//   ArchiveExample [FOLDER]   works in FOLDER (default: a new temporary folder)
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <vesk/Archive.h>
#include <vesk/DirectoryNode.h>
#include <vesk/TreeSearcher.h>

namespace fs = std::filesystem;

// [meter]
// What the application hears of a commit; returning true from cancelled() would stop it.
class PrintingMeter : public vesk::CommitMeter {
 public:
  void startFile(const std::string& path, std::uint64_t size) override {
    std::cout << "storing " << path << " (" << size << " bytes)\n";
  }
};
// [meter]

int main(int argc, char** argv) {
  std::string folder = argc > 1 ? argv[1] : (fs::temp_directory_path() / "vesk-XXXXXX").string();
  if (argc < 2 && ::mkdtemp(folder.data()) == nullptr) {
    return 1;
  }
  const std::string path = folder + "/example.vesk";
  vesk::Archive::Options options;
  options.access = vesk::Archive::Access::write;
  options.create = true;
  try {
    fs::create_directories(folder + "/data/notes");
    std::ofstream(folder + "/data/hello.txt") << "Hello, archive!\n";
    std::ofstream(folder + "/data/notes/todo.txt") << "1. commit\n2. clean up\n";

    // [write]
    // Open for writing, creating the archive; the lock keeps other processes out meanwhile.
    {
      vesk::Archive archive(path, options);
      archive.add({folder + "/data"});  // pending files below the tree folder "data"
      PrintingMeter meter;
      const vesk::Committer::Report report = archive.commit(meter);  // stores and saves
      std::cout << report.stored << " files stored\n";
    }
    // [write]

    // [read]
    // Open for reading (other readers may share it), read a file back, search a folder.
    vesk::Archive archive(path);
    std::ostringstream todo;
    archive.extractFile("data/notes/todo.txt", todo);
    std::cout << "data/notes/todo.txt holds:\n" << todo.str();
    vesk::TreeSearcher searcher(archive.root().name().str() + "/data/*.TXT", &archive.root());
    for (vesk::TreeNode* node = searcher.first(); node != nullptr; node = searcher.next()) {
      std::cout << "matches data/*.TXT: " << vesk::Archive::pathOf(*node) << '\n';
    }
    std::cout << archive.root().numberOfItems(true) << " entries, "
              << (archive.verify().sound() ? "the tree matches the stream" : "damaged") << '\n';
    // [read]
  } catch (const vesk::VeskException& error) {
    std::cerr << "ArchiveExample: " << error.message() << '\n';
    return 1;
  }
  try {
    // [clean]
    // Remove, give the space back, and write everything out again.
    vesk::Archive archive(path, options);
    archive.remove({"data/hello.txt"});
    const vesk::Compactor::Result cleaned = archive.cleanup();
    const vesk::Extractor::Report extracted = archive.extract({"/"}, folder + "/restored");
    std::cout << "cleanup gave back " << cleaned.bytesBefore - cleaned.bytesAfter << " bytes; "
              << extracted.files << " files extracted\n";
    // [clean]
  } catch (const vesk::VeskException& error) {
    std::cerr << "ArchiveExample: " << error.message() << '\n';
    return 1;
  }
  if (argc < 2) {
    fs::remove_all(folder);
  }
  return 0;
}
