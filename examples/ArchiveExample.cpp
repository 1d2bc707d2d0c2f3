// A small application of the library: puts two files into an archive, saves the tree, loads
// it back, finds a file by path, reads its data and searches by wildcard.
//
//   ArchiveExample [FOLDER]   works in FOLDER (default: a new temporary folder)
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "BinVeskStream.h"
#include "ConCommittedFiles.h"
#include "DirectoryNode.h"
#include "FileNode.h"
#include "ProgressMeter.h"
#include "TreeNodeIterator.h"
#include "TreeSearcher.h"
#include "VeskException.h"

namespace fs = std::filesystem;

// Commit asks a meter before every entry whether to stop and names each file it stores.
class PrintingMeter : public vesk::ProgressMeter {
 public:
  void startFile(const char* name) override { std::cout << "storing " << name << '\n'; }
  bool cancelled() override { return false; }
};

// A pending file: the tree remembers where the data is to come from.
void addFile(vesk::DirectoryNode& into, const fs::path& path, const std::string& text) {
  std::ofstream(path) << text;
  into.addUncommittedFile(path.string(), static_cast<unsigned>(text.size()),
                          vesk::TimeDate::ofFile(path.c_str()), 0);
}

int main(int argc, char** argv) {
  std::string folder = argc > 1 ? argv[1] : (fs::temp_directory_path() / "vesk-XXXXXX").string();
  if (argc < 2 && ::mkdtemp(folder.data()) == nullptr) {
    return 1;
  }
  const std::string archivePath = folder + "/example.vesk";
  try {
    // Build a tree: a root with a file and a directory holding another file.
    vesk::DirectoryNode root("example", nullptr);
    addFile(root, folder + "/hello.txt", "Hello, archive!\n");
    addFile(*root.addDirectory("notes"), folder + "/todo.txt", "1. commit\n2. clean up\n");

    // Commit: every pending file's data is appended to the stream as one block.
    vesk::BinVeskStream archive(archivePath.c_str(), 0x01 | 0x02 | 0x10, true);
    vesk::ConCommittedFiles committed;
    PrintingMeter meter;
    const unsigned stored = root.commit(archive, committed, meter, 1);
    for (auto record = committed.begin(); record != committed.end(); ++record) {
      std::cout << committed.committedName(record).view() << ": " << committed.size(record)
                << " bytes at " << committed.offset(record) << '\n';
    }
    archive.sync();

    // Save the tree, then load it into a new root.
    {
      vesk::BinVeskStream toc((archivePath + ".toc").c_str(), 0x02 | 0x10, true);
      root.output(toc);
      toc.sync();
    }
    vesk::DirectoryNode loaded;
    vesk::BinVeskStream toc((archivePath + ".toc").c_str(), 0x01, true);
    loaded.input(toc);

    // Find a file by its path (starting with the root's name) and read its data.
    vesk::TreeNodeIterator iterator(&loaded);
    vesk::FileNode* todo = iterator.findFile("example/notes/todo.txt");
    std::string data(todo->fileSize(), '\0');
    archive.seekg(todo->offset());
    archive.read(data.data(), todo->fileSize());
    std::cout << "notes/todo.txt holds:\n" << data;

    // Search one directory by wildcard.
    vesk::TreeSearcher searcher("example/*.TXT", &loaded);
    for (vesk::TreeNode* node = searcher.first(); node != nullptr; node = searcher.next()) {
      std::cout << "matches *.TXT: " << node->name().view() << '\n';
    }
    std::cout << stored << " files stored, " << loaded.numberOfItems(true) << " entries loaded\n";
  } catch (const vesk::VeskException& error) {
    std::cerr << "ArchiveExample: " << error.what() << '\n';
    return 1;
  }
  if (argc < 2) {
    fs::remove_all(folder);
  }
  return 0;
}
