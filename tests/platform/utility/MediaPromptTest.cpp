#include "MediaPrompt.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace vesk {
namespace {

// Answers `input` to a prompt and gives back what the prompt showed.
int askWith(const std::string& input, unsigned style, std::string& shown) {
  std::FILE* in = ::fmemopen(const_cast<char*>(input.data()), input.size(), "r");
  char* output = nullptr;
  std::size_t outputSize = 0;
  std::FILE* out = ::open_memstream(&output, &outputSize);
  const int answer = MediaPrompt::ask(in, out, "Insert HOLIDAY", "Missing File", style);
  std::fclose(in);
  std::fclose(out);
  shown.assign(output, outputSize);
  std::free(output);
  return answer;
}

TEST(MediaPromptTest, TerminalDialogue) {
  std::string shown;
  EXPECT_EQ(askWith("r\n", MediaPrompt::kRetryCancel, shown), MediaPrompt::kAnswerRetry);
  EXPECT_NE(shown.find("Missing File\nInsert HOLIDAY\n"), std::string::npos);
  EXPECT_EQ(askWith("  Cancel\n", MediaPrompt::kRetryCancel, shown), MediaPrompt::kAnswerCancel);
  EXPECT_EQ(askWith("\nwhat\nR", MediaPrompt::kRetryCancel, shown), MediaPrompt::kAnswerRetry);
  EXPECT_EQ(askWith("", MediaPrompt::kRetryCancel, shown), MediaPrompt::kAnswerCancel);
  EXPECT_EQ(askWith("", MediaPrompt::kOk, shown), MediaPrompt::kAnswerOk);
}

}  // namespace
}  // namespace vesk
