// vesk-archive commit killed at random moments: every time the archive must still open and
// verify, and every file it lists as stored must read back equal to its source.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <sstream>
#include <thread>

#include "TestSupport.h"
#include "ToolRunner.h"

namespace vesk::test {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kFiles = 300;
constexpr unsigned kRounds = 15;

class CrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::mt19937 random(7);
    for (unsigned i = 0; i < kFiles; ++i) {
      const std::string folder = dir.file("src/d" + std::to_string(i % 7));
      fs::create_directories(folder);
      writeFile(folder + "/f" + std::to_string(i), randomBytes(random() % (64 * 1024 + 1), i));
    }
    tool.ok({"add", archive, dir.file("src")});
  }

  // Opens, verifies and extracts the archive; answers how many files are stored.
  unsigned checkArchive(unsigned round) {
    const ToolResult listed = tool.ok({"ls", "-R", "-l", archive});
    tool.ok({"verify", archive});
    const std::string out = dir.file("out" + std::to_string(round));
    tool.ok({"extract", archive, "/", "-C", out});
    const std::map<std::string, std::string> files = filesBelow(out);
    for (const auto& [path, bytes] : files) {
      EXPECT_EQ(bytes, readFile(dir.file(path))) << path;
    }
    // Every file listed as stored came back.
    unsigned listedStored = 0;
    std::istringstream lines(listed.out);
    for (std::string line; std::getline(lines, line);) {
      listedStored += line.rfind("f ", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(listedStored, files.size());
    fs::remove_all(out);
    return static_cast<unsigned>(files.size());
  }

  TempDir dir;
  ToolRunner tool{dir.path().string()};
  std::string archive = dir.file("a.vesk");
};

// The moment of the kill is drawn from a window that widens each round, so that the kills
// fall from the start of the process to late in the copy whatever the machine's speed.
TEST_F(CrashTest, AKilledCommitLeavesAnArchiveThatVerifiesAndReadsBack) {
  std::mt19937 random(11);
  double window = 10;  // milliseconds
  unsigned stored = 0;
  for (unsigned round = 0; round < kRounds && stored < kFiles; ++round, window *= 1.3) {
    const pid_t commit = tool.start({"commit", "--save-every", "8", archive});
    const double delay = std::uniform_real_distribution<double>(0.3 * window, window)(random);
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(delay));
    ::kill(commit, SIGKILL);
    ToolRunner::wait(commit);
    const unsigned now = checkArchive(round);
    EXPECT_GE(now, stored) << "round " << round;
    stored = now;
  }
  tool.ok({"commit", archive});
  EXPECT_EQ(checkArchive(kRounds), kFiles);
}

}  // namespace
}  // namespace vesk::test
