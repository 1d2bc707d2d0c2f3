// Feeds arbitrary bytes to the reader of a cleanup journal, as a file. Only ArchiveError may
// come out, and what it makes of the bytes stays within them: no record's data, tree or
// state is larger than the file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "ArchiveError.h"
#include "CleanupJournal.h"

namespace {

// The file the bytes are written to, removed when the fuzzer exits.
struct JournalFile {
  std::string path =
      (std::filesystem::temp_directory_path() / ("vesk-journal-fuzz-" + std::to_string(::getpid())))
          .string();
  ~JournalFile() { std::filesystem::remove(path); }
};

const std::string& journalPath() {
  static const JournalFile file;
  return file.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::ofstream(journalPath(), std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  try {
    const vesk::CleanupJournal journal = vesk::CleanupJournal::resume(journalPath());
    if (journal.begin().tree.size() > size) {
      std::abort();
    }
    for (unsigned move = 0; move < 4; ++move) {
      const vesk::CleanupJournal::MoveState state = journal.moveState(move);
      if (state.data.size() > size || state.done < 0) {
        std::abort();
      }
    }
  } catch (const vesk::ArchiveError&) {
  }
  return 0;
}
