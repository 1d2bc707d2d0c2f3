// ArchiveFixture: what the tests of vesk::Archive share: a temporary folder with the archive
// A in it, source files with their bytes, copies of A's files, and child processes.
#ifndef VESK_TESTS_ARCHIVEFIXTURE_H
#define VESK_TESTS_ARCHIVEFIXTURE_H

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "Archive.h"
#include "TestSupport.h"

namespace vesk::test {

namespace fs = std::filesystem;

class ArchiveFixture : public ::testing::Test {
 protected:
  static Archive::Options writing();  // write access; A is made when missing
  // `count` files of up to `largest` random bytes in three folders below "src".
  void makeSources(unsigned count, std::size_t largest, unsigned seed);
  // Adds "src" to A, commits, removes every `nth` file from A and from `sources`, saves.
  void commitAndThin(unsigned nth);
  // Opens A for reading (finishing a cleanup), expects it to verify and every file it lists
  // as stored to extract equal to its source; answers how many it lists.
  unsigned expectIntact(const std::string& when);
  // The bytes of A, A.toc and A.journal.
  std::map<std::string, std::string> snapshot() const;
  // Copies A and A.toc to `name` and `name`.toc in the folder, or back.
  void copyArchive(const std::string& name, bool back = false) const;
  // Runs `work` in a child process, which exits 0, or 1 when `work` throws.
  static pid_t inChild(const std::function<void()>& work);
  // The exit status of `process`, or 128 + the signal that ended it.
  static int waitFor(pid_t process);

  TempDir dir;
  std::string archive = dir.file("a.vesk");
  std::map<std::string, std::string> sources;  // by tree path, the path below `dir`
};

}  // namespace vesk::test

#endif  // VESK_TESTS_ARCHIVEFIXTURE_H
