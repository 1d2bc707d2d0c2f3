// Message texts from string tables, the causes that exceptions carry, and the prompt that
// asks for a missing medium.
// Covers: StringTable, utilityStrings, VeskException, MediaPrompt.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

#include "MediaPrompt.h"
#include "MemoryStream.h"
#include "StringTable.h"
#include "TestSupport.h"
#include "UtilityStrings.h"
#include "VeskException.h"

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

// A standard handler catches the library's errors.
static_assert(std::is_base_of_v<std::exception, VeskException>);
static_assert(std::is_nothrow_copy_constructible_v<VeskException>);

TEST(VeskExceptionTest, CarriesTheErrorAndThePathOfAFailedSystemCall) {
  test::TempDir folder;
  const std::string missing = folder.file("missing");
  MemoryStream stream;
  try {
    stream.copyFile(missing.c_str(), 1, 0, 64);
    ADD_FAILURE() << "copied from a missing file";
  } catch (const VeskException& error) {
    EXPECT_EQ(error.error(), ENOENT);
    EXPECT_EQ(error.path(), missing);
    EXPECT_EQ(error.message(), "Cannot open '" + missing + "': " + std::strerror(ENOENT));
  }
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

// Runs the default answerer in a child whose controlling terminal is a new pseudo-terminal,
// on which "r" is typed, with standard input the terminal or /dev/null. Answers the child's
// answer and gives back what the terminal showed.
int askInChild(bool inputIsTerminal, std::string& shown) {
  test::TerminalProgram child([&] {
    if (!inputIsTerminal) {
      ::dup2(::open("/dev/null", O_RDONLY), STDIN_FILENO);
    }
    ::_exit(MediaPrompt::askOnTerminal(nullptr, "Insert HOLIDAY", "Missing File",
                                       MediaPrompt::kRetryCancel));
  });
  child.type("r\n");
  const int answer = child.finish();
  shown = child.shown();
  return answer;
}

TEST(MediaPromptTest, DefaultAsksOnlyAnInteractiveProcess) {
  std::string shown;
  EXPECT_EQ(askInChild(true, shown), MediaPrompt::kAnswerRetry);
  EXPECT_NE(shown.find("Insert HOLIDAY"), std::string::npos);
  EXPECT_EQ(askInChild(false, shown), MediaPrompt::kAnswerCancel);
  EXPECT_EQ(shown.find("Insert HOLIDAY"), std::string::npos) << shown;
}

}  // namespace
}  // namespace vesk
