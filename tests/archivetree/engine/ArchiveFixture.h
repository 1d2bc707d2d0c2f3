// ArchiveFixture: what the tests of vesk::Archive share: a temporary folder with the archive
// A in it, source files with their bytes, copies of A's files, and child processes.
#ifndef VESK_TESTS_ARCHIVEFIXTURE_H
#define VESK_TESTS_ARCHIVEFIXTURE_H

#include <sys/types.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "Archive.h"
#include "TestSupport.h"

namespace vesk::test {

namespace fs = std::filesystem;

class ArchiveFixture : public ::testing::Test {
 protected:
  // Write access; A is made when missing.
  static Archive::Options writing() {
    Archive::Options options;
    options.access = Archive::Access::write;
    options.create = true;
    return options;
  }

  // `count` files of up to `largest` random bytes in three folders below "src".
  void makeSources(unsigned count, std::size_t largest, unsigned seed) {
    std::mt19937 random(seed);
    for (unsigned i = 0; i < count; ++i) {
      const std::string path = "src/d" + std::to_string(i % 3) + "/f" + std::to_string(i);
      writeFile(dir.file(path), sources[path] = randomBytes(random() % (largest + 1), seed + i));
    }
  }

  // `count` hard links in "src/links" to files of `sources`, which they join: a commit stores
  // each file once, and the links share its block.
  void linkSources(unsigned count) {
    fs::create_directories(dir.file("src/links"));
    std::vector<std::string> targets;
    for (auto source = sources.begin(); targets.size() < count; ++source) {
      targets.push_back(source->first);
    }
    for (unsigned i = 0; i < count; ++i) {
      const std::string link = "src/links/h" + std::to_string(i);
      fs::create_hard_link(dir.file(targets[i]), dir.file(link));
      sources[link] = sources[targets[i]];
    }
  }
  // Adds "src" to A, commits, removes every `nth` file from A and from `sources`, saves.
  void commitAndThin(unsigned nth) {
    Archive writer(archive, writing());
    writer.add({dir.file("src")});
    CommitMeter meter;
    writer.commit(meter);
    std::vector<std::string> removed;
    unsigned index = 0;
    std::erase_if(sources, [&](const auto& source) {
      if (index++ % nth != 0) {
        return false;
      }
      removed.push_back(source.first);
      return true;
    });
    writer.remove(removed);
    writer.save();
  }

  // Opens A for reading (finishing a cleanup), expects it to verify and every file it lists
  // as stored to extract equal to its source; answers how many it lists.
  unsigned expectIntact(const std::string& when) {
    Archive opened(archive);
    const ArchiveCheck check = opened.verify();
    EXPECT_TRUE(check.sound()) << when << ": " << ::testing::PrintToString(check.problems());
    const std::string out = dir.file("out");
    fs::remove_all(out);
    EXPECT_TRUE(opened.extract({"/"}, out).failures.empty()) << when;
    const std::map<std::string, std::string> files = filesBelow(out);
    for (const auto& [path, bytes] : files) {
      EXPECT_TRUE(sources.contains(path) && bytes == sources.at(path)) << when << ": " << path;
    }
    EXPECT_EQ(files.size(), check.liveFiles()) << when;
    return check.liveFiles();
  }

  // The bytes of A, A.toc and A.journal.
  std::map<std::string, std::string> snapshot() const {
    return {{"A", readFile(archive)},
            {"toc", readFile(archive + ".toc")},
            {"journal", readFile(archive + ".journal")}};
  }

  // Copies A and A.toc to `name` and `name`.toc in the folder, or back.
  void copyArchive(const std::string& name, bool back = false) const {
    for (const char* suffix : {"", ".toc"}) {
      const std::string copy = dir.file(name + suffix);
      fs::copy_file(back ? copy : archive + suffix, back ? archive + suffix : copy,
                    fs::copy_options::overwrite_existing);
    }
  }

  // Runs `work` in a child process, which exits 0, or 1 when `work` throws.
  static pid_t inChild(const std::function<void()>& work) {
    const pid_t process = ::fork();
    if (process == 0) {
      try {
        work();
      } catch (...) {
        ::_exit(1);
      }
      ::_exit(0);
    }
    return process;
  }

  TempDir dir;
  std::string archive = dir.file("a.vesk");
  std::map<std::string, std::string> sources;  // by tree path, the path below `dir`
};

}  // namespace vesk::test

#endif  // VESK_TESTS_ARCHIVEFIXTURE_H
