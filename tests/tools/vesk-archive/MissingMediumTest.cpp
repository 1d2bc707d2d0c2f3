// A commit that meets a missing source asks for it: on the terminal through the binary, and
// through the replaceable prompt and volume table in-process.
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>

#include <gmock/gmock.h>
#include "ArchiveTool.h"
#include "MediaPrompt.h"

#include "TestSupport.h"
#include "ToolRunner.h"

namespace vesk::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;

// vesk-archive on a pseudo terminal of its own, so that it asks there.
class TerminalProgram {
 public:
  explicit TerminalProgram(const std::vector<std::string>& arguments) {
    process_ = ::forkpty(&terminal_, nullptr, nullptr, nullptr);
    if (process_ == 0) {
      ::execv(ToolRunner::binary(), ToolRunner::commandLine(arguments).data());
      ::_exit(127);
    }
  }
  ~TerminalProgram() { ::close(terminal_); }

  // Reads until `text` has been shown behind what the last wait found (or the program
  // ended); answers whether it was.
  bool waitFor(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::size_t at = 0;
    while ((at = shown_.find(text, found_)) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline || !readSome()) {
        return false;
      }
    }
    found_ = at + text.size();
    return true;
  }
  void type(const std::string& text) {
    ASSERT_EQ(::write(terminal_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  // Waits for the program to end; one that has not ended within a minute is killed.
  int finish() {
    waitFor("\x01never shown");
    if (!ended_) {
      ::kill(process_, SIGKILL);
    }
    return ToolRunner::wait(process_);
  }
  const std::string& shown() const { return shown_; }

 private:
  bool readSome() {
    pollfd ready{terminal_, POLLIN, 0};
    if (::poll(&ready, 1, 1000) <= 0) {
      return true;
    }
    char buffer[4096];
    const ssize_t got = ::read(terminal_, buffer, sizeof buffer);
    if (got <= 0) {
      ended_ = true;  // the program closed the terminal
      return false;
    }
    shown_.append(buffer, static_cast<std::size_t>(got));
    return true;
  }

  int terminal_ = -1;
  pid_t process_ = -1;
  std::string shown_;
  std::size_t found_ = 0;
  bool ended_ = false;
};

class MissingMediumTest : public ::testing::Test {
 protected:
  int tool(const std::vector<std::string>& arguments) {
    out.str("");
    err.str("");
    return ArchiveTool(out, err, false, 80).run(arguments);
  }

  TempDir dir;
  ToolRunner runner{dir.path().string()};
  std::string archive = dir.file("a.vesk");
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(MissingMediumTest, TheTerminalIsAskedRetryFindsTheFileAndCancelLeavesItPending) {
  writeFile(dir.file("a.jpg"), "picture");
  writeFile(dir.file("b.jpg"), "other");
  runner.ok({"add", archive, dir.file("a.jpg"), dir.file("b.jpg")});
  fs::rename(dir.file("a.jpg"), dir.file("away.jpg"));
  fs::remove(dir.file("b.jpg"));

  TerminalProgram program({"commit", archive});
  ASSERT_TRUE(program.waitFor("[r]etry or [c]ancel?")) << program.shown();
  EXPECT_THAT(program.shown(), HasSubstr("Cannot find file 'a.jpg'"));
  fs::rename(dir.file("away.jpg"), dir.file("a.jpg"));
  program.type("r\n");
  ASSERT_TRUE(program.waitFor("[r]etry or [c]ancel?")) << program.shown();
  EXPECT_THAT(program.shown(), HasSubstr("Cannot find file 'b.jpg'"));
  program.type("c\n");
  EXPECT_EQ(program.finish(), 1) << program.shown();
  EXPECT_THAT(program.shown(), HasSubstr("stored 1 of 2 files"));
  EXPECT_THAT(program.shown(), HasSubstr("not stored, still pending: b.jpg"));

  EXPECT_THAT(runner.run({"ls", "-l", archive}).out, HasSubstr("pending"));
  runner.ok({"verify", archive});
  EXPECT_EQ(fs::file_size(archive), 8 + 7u);  // the skipped file left no prefix behind
  runner.ok({"extract", archive, "a.jpg", "-C", dir.file("o")});
  EXPECT_EQ(readFile(dir.file("o/a.jpg")), "picture");
}

TEST_F(MissingMediumTest, CtrlCAtThePromptStopsTheCommitAndKeepsWhatWasStored) {
  fs::create_directories(dir.file("src"));
  for (const char* name : {"a.txt", "b.jpg", "c.txt"}) {
    writeFile(dir.file(std::string("src/") + name), name);
  }
  runner.ok({"add", archive, dir.file("src")});
  fs::remove(dir.file("src/b.jpg"));

  TerminalProgram program({"commit", archive});
  ASSERT_TRUE(program.waitFor("[r]etry or [c]ancel?")) << program.shown();
  // Ctrl-C; should it come before the prompt reads, the prompt reads the "c" instead.
  program.type(
      "\x03"
      "c\n");
  EXPECT_EQ(program.finish(), 130) << program.shown();

  const std::string listed = runner.run({"ls", "-l", archive, "src"}).out;
  EXPECT_THAT(listed, ContainsRegex("f +5  stored .* a.txt"));
  EXPECT_THAT(listed, ContainsRegex("p +5  pending .* b.jpg"));
  EXPECT_THAT(listed, ContainsRegex("p +5  pending .* c.txt"));
  runner.ok({"verify", archive});
}

TEST_F(MissingMediumTest, AMediumMountedElsewhereIsFoundThroughThePrompt) {
  fs::create_directories(dir.file("reader1/DCIM"));
  writeFile(dir.file("reader1/DCIM/a.jpg"), "first photo");
  ScopedVolumes volumes({MountedVolume{"CARD", dir.file("reader1"), "/"}});
  ASSERT_EQ(tool({"add", archive, dir.file("reader1/DCIM")}), 0) << err.str();

  // The card comes out, and goes into another reader when the prompt asks for it.
  volumes.set({});
  std::string asked;
  const ScopedAnswerer answerer([&](void*, const char* text, const char*, unsigned) {
    asked = text;
    fs::rename(dir.file("reader1"), dir.file("reader2"));
    volumes.set({MountedVolume{"CARD", dir.file("reader2"), "/"}});
    return MediaPrompt::kAnswerRetry;
  });
  EXPECT_EQ(tool({"commit", archive}), 0) << err.str();
  EXPECT_THAT(asked, HasSubstr("Please insert the media 'CARD'"));

  ASSERT_EQ(tool({"extract", archive, "/", "-C", dir.file("out")}), 0) << err.str();
  EXPECT_EQ(readFile(dir.file("out/DCIM/a.jpg")), "first photo");
}

}  // namespace
}  // namespace vesk::test
