// vesk-archive as people use an archiver: its conventions, updates, links and JSON output.
#include <chrono>

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include "ToolRunner.h"

namespace vesk::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class CommandLineTest : public ToolTest {
 protected:
  std::string src = dir.file("src");

  void write(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(src + "/" + path).parent_path());
    writeFile(src + "/" + path, bytes);
  }
  nlohmann::json json(const std::vector<std::string>& arguments, int status = 0) {
    return nlohmann::json::parse(tool.run(arguments, status).out);
  }
  static long lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }
};

TEST_F(CommandLineTest, VersionUnknownCommandsQuietHumanSizesCatFindAndExtractHere) {
  EXPECT_EQ(tool.ok({"--version"}).out, "vesk-archive 1.0.0\n");
  EXPECT_THAT(tool.run({"bogus", archive}, 1).err, HasSubstr("unknown command 'bogus'"));
  write("big.bin", randomBytes(3000, 1));
  write("sub/notes.txt", "n");
  EXPECT_EQ(tool.ok({"add", "-q", archive, src}).out, "");
  EXPECT_EQ(tool.ok({"-q", "commit", archive}).out, "");
  EXPECT_THAT(tool.ok({"ls", "-lhR", archive}).out, HasSubstr("2.9 KiB  stored"));
  EXPECT_THAT(tool.ok({"ls", "-l", archive, "src"}).out, HasSubstr(" 3000  stored"));
  EXPECT_EQ(tool.ok({"find", "-R", archive, "*.TXT"}).out, "src/sub/notes.txt\n");
  EXPECT_EQ(tool.ok({"cat", archive, "src/sub/notes.txt", "src/sub/notes.txt"}).out, "nn");

  tool.here = dir.file("here");
  fs::create_directories(tool.here);
  tool.ok({"extract", archive, "src/sub"});
  EXPECT_EQ(readFile(tool.here + "/sub/notes.txt"), "n");
  writeFile(tool.here + "/sub/notes.txt", "mine");
  EXPECT_THAT(tool.run({"extract", archive, "src/sub"}, 1).err, HasSubstr("exists, left as it"));
  tool.ok({"extract", "--keep", archive, "src/sub"});
  EXPECT_EQ(readFile(tool.here + "/sub/notes.txt"), "mine");
  tool.ok({"extract", "--overwrite", archive, "src/sub"});
  EXPECT_EQ(readFile(tool.here + "/sub/notes.txt"), "n");
}

TEST_F(CommandLineTest, NamesAreShownEscapedAndCaseClashesToldAsSuch) {
  const std::string evil = "evil\x1b[2J\nf 0 stored fake";
  write("a/Read.me", "1");
  write("a/" + evil, "2");
  write("b/READ.ME", "3");
  tool.ok({"add", archive, src + "/a/Read.me", src + "/a/" + evil});
  EXPECT_THAT(tool.ok({"add", archive, src + "/b/READ.ME"}).out,
              HasSubstr("'READ.ME' differs only in letter case from 'Read.me'"));
  EXPECT_THAT(tool.ok({"add", "-u", archive, src + "/a/Read.me", src + "/b/READ.ME"}).out,
              HasSubstr("added 0 pending files to " + archive + ", 2 unchanged"));
  const std::string listed = tool.ok({"ls", archive}).out;
  EXPECT_THAT(listed, HasSubstr("evil\\x1b[2J\\nf 0 stored fake\n"));
  EXPECT_EQ(lines(listed), 3);
}

TEST_F(CommandLineTest, AddUpdateStoresOnlyWhatChangedAndExcludeLeavesOut) {
  for (int file = 0; file < 5; ++file) {
    write("f" + std::to_string(file) + ".txt", "v1-" + std::to_string(file));
  }
  write("scratch.tmp", "x");
  const std::vector<std::string> add = {"add", "-u", "--exclude", "*.TMP", archive, src};
  EXPECT_THAT(tool.ok(add).out, HasSubstr("added 5 pending files"));
  EXPECT_THAT(tool.ok({"commit", archive}).out, HasSubstr("stored 5 of 5"));
  EXPECT_THAT(tool.ok(add).out, HasSubstr("added 0 pending files to " + archive + ", 5 unchanged"));
  EXPECT_THAT(tool.ok({"commit", archive}).out, HasSubstr("nothing to commit"));

  const auto size = fs::file_size(archive);
  write("f1.txt", "a longer text");  // size
  const std::string f2 = src + "/f2.txt";
  fs::last_write_time(f2, fs::last_write_time(f2) - std::chrono::hours(1));  // time alone
  EXPECT_THAT(tool.ok(add).out, HasSubstr("added 2 pending files"));
  EXPECT_THAT(tool.ok({"commit", archive}).out, HasSubstr("stored 2 of 2"));
  EXPECT_EQ(fs::file_size(archive), size + 8 + 13 + 8 + 4);
  const std::string listed = tool.ok({"ls", "-R", archive}).out;
  EXPECT_THAT(listed, Not(HasSubstr("(1)")));
  EXPECT_THAT(listed, Not(HasSubstr("scratch")));
  EXPECT_EQ(tool.ok({"cat", archive, "src/f1.txt", "src/f2.txt"}).out, "a longer textv1-2");
}

TEST_F(CommandLineTest, LinksAreFollowedWithoutLoopsOrPassedOverInOneLine) {
  write("real/data.txt", "data");
  fs::create_symlink("real/data.txt", src + "/file-link");
  fs::create_directory_symlink("real", src + "/folder-link");
  fs::create_directory_symlink("..", src + "/real/up");
  fs::create_symlink("nowhere", src + "/broken");
  const ToolResult followed = tool.ok({"add", archive, src});
  EXPECT_EQ(lines(followed.err), 1);
  EXPECT_THAT(followed.err, HasSubstr("passed over 3 symbolic links"));  // broken, up twice
  tool.ok({"commit", archive});
  EXPECT_EQ(tool.ok({"cat", archive, "src/file-link", "src/folder-link/data.txt"}).out, "datadata");

  const std::string other = dir.file("other.vesk");
  const ToolResult passed = tool.ok({"add", "--no-follow", other, src});
  EXPECT_EQ(lines(passed.err), 1);
  EXPECT_THAT(passed.err, HasSubstr("passed over 4 symbolic links"));
  EXPECT_EQ(tool.ok({"ls", "-R", other}).out, "src/\nsrc/real/\nsrc/real/data.txt\n");
}

TEST_F(CommandLineTest, JsonOutputOfLsFindInfoAndVerifyParsesBack) {
  write("big.bin", randomBytes(3000, 1));
  write("sub/notes.txt", "n");
  tool.ok({"add", archive, src});
  tool.ok({"commit", archive});
  tool.ok({"add", archive, src + "/sub/notes.txt", "--to", "later"});

  const nlohmann::json listed = json({"ls", "--json", "-R", archive});
  EXPECT_EQ(listed["archive"], archive);
  ASSERT_EQ(listed["entries"].size(), 6u);
  EXPECT_EQ(listed["entries"][0]["path"], "later");
  EXPECT_EQ(listed["entries"][0]["type"], "directory");
  EXPECT_EQ(listed["entries"][1]["type"], "pending");
  EXPECT_EQ(listed["entries"][5]["path"], "src/big.bin");
  EXPECT_EQ(listed["entries"][5]["size"], 3000);
  EXPECT_EQ(listed["entries"][5]["type"], "file");
  EXPECT_FALSE(listed["entries"][5]["readOnly"]);

  const nlohmann::json found = json({"find", "--json", "-R", archive, "*.txt"});
  EXPECT_EQ(found["entries"].size(), 2u);
  EXPECT_EQ(json({"find", "--json", archive, "*.none"}, 1)["entries"].size(), 0u);

  const nlohmann::json info = json({"info", "--json", archive});
  EXPECT_EQ(info["storedFiles"], 2);
  EXPECT_EQ(info["pendingFiles"], 1);
  EXPECT_EQ(info["storedBytes"], 3001);
  EXPECT_EQ(info["streamBytes"], fs::file_size(archive));
  EXPECT_TRUE(info["sound"]);

  const nlohmann::json verified = json({"verify", "--json", archive});
  EXPECT_TRUE(verified["sound"]);
  EXPECT_EQ(verified["liveFiles"], 2);
  EXPECT_TRUE(verified["problems"].empty());
}

}  // namespace
}  // namespace vesk::test
