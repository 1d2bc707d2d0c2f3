// End-to-end tests of vesk-archive: the built binary run on real files.
#include <map>
#include <tuple>

#include <gmock/gmock.h>
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
  // Writes a folder tree below src/ and answers its files by path below the test folder.
  std::map<std::string, std::string> makeSources() {
    const std::map<std::string, std::string> files = {
        {"src/a.txt", "alpha\n"},
        {"src/empty.bin", ""},
        {"src/sub/b.bin", randomBytes(100000, 1)},
        {"src/sub/deeper/c.txt", "deep text\n"},
        {"src/gone/x.bin", randomBytes(5000, 2)},
        {"src/gone/y.bin", randomBytes(7000, 3)},
    };
    for (const auto& [path, bytes] : files) {
      fs::create_directories(fs::path(dir.file(path)).parent_path());
      writeFile(dir.file(path), bytes);
    }
    tool.ok({"add", archive, dir.file("src")});
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

  // Writes a tree of files in the top directory, given by name, size and block position.
  void writeTree(const std::vector<std::tuple<const char*, unsigned, std::int64_t>>& entries) {
    DirectoryNode root("archive", nullptr);
    for (const auto& [name, size, at] : entries) {
      root.add(new FileNode(name, &root, size, TimeDate()))->file()->offsetPrefix(at);
    }
    BinVeskStream out((archive + ".toc").c_str(), OpenMode::write | OpenMode::truncate, false);
    root.output(out);
  }
};

TEST_F(EndToEndTest, AddCommitListFindAddFromRemoveCleanupVerifyAndExtractAFolderTree) {
  const auto files = makeSources();
  EXPECT_THAT(tool.ok({"ls", "-R", archive, "./"}).out, HasSubstr("src/sub/deeper/c.txt\n"));
  EXPECT_EQ(tool.ok({"find", archive, "src/sub/*.BIN"}).out, "src/sub/b.bin\n");

  // Entries copied into another archive read back from there, also one whose block a cleanup
  // of this archive moved after it was added. Tree paths ignore case and outer
  // separators, and take '\\' for '/'.
  const std::string other = dir.file("other.vesk");
  tool.ok({"add-from", other, archive, "/SRC\\sub/", "--to", "imported"});
  tool.ok({"commit", other});
  tool.ok({"extract", other, "imported/sub", "-C", dir.file("imported")});
  EXPECT_EQ(readFile(dir.file("imported/sub/b.bin")), files.at("src/sub/b.bin"));
  EXPECT_EQ(readFile(dir.file("imported/sub/deeper/c.txt")), files.at("src/sub/deeper/c.txt"));
  tool.ok({"add-from", other, archive, "src/sub/b.bin"});

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
  tool.ok({"commit", other});  // the slice is found again where the cleanup moved its block
  tool.ok({"extract", other, "b.bin", "-C", dir.file("moved")});
  EXPECT_EQ(readFile(dir.file("moved/b.bin")), files.at("src/sub/b.bin"));

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
  fails({"find", archive, "src/*.none"}, 1, "");
  fails({"frobnicate"}, 1, "");

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
