// The progress line of vesk-archive's commit.
#include <string>
#include <tuple>
#include <vector>

#include "CommitProgress.h"
#include "Format.h"
#include "TestSupport.h"

namespace vesk::test {
namespace {

TEST(CommitProgressTest, TheBarTellsFilesBytesAndTheCurrentFile) {
  std::ostringstream out;
  CommitProgress progress(out, true, 120);
  progress.begin(4, 4096);
  progress.startFile("docs/a.txt", 2048);
  progress.fileDone(true, "");
  progress.startFile("docs/b.txt", 1024);
  const std::string line = progress.barLine(120);
  EXPECT_EQ(line.rfind("[##########----------] 50% 1/4 files 2.0 KiB/4.0 KiB ", 0), 0u) << line;
  EXPECT_NE(line.find("docs/b.txt"), std::string::npos);
  EXPECT_EQ(progress.barLine(30).size(), 29u);
}

TEST(CommitProgressTest, FilesNotStoredNeverCountAsStoredAndAResizeRedrawsToFit) {
  std::ostringstream out;
  CommitProgress progress(out, true, 120);
  progress.begin(2, 100);
  for (const char* path : {"a", "b"}) {
    progress.startFile(path, 50);
    progress.fileProgress(25);  // a large file moves the bar while it is copied...
    EXPECT_NE(progress.barLine(120).find("] 25% "), std::string::npos);
    progress.fileDone(false, "unreadable");  // ...and drops out when it is not stored
  }
  EXPECT_EQ(progress.barLine(120).rfind("[--------------------] 0% 2/2 files 0 B/100 B ", 0), 0u);
  progress.resize(50);
  const std::string shown = out.str();
  const std::string last = shown.substr(shown.rfind('\r') + 1);
  EXPECT_EQ(last.rfind("[--------------------] 0% 2/2 files 0 B/100 B ", 0), 0u);
  EXPECT_EQ(last.size(), 49 + 3u);  // cut to fit, then the end of the line cleared
}

// A change too small to show in KiB or MiB is told in exact bytes; the time still to go.
TEST(CommitProgressTest, SizesChangesAndDurationsAsShown) {
  EXPECT_EQ(Format::change(113876992, 113830912), "113876992 B -> 113830912 B");
  EXPECT_EQ(Format::change(3 << 20, 1 << 20), "3.0 MiB -> 1.0 MiB");
  EXPECT_EQ(Format::duration(7), "0:07");
  EXPECT_EQ(Format::duration(750), "12:30");
  EXPECT_EQ(Format::duration(3723), "1:02:03");
}

}  // namespace
}  // namespace vesk::test
