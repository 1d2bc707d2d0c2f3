// End-to-end tests of vesk-archive: the built binary run on real files as people use an
// archiver: its conventions, updates, links, JSON output, exit statuses, and archives made to
// harm the one who reads them.
#include <sys/stat.h>

#include <chrono>
#include <map>
#include <tuple>

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>
#include "BinVeskStream.h"
#include "DirectoryNode.h"
#include "FileNode.h"

#include "ToolRunner.h"

namespace vesk::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class EndToEndTest : public ToolTest {
 protected:
  // Writes a folder tree below src/, adds and commits it; answers its files by path below the
  // test folder.
  std::map<std::string, std::string> makeSources() {
    const std::map<std::string, std::string> files = {
        {"src/a.txt", "alpha\n"},
        {"src/empty.bin", ""},
        {"src/sub/b.bin", randomBytes(100000, 1)},
        {"src/sub/deeper/c.txt", "deep text\n"},
        {"src/gone/x.bin", randomBytes(5000, 2)},
        {"src/gone/y.bin", randomBytes(7000, 3)},
    };
    writeFiles(dir.path().string(), files);
    tool.ok({"add", archive, src});
    tool.ok({"commit", archive});
    return files;
  }

  // Runs `arguments`, expecting `status` and `text` in what it says on standard error (answered).
  std::string fails(const std::vector<std::string>& arguments, int status,
                    const std::string& text) {
    const ToolResult result = tool.run(arguments, status);
    EXPECT_THAT(result.err, HasSubstr(text)) << arguments.front();
    return result.err;
  }

  nlohmann::json json(const std::vector<std::string>& arguments, int status = 0) {
    return nlohmann::json::parse(tool.run(arguments, status).out);
  }
  static long lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

  // Writes a tree of files in the top directory, given by name, size and block position.
  void writeTree(const std::vector<std::tuple<const char*, unsigned, std::int64_t>>& entries) {
    DirectoryNode root("archive", nullptr);
    for (const auto& [name, size, at] : entries) {
      root.add(new FileNode(name, &root, size, TimeDate()))->file()->offsetPrefix(at);
    }
    BinVeskStream out((archive + ".toc").c_str(), OpenMode::write | OpenMode::truncate, false);
    root.output(out);
  }

  std::string src = dir.file("src");
};

TEST_F(EndToEndTest, QuietHumanSizesCatFindExtractHereAndJsonOutput) {
  EXPECT_EQ(tool.ok({"--version"}).out, "vesk-archive 1.0.0\n");
  EXPECT_THAT(tool.run({"bogus", archive}, 1).err, HasSubstr("unknown command 'bogus'"));
  writeFile(src + "/big.bin", randomBytes(3000, 1));
  writeFile(src + "/sub/notes.txt", "n");
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

TEST_F(EndToEndTest, NamesAreShownEscapedAndCaseClashesToldAsSuch) {
  const std::string evil = "evil\x1b[2J\nf 0 stored fake";
  writeFile(src + "/a/Read.me", "1");
  writeFile(src + "/a/" + evil, "2");
  writeFile(src + "/b/READ.ME", "3");
  tool.ok({"add", archive, src + "/a/Read.me", src + "/a/" + evil});
  EXPECT_THAT(tool.ok({"add", archive, src + "/b/READ.ME"}).out,
              HasSubstr("'READ.ME' differs only in letter case from 'Read.me'"));
  EXPECT_THAT(tool.ok({"add", "-u", archive, src + "/a/Read.me", src + "/b/READ.ME"}).out,
              HasSubstr("added 0 pending files to " + archive + ", 2 unchanged"));
  const std::string listed = tool.ok({"ls", archive}).out;
  EXPECT_THAT(listed, HasSubstr("evil\\x1b[2J\\nf 0 stored fake\n"));
  EXPECT_EQ(lines(listed), 3);
}

TEST_F(EndToEndTest, AddUpdateStoresOnlyWhatChangedAndExcludeLeavesOut) {
  for (int file = 0; file < 5; ++file) {
    writeFile(src + "/f" + std::to_string(file) + ".txt", "v1-" + std::to_string(file));
  }
  writeFile(src + "/scratch.tmp", "x");
  const std::vector<std::string> add = {"add", "-u", "--exclude", "*.TMP", archive, src};
  EXPECT_THAT(tool.ok(add).out, HasSubstr("added 5 pending files"));
  EXPECT_THAT(tool.ok({"commit", archive}).out, HasSubstr("stored 5 of 5"));
  EXPECT_THAT(tool.ok(add).out, HasSubstr("added 0 pending files to " + archive + ", 5 unchanged"));
  EXPECT_THAT(tool.ok({"commit", archive}).out, HasSubstr("nothing to commit"));

  const auto size = fs::file_size(archive);
  writeFile(src + "/f1.txt", "a longer text");  // size
  const std::string f2 = src + "/f2.txt";
  fs::last_write_time(f2, fs::last_write_time(f2) - std::chrono::hours(1));  // time alone
  EXPECT_THAT(tool.ok(add).out, HasSubstr("added 2 pending files"));
  EXPECT_THAT(tool.ok({"commit", archive}).out, HasSubstr("stored 2 of 2"));
  EXPECT_EQ(fs::file_size(archive), size + 8 + 13 + 8 + 4);
  const std::string listed = tool.ok({"ls", "-R", archive}).out;
  EXPECT_THAT(listed, Not(HasSubstr("(1)")));
  EXPECT_THAT(listed, Not(HasSubstr("scratch")));
  EXPECT_EQ(tool.ok({"cat", archive, "src/f1.txt", "src/f2.txt"}).out, "a longer textv1-2");

  // One run adds and stores; an entry passed over makes the status 1 once the commit is done.
  writeFile(src + "/f3.txt", "v3");
  ASSERT_EQ(::mkfifo((src + "/pipe").c_str(), 0600), 0);
  const ToolResult both =
      tool.run({"add", "-u", "--commit", "--exclude", "*.TMP", archive, src}, 1);
  EXPECT_THAT(both.out, HasSubstr("added 1 pending files"));
  EXPECT_THAT(both.out, HasSubstr("stored 1 of 1"));
  EXPECT_THAT(both.err, HasSubstr("passed over '" + src + "/pipe'"));
  EXPECT_EQ(tool.ok({"cat", archive, "src/f3.txt"}).out, "v3");
  EXPECT_THAT(tool.ok({"commit", archive}).out, HasSubstr("nothing to commit"));
}

TEST_F(EndToEndTest, LinksAreFollowedWithoutLoopsOrPassedOverInOneLine) {
  writeFile(src + "/real/data.txt", "data");
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

TEST_F(EndToEndTest, AddCommitListFindAddFromRemoveCleanupVerifyAndExtractAFolderTree) {
  const auto files = makeSources();
  EXPECT_THAT(tool.ok({"ls", "-R", archive, "./"}).out, HasSubstr("src/sub/deeper/c.txt\n"));
  EXPECT_EQ(tool.ok({"find", archive, "src/sub/*.BIN"}).out, "src/sub/b.bin\n");

  // Entries copied into another archive read back from there. Tree paths ignore case and
  // outer separators, and take '\\' for '/'.
  const std::string other = dir.file("other.vesk");
  tool.ok({"add-from", other, archive, "/SRC\\sub/", "--to", "imported"});
  tool.ok({"commit", other});
  tool.ok({"extract", other, "imported/sub", "-C", dir.file("imported")});
  EXPECT_EQ(readFile(dir.file("imported/sub/b.bin")), files.at("src/sub/b.bin"));
  EXPECT_EQ(readFile(dir.file("imported/sub/deeper/c.txt")), files.at("src/sub/deeper/c.txt"));

  tool.ok({"rm", archive, "src/gone", "src/a.txt"});
  EXPECT_THAT(tool.ok({"ls", "-R", archive}).out, Not(HasSubstr("gone")));
  fails({"ls", archive, "src/gone"}, 1, "no entry 'src/gone'");
  const std::string before = readFile(archive) + readFile(archive + ".toc");
  const std::string dryRun = tool.ok({"cleanup", "--dry-run", archive}).out;
  EXPECT_THAT(dryRun, HasSubstr("would remove src/gone/\n"));
  EXPECT_THAT(dryRun, HasSubstr("would give back 11.7 KiB"));
  EXPECT_TRUE(readFile(archive) + readFile(archive + ".toc") == before);  // nothing changed
  const ToolResult cleaned = tool.ok({"cleanup", archive});
  EXPECT_THAT(cleaned.out, HasSubstr("removed src/gone/\n"));
  EXPECT_THAT(cleaned.out, HasSubstr("removed src/a.txt\n"));
  // The deleted directory was saved without its files: their blocks are named by nothing.
  EXPECT_THAT(cleaned.out, HasSubstr("removed 2 blocks no entry named"));
  EXPECT_EQ(fs::file_size(archive), 8 + 0 + 8 + 100000 + 8 + 10u);

  // A journal torn before its begin record was whole belongs to no cleanup: the next command
  // throws it away, and nothing moves.
  const std::string compacted = readFile(archive);
  writeFile(archive + ".journal", std::string("\x40\0\0\0\1\0\0\0partial", 15));
  tool.ok({"verify", archive});
  EXPECT_FALSE(fs::exists(archive + ".journal"));
  EXPECT_EQ(readFile(archive), compacted);

  tool.ok({"extract", archive, "/", "-C", dir.file("out")});
  std::map<std::string, std::string> kept = files;
  std::erase_if(kept, [](const auto& file) {
    return file.first == "src/a.txt" || file.first.starts_with("src/gone/");
  });
  EXPECT_TRUE(filesBelow(dir.file("out")) == kept);
  EXPECT_EQ(fs::last_write_time(dir.file("out/src/sub/b.bin")),
            fs::last_write_time(dir.file("src/sub/b.bin")));
}

TEST_F(EndToEndTest, WrongUseEndsWithStatus1AndDamageWithStatus2AndAClearLine) {
  fails({"ls", archive}, 1, "a.vesk: no such archive");
  fails({"add", archive, dir.file("missing")}, 1, "missing");
  makeSources();
  fails({"rm", archive, "src/nothing"}, 1, "no entry 'src/nothing'");

  const std::string toc = readFile(archive + ".toc");
  writeFile(archive + ".toc", toc.substr(0, toc.size() / 2));
  const std::string listed = fails({"ls", archive}, 2, "a.vesk.toc: damaged table of contents");
  EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 1);
  writeFile(archive + ".toc", toc + "junk");
  fails({"info", archive}, 2, "a.vesk.toc");

  writeFile(archive + ".toc", toc);
  fs::resize_file(archive, fs::file_size(archive) / 2);
  fails({"verify", archive}, 2, "a.vesk");
  fails({"extract", archive, "/", "-C", dir.file("o")}, 2, "a.vesk");
  fails({"commit", archive}, 2, "a.vesk");
  fails({"cleanup", archive}, 2, "a.vesk");
  EXPECT_EQ(readFile(archive + ".toc"), toc);  // nothing rewrote the tree
}

TEST_F(EndToEndTest, ExtractNeverWritesOutsideTheTarget) {
  // Names no file system entry should get ("a/../../x" would land in the test folder), and
  // names that only look like them; clones of one block.
  writeFile(archive, block("ok"));
  const char* const refused[] = {"..", ".", "a/../../x", "/tmp", "a\\\\b"};  // '\\' shown doubled
  std::vector<std::tuple<const char*, unsigned, std::int64_t>> clones;
  for (const char* name : {"..", ".", "a/../../x", "/tmp", "a\\b", "..x", "x..", ".hidden"}) {
    clones.emplace_back(name, 2, 0);
  }
  writeTree(clones);
  fs::create_directories(dir.file("deep/target"));
  const std::string err =
      fails({"extract", archive, "/", "-C", dir.file("deep/target")}, 1, "refused to extract");
  for (const char* name : refused) {
    EXPECT_THAT(err, HasSubstr("refused to extract '" + std::string(name) + "'"));
  }
  EXPECT_FALSE(fs::exists(dir.file("x")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("deep")), fs::directory_iterator()), 1);
  EXPECT_TRUE(
      filesBelow(dir.file("deep/target")) ==
      (std::map<std::string, std::string>{{"..x", "ok"}, {"x..", "ok"}, {".hidden", "ok"}}));
}

TEST_F(EndToEndTest, VerifyAcceptsEmptyBlocksAndWasteButNotOverlapsOrWrongPrefixes) {
  // Blocks "abc" and "xy" with the prefix of a copy that failed between them, announcing 1000
  // bytes that are not there; an empty block; then a whole block nobody names and a prefix
  // torn by the end of the stream, left by an interrupted commit.
  writeFile(archive, block("abc") + prefix(1000) + block("xy") + block("") + block("zzz") +
                         prefix(7).substr(0, 3));
  writeTree({{"inside", 2, 5}, {"first", 3, 0}});
  fails({"verify", archive}, 2, "'inside' (block at 5) is not on the block chain");
  writeTree({{"first", 4, 0}});
  fails({"verify", archive}, 2, "'first' (block at 0) holds 3 bytes, the tree says 4");
  writeTree({{"first", 3, 0}, {"second", 2, 19}, {"empty", 0, 29}});
  tool.ok({"cleanup", "--dry-run", archive});  // cuts nothing, not even the torn tail
  const std::string verified = tool.ok({"verify", "-v", archive}).out;
  EXPECT_THAT(verified, HasSubstr("8 bytes at 11 are used by no file"));
  EXPECT_THAT(verified, HasSubstr("3 bytes at 48 are used by no file"));
  EXPECT_THAT(verified, HasSubstr("sound: 3 files, 51 B of data, 22 B used by no file"));
  EXPECT_THAT(tool.ok({"info", archive}).out, HasSubstr("reclaimable:  14 B"));

  writeFile(dir.file("next"), "next");
  tool.ok({"add", archive, dir.file("next")});
  EXPECT_THAT(tool.ok({"commit", archive}).out, HasSubstr("cut 14 B that an interrupted commit"));
  tool.ok({"cleanup", archive});  // a lone prefix is 8 bytes: too short to cut out, it stays
  EXPECT_EQ(fs::file_size(archive), 37 + 8 + 4u);
  tool.ok({"extract", archive, "/", "-C", dir.file("out")});
  EXPECT_TRUE(filesBelow(dir.file("out")) ==
              (std::map<std::string, std::string>{
                  {"first", "abc"}, {"second", "xy"}, {"empty", ""}, {"next", "next"}}));
}

TEST_F(EndToEndTest, VerifyShowsTheFirst20ProblemsAndHowManyThereAre) {
  writeFile(archive, block("abc"));
  std::vector<std::string> names;
  std::vector<std::tuple<const char*, unsigned, std::int64_t>> wrong;
  for (int file = 0; file < 25; ++file) {
    names.push_back("f" + std::to_string(100 + file));
  }
  for (const std::string& name : names) {
    wrong.emplace_back(name.c_str(), 4, 0);
  }
  writeTree(wrong);
  const std::string err = fails({"verify", archive}, 2, "damaged: 25 problems (the first 20");
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 21);
  EXPECT_THAT(err, HasSubstr("'f119' (block at 0) holds 3 bytes, the tree says 4"));
  EXPECT_THAT(err, Not(HasSubstr("f120")));
  const std::string all = tool.run({"verify", "-v", archive}, 2).err;
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 26);
  const auto info = tool.run({"info", archive}, 2);
  EXPECT_THAT(info.out, HasSubstr("stream:       11 B"));
  EXPECT_THAT(info.err, HasSubstr("the tree does not match the stream; run verify"));
}

// The demo commits with its memory card taken out; its prompt, put in place of the terminal,
// mounts the card in another reader and answers Retry. It compares what it restores.
TEST_F(EndToEndTest, DemoRunsWithoutTerminalOrInput) {
  const std::string shown = tool.ok({"demo", dir.file("demo")}).out;
  EXPECT_THAT(shown, HasSubstr("prompt: Cannot find file 'card-001.jpg'"));
  EXPECT_THAT(shown, HasSubstr("The demo went through every step."));
  EXPECT_TRUE(fs::exists(dir.file("demo/restored/card/DCIM/100CARD/card-040.jpg")));
}

}  // namespace
}  // namespace vesk::test
