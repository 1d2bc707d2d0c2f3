// vesk-archive cleanup compacts in place under a journal. Killed at any moment, or failing
// at any operation of its file, it must leave an archive that the next command repairs:
// verify passes, every surviving file reads back unchanged, and finishing the cleanup gives
// the same stream and tree as a cleanup that was never interrupted.
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "Archive.h"
#include "ArchiveCheck.h"
#include "BinStream.h"
#include "Compactor.h"
#include "FaultyFile.h"
#include "TestSupport.h"
#include "ToolError.h"
#include "ToolRunner.h"

namespace vesk::test {
namespace {

namespace fs = std::filesystem;

class CleanupCrashTest : public ::testing::Test {
 protected:
  // An archive of `files` files of mixed sizes, many tiny ones and every twelfth large, with
  // a random third deleted and one folder removed whole; kept as the template of every
  // round. The result of an uninterrupted cleanup is kept as the reference.
  void build(unsigned files, std::size_t large) {
    std::mt19937 random(5);
    for (unsigned i = 0; i < files; ++i) {
      const std::size_t size = i % 12 == 0 ? large + random() % (4 * large) : random() % 300;
      const std::string path = "d" + std::to_string(i % 6) + "/f" + std::to_string(i);
      fs::create_directories(dir.file("src/d" + std::to_string(i % 6)));
      writeFile(dir.file("src/" + path), sources[path] = randomBytes(size, i));
    }
    tool.ok({"add", "--to", "/", archive, dir.file("src/d0"), dir.file("src/d1"),
             dir.file("src/d2"), dir.file("src/d3"), dir.file("src/d4"), dir.file("src/d5")});
    tool.ok({"commit", archive});
    std::vector<std::string> arguments{"rm", archive, "d5"};
    std::erase_if(sources, [&](const auto& entry) {
      const bool gone = entry.first.rfind("d5/", 0) == 0 || random() % 3 == 0;
      if (gone && entry.first.rfind("d5/", 0) != 0) {
        arguments.push_back(entry.first);
      }
      return gone;
    });
    tool.ok(arguments);
    save("template");
    const auto start = std::chrono::steady_clock::now();
    tool.ok({"cleanup", archive});
    cleanupTime = std::chrono::steady_clock::now() - start;
    save("reference");
  }

  // Copies the archive and its tree to `name`, or back from there.
  void save(const std::string& name, bool back = false) {
    for (const char* suffix : {"", ".toc"}) {
      const std::string copy = dir.file(name + suffix);
      fs::copy_file(back ? copy : archive + suffix, back ? archive + suffix : copy,
                    fs::copy_options::overwrite_existing);
    }
  }
  void restore(const std::string& name) { save(name, true); }

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

  TempDir dir;
  ToolRunner tool{dir.path().string()};
  std::string archive = dir.file("a.vesk");
  std::map<std::string, std::string> sources;
  std::chrono::steady_clock::duration cleanupTime{};
};

TEST_F(CleanupCrashTest, AKilledCleanupIsFinishedByTheNextCommand) {
  build(240, 256 * 1024);
  std::mt19937 random(9);
  const double window = 1.5 * std::chrono::duration<double, std::milli>(cleanupTime).count() + 5;
  int interrupted = 0;
  for (int round = 0; round < 40 && !HasFailure(); ++round) {
    restore("template");
    const pid_t cleanup = tool.start({"cleanup", archive});
    const double delay = std::uniform_real_distribution<double>(0, window)(random);
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(delay));
    ::kill(cleanup, SIGKILL);
    ToolRunner::wait(cleanup);
    interrupted += fs::exists(archive + ".journal") ? 1 : 0;
    expectRepaired("round " + std::to_string(round));
  }
  RecordProperty("RoundsKilledDuringTheMoves", interrupted);
}

// Opens the archive (which finishes an interrupted cleanup), checks it, and cleans it up.
void cleanUp(const std::string& path) {
  Archive opened(path);
  opened.load(false);
  const std::unique_ptr<BinStream> stream = opened.openForReading();
  const ArchiveCheck check(opened.root(), *stream);
  EXPECT_TRUE(check.sound());
  Compactor(opened, check).run(false);
}

TEST_F(CleanupCrashTest, EveryFailingOperationOfTheMovesIsRepaired) {
  build(72, 70000);
  long operations = 0;
  long failAt = 0;
  Compactor::wrapFileObjects(
      [&](CIOParent* real) { return new FaultyFile(real, failAt, &operations); });
  restore("template");
  cleanUp(archive);
  const long points = operations;
  ASSERT_GT(points, 10);
  for (failAt = 1; failAt <= points && !HasFailure(); ++failAt) {
    restore("template");
    operations = 0;
    EXPECT_THROW(cleanUp(archive), ToolError) << "failing operation " << failAt;
    const long failed = failAt;
    failAt = 0;
    cleanUp(archive);  // the load finishes the compaction, the cleanup finds nothing more
    EXPECT_FALSE(fs::exists(archive + ".journal"));
    expectReference(std::to_string(failed) + " of " + std::to_string(points));
    failAt = failed;
  }
  Compactor::wrapFileObjects(nullptr);
  RecordProperty("FailurePoints", static_cast<int>(points));
}

}  // namespace
}  // namespace vesk::test
