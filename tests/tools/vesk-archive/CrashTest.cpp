// vesk-archive killed at random moments, or failing at any operation of its file. A killed
// commit leaves an archive that verifies and reads back every file listed as stored. After an
// interrupted cleanup the next command repairs the archive: verify passes, the survivors read
// back, and finishing gives the stream and tree of a cleanup never interrupted.
#include <signal.h>

#include <chrono>
#include <random>
#include <thread>

#include "Archive.h"
#include "FaultyFile.h"
#include "ToolRunner.h"

namespace vesk::test {
namespace {

using Milliseconds = std::chrono::duration<double, std::milli>;

// Kills `process` after `delay` milliseconds and waits for it to end.
void killAfter(pid_t process, double delay) {
  std::this_thread::sleep_for(Milliseconds(delay));
  ::kill(process, SIGKILL);
  ToolRunner::wait(process);
}

constexpr unsigned kFiles = 300;

class CommitCrashTest : public ToolTest {
 protected:
  // Lists, verifies and extracts the archive, and expects every file it lists as stored to
  // read back; answers how many there are.
  unsigned checkArchive() {
    const std::string listed = "\n" + tool.ok({"ls", "-R", "-l", archive}).out;
    tool.ok({"verify", archive});
    const std::string out = dir.file("out");
    fs::remove_all(out);
    tool.ok({"extract", archive, "/", "-C", out});
    const std::map<std::string, std::string> files = filesBelow(out);
    for (const auto& [path, bytes] : files) {
      EXPECT_EQ(bytes, readFile(dir.file(path))) << path;
    }
    std::size_t listedStored = 0;  // the lines of stored files begin "f "
    for (auto at = listed.find("\nf "); at != std::string::npos; at = listed.find("\nf ", at + 1)) {
      ++listedStored;
    }
    EXPECT_EQ(listedStored, files.size());
    return static_cast<unsigned>(files.size());
  }
};

// The moment of the kill is drawn from a window that widens each round, so that the kills
// fall from the start of the process to late in the copy whatever the machine's speed.
TEST_F(CommitCrashTest, AKilledCommitLeavesAnArchiveThatVerifiesAndReadsBack) {
  std::mt19937 random(7);
  for (unsigned i = 0; i < kFiles; ++i) {
    const std::string folder = dir.file("src/d" + std::to_string(i % 7));
    fs::create_directories(folder);
    writeFile(folder + "/f" + std::to_string(i), randomBytes(random() % (64 * 1024 + 1), i));
  }
  tool.ok({"add", archive, dir.file("src")});
  double window = 10;  // milliseconds
  unsigned stored = 0;
  for (unsigned round = 0; round < 15 && stored < kFiles; ++round, window *= 1.3) {
    killAfter(tool.start({"commit", "--save-every", "8", archive}),
              std::uniform_real_distribution<double>(0.3 * window, window)(random));
    const unsigned now = checkArchive();
    EXPECT_GE(now, stored) << "round " << round;
    stored = now;
  }
  tool.ok({"commit", archive});
  EXPECT_EQ(checkArchive(), kFiles);
}

class CleanupCrashTest : public ToolTest {
 protected:
  // An archive of `files` files of mixed sizes, many tiny ones and every twelfth large, with
  // a random third deleted and one folder removed whole; kept as the template of every
  // round. The result of an uninterrupted cleanup is kept as the reference.
  void build(unsigned files, std::size_t large) {
    std::mt19937 random(5);
    for (unsigned i = 0; i < files; ++i) {
      const std::size_t size = i % 12 == 0 ? large + random() % (4 * large) : random() % 300;
      const std::string folder = "src/d" + std::to_string(i % 6);
      fs::create_directories(dir.file(folder));
      const std::string path = folder + "/f" + std::to_string(i);
      writeFile(dir.file(path), sources[path] = randomBytes(size, i));
    }
    tool.ok({"add", archive, dir.file("src")});
    tool.ok({"commit", archive});
    std::vector<std::string> arguments{"rm", archive, "src/d5"};
    std::erase_if(sources, [&](const auto& entry) {
      const bool inD5 = entry.first.starts_with("src/d5/");
      if (!inD5 && random() % 3 == 0) {
        arguments.push_back(entry.first);
        return true;
      }
      return inD5;
    });
    tool.ok(arguments);
    save("template");
    const auto start = std::chrono::steady_clock::now();
    tool.ok({"cleanup", archive});
    cleanupTime = std::chrono::steady_clock::now() - start;
    save("reference");
  }

  // Copies the archive and its tree to `name`, or back from there to restore them.
  void save(const std::string& name, bool back = false) {
    for (const char* suffix : {"", ".toc"}) {
      const std::string copy = dir.file(name + suffix);
      fs::copy_file(back ? copy : archive + suffix, back ? archive + suffix : copy,
                    fs::copy_options::overwrite_existing);
    }
  }

  // The next command repairs the archive; then it must verify, read back, and end up as the
  // reference once cleaned up.
  void expectRepaired(const std::string& when) {
    tool.ok({"verify", archive});
    EXPECT_FALSE(fs::exists(archive + ".journal")) << when;
    const std::string out = dir.file("out");
    fs::remove_all(out);
    tool.ok({"extract", archive, "/", "-C", out});
    EXPECT_TRUE(filesBelow(out) == sources) << when;
    tool.ok({"cleanup", archive});
    expectReference(when);
  }
  void expectReference(const std::string& when) {
    EXPECT_TRUE(readFile(archive) == readFile(dir.file("reference"))) << when;
    EXPECT_TRUE(readFile(archive + ".toc") == readFile(dir.file("reference.toc"))) << when;
  }

  std::map<std::string, std::string> sources;
  std::chrono::steady_clock::duration cleanupTime{};
};

TEST_F(CleanupCrashTest, AKilledCleanupIsFinishedByTheNextCommand) {
  build(240, 256 * 1024);
  std::mt19937 random(9);
  const double window = 1.5 * Milliseconds(cleanupTime).count() + 5;
  int interrupted = 0;
  for (int round = 0; round < 40 && !HasFailure(); ++round) {
    save("template", true);
    killAfter(tool.start({"cleanup", archive}),
              std::uniform_real_distribution<double>(0, window)(random));
    interrupted += fs::exists(archive + ".journal") ? 1 : 0;
    expectRepaired("round " + std::to_string(round));
  }
  RecordProperty("RoundsKilledDuringTheMoves", interrupted);
}

// Opens the archive (which finishes an interrupted cleanup), checks it, and cleans it up.
void cleanUp(const std::string& path) {
  Archive::Options options;
  options.access = Archive::Access::write;
  Archive opened(path, options);
  EXPECT_TRUE(opened.verify().sound());
  opened.cleanup();
}

TEST_F(CleanupCrashTest, EveryFailingOperationOfTheMovesIsRepaired) {
  build(72, 70000);
  long operations = 0;
  long failAt = 0;
  Compactor::wrapFileObjects(
      [&](CIOParent* real) { return new FaultyFile(real, failAt, &operations); });
  save("template", true);
  cleanUp(archive);
  const long points = operations;
  ASSERT_GT(points, 10);
  for (long point = 1; point <= points && !HasFailure(); ++point) {
    save("template", true);
    operations = 0;
    failAt = point;
    EXPECT_THROW(cleanUp(archive), ArchiveError) << "failing operation " << point;
    failAt = 0;
    cleanUp(archive);  // the load finishes the compaction, the cleanup finds nothing more
    EXPECT_FALSE(fs::exists(archive + ".journal"));
    expectReference(std::to_string(point) + " of " + std::to_string(points));
  }
  Compactor::wrapFileObjects(nullptr);
}

}  // namespace
}  // namespace vesk::test
