// A commit that meets a missing source asks for it on the terminal. (The demo answers through
// the replaceable prompt, with a volume table of its own: see EndToEndTest.)
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <unistd.h>

#include <gmock/gmock.h>

#include "ToolRunner.h"

namespace vesk::test {
namespace {

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
    if (process_ < 0) {
      throw std::runtime_error("cannot start vesk-archive on a terminal");
    }
  }
  ~TerminalProgram() { ::close(terminal_); }

  // Reads until `text` has been shown behind what the last wait found; answers false when the
  // program closed the terminal or showed nothing for a minute first.
  bool waitFor(const std::string& text) {
    std::size_t at = 0;
    while ((at = shown_.find(text, found_)) == std::string::npos) {
      pollfd ready{terminal_, POLLIN, 0};
      char buffer[4096];
      const ssize_t got =
          ::poll(&ready, 1, 60000) > 0 ? ::read(terminal_, buffer, sizeof buffer) : 0;
      if (got <= 0) {
        return false;
      }
      shown_.append(buffer, static_cast<std::size_t>(got));
    }
    found_ = at + text.size();
    return true;
  }
  void type(const std::string& text) {
    ASSERT_EQ(::write(terminal_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  // Waits for the program to end; kills it after a minute of silence (harmless once it ended).
  int finish() {
    waitFor("\x01never shown");
    ::kill(process_, SIGKILL);
    return ToolRunner::wait(process_);
  }
  const std::string& shown() const { return shown_; }

 private:
  int terminal_ = -1;
  pid_t process_ = -1;
  std::string shown_;
  std::size_t found_ = 0;
};

class MissingMediumTest : public ToolTest {};

// The terminal's answers: Retry finds the file put back; Cancel leaves a file pending and
// goes on; Ctrl-C stops the commit with status 130, keeping what was stored.
TEST_F(MissingMediumTest, TheTerminalIsAskedForMissingFilesAndRetryCancelAndCtrlCAreHeeded) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
    writeFile(dir.file(name), std::string("picture ") + name);
  }
  tool.ok({"add", archive, dir.file("a.jpg"), dir.file("b.jpg"), dir.file("c.jpg")});
  fs::rename(dir.file("a.jpg"), dir.file("away.jpg"));
  fs::remove(dir.file("b.jpg"));
  fs::remove(dir.file("c.jpg"));

  TerminalProgram program({"commit", archive});
  // a.jpg is put back before Retry; for c.jpg Ctrl-C, and should it come before the prompt
  // reads, the prompt reads the "c" instead.
  const std::pair<const char*, const char*> answers[] = {
      {"a.jpg", "r\n"}, {"b.jpg", "c\n"}, {"c.jpg", "\003c\n"}};
  for (const auto& [name, answer] : answers) {
    ASSERT_TRUE(program.waitFor("Cannot find file '" + std::string(name) + "'")) << program.shown();
    ASSERT_TRUE(program.waitFor("[r]etry or [c]ancel?")) << program.shown();
    if (answer[0] == 'r') {
      fs::rename(dir.file("away.jpg"), dir.file("a.jpg"));
    }
    program.type(answer);
  }
  EXPECT_EQ(program.finish(), 130) << program.shown();
  EXPECT_THAT(program.shown(), HasSubstr("stored 1 of 3 files"));
  EXPECT_THAT(program.shown(), HasSubstr("not stored, still pending: b.jpg"));

  const std::string listed = tool.ok({"ls", "-l", archive}).out;
  EXPECT_THAT(listed, ContainsRegex("f +13  stored .* a.jpg"));
  EXPECT_THAT(listed, ContainsRegex("p +13  pending .* b.jpg"));
  EXPECT_THAT(listed, ContainsRegex("p +13  pending .* c.jpg"));
  tool.ok({"verify", archive});
  EXPECT_EQ(fs::file_size(archive), 8 + 13u);  // the skipped files left no prefix behind
}

}  // namespace
}  // namespace vesk::test
