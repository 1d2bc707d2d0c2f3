#include "ArchiveFixture.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <random>

namespace vesk::test {

Archive::Options ArchiveFixture::writing() {
  Archive::Options options;
  options.access = Archive::Access::write;
  options.create = true;
  return options;
}

void ArchiveFixture::makeSources(unsigned count, std::size_t largest, unsigned seed) {
  std::mt19937 random(seed);
  for (unsigned i = 0; i < count; ++i) {
    const std::string path = "src/d" + std::to_string(i % 3) + "/f" + std::to_string(i);
    writeFile(dir.file(path), sources[path] = randomBytes(random() % (largest + 1), seed + i));
  }
}

void ArchiveFixture::commitAndThin(unsigned nth) {
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

unsigned ArchiveFixture::expectIntact(const std::string& when) {
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

std::map<std::string, std::string> ArchiveFixture::snapshot() const {
  return {{"A", readFile(archive)},
          {"toc", readFile(archive + ".toc")},
          {"journal", readFile(archive + ".journal")}};
}

void ArchiveFixture::copyArchive(const std::string& name, bool back) const {
  for (const char* suffix : {"", ".toc"}) {
    const std::string copy = dir.file(name + suffix);
    fs::copy_file(back ? copy : archive + suffix, back ? archive + suffix : copy,
                  fs::copy_options::overwrite_existing);
  }
}

pid_t ArchiveFixture::inChild(const std::function<void()>& work) {
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

int ArchiveFixture::waitFor(pid_t process) {
  int status = 0;
  while (::waitpid(process, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace vesk::test
