// A commit that meets a missing source asks for it on the terminal. (The demo answers through
// the replaceable prompt, with a volume table of its own: see EndToEndTest.)
#include <unistd.h>

#include <gmock/gmock.h>

#include "ToolRunner.h"

namespace vesk::test {
namespace {

using ::testing::ContainsRegex;
using ::testing::HasSubstr;

class MissingMediumTest : public ToolTest {};

// The terminal's answers: Retry finds the file put back; Cancel leaves a file pending and
// goes on; Ctrl-C stops the commit with status 130, keeping what was stored. Ctrl-C ends the
// prompt's wait by itself, also once the commit has more threads than one: a big file stored
// first has it write behind.
TEST_F(MissingMediumTest, TheTerminalIsAskedForMissingFilesAndRetryCancelAndCtrlCAreHeeded) {
  constexpr std::size_t kBig = 9u << 20;
  writeFile(dir.file("0.bin"), std::string(kBig, 'b'));
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
    writeFile(dir.file(name), std::string("picture ") + name);
  }
  tool.ok(
      {"add", archive, dir.file("0.bin"), dir.file("a.jpg"), dir.file("b.jpg"), dir.file("c.jpg")});
  fs::rename(dir.file("a.jpg"), dir.file("away.jpg"));
  fs::remove(dir.file("b.jpg"));
  fs::remove(dir.file("c.jpg"));

  const std::vector<std::string> commit = {"commit", archive};
  // On a terminal of its own, so that it asks there.
  TerminalProgram program(
      [&] { ::execv(ToolRunner::binary(), ToolRunner::commandLine(commit).data()); });
  // a.jpg is put back before Retry; for c.jpg Ctrl-C alone, once the prompt reads.
  const std::pair<const char*, const char*> answers[] = {
      {"a.jpg", "r\n"}, {"b.jpg", "c\n"}, {"c.jpg", "\003"}};
  for (const auto& [name, answer] : answers) {
    ASSERT_TRUE(program.waitFor("Cannot find file '" + std::string(name) + "'")) << program.shown();
    ASSERT_TRUE(program.waitFor("[r]etry or [c]ancel?")) << program.shown();
    ASSERT_TRUE(program.waitUntilReading());
    if (answer[0] == 'r') {
      fs::rename(dir.file("away.jpg"), dir.file("a.jpg"));
    }
    program.type(answer);
  }
  EXPECT_EQ(program.finish(), 130) << program.shown();
  EXPECT_THAT(program.shown(), HasSubstr("stored 2 of 4 files"));
  EXPECT_THAT(program.shown(), HasSubstr("not stored, still pending: b.jpg"));

  const std::string listed = tool.ok({"ls", "-l", archive}).out;
  EXPECT_THAT(listed, ContainsRegex("f +13  stored .* a.jpg"));
  EXPECT_THAT(listed, ContainsRegex("p +13  pending .* b.jpg"));
  EXPECT_THAT(listed, ContainsRegex("p +13  pending .* c.jpg"));
  tool.ok({"verify", archive});
  EXPECT_EQ(fs::file_size(archive), 8 + kBig + 8 + 13u);  // no prefix of a skipped file
}

}  // namespace
}  // namespace vesk::test
