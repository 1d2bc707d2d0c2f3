// Message texts from string tables, and the prompt that asks for a missing medium.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "MediaPrompt.h"
#include "StringTable.h"
#include "UtilityStrings.h"

namespace vesk {
namespace {

class FakeModuleTable : public StringTable {
 public:
  void* instance() const override { return const_cast<int*>(&module_); }

 private:
  int module_ = 0;
};

TEST(StringTableTest, ReadsEveryTableOfItsModuleAndNamesMissingIds) {
  FakeModuleTable table;
  const StringResource first[] = {{7, "seven"}, {3, "three"}};
  const StringResource second[] = {{9, "nine"}};
  StringTable::registerResources(table.instance(), first, 2);
  StringTable::registerResources(table.instance(), second, 1);
  EXPECT_EQ(table[3], StdString("three"));
  EXPECT_EQ(table[9], StdString("nine"));
  EXPECT_NE(table[8].view().find('8'), std::string_view::npos);

  StringTable::withdrawResources(table.instance(), first);
  EXPECT_EQ(table[9], StdString("nine"));
  EXPECT_NE(table[3], StdString("three"));
  StringTable::withdrawResources(table.instance(), second);

  EXPECT_EQ(utilityStrings(2).str(), "Cannot write to stream");
  EXPECT_EQ(utilityStrings(20).str(), "Cannot query stream size");
}

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
  EXPECT_EQ(askWith("\nwhat\nR", MediaPrompt::kRetryCancel, shown), MediaPrompt::kAnswerRetry);
  EXPECT_NE(shown.find("Missing File\nInsert HOLIDAY\n"), std::string::npos);
  EXPECT_EQ(askWith("  Cancel\n", MediaPrompt::kRetryCancel, shown), MediaPrompt::kAnswerCancel);
  EXPECT_EQ(askWith("", MediaPrompt::kRetryCancel, shown), MediaPrompt::kAnswerCancel);
  EXPECT_EQ(askWith("", MediaPrompt::kOk, shown), MediaPrompt::kAnswerOk);
}

}  // namespace
}  // namespace vesk
