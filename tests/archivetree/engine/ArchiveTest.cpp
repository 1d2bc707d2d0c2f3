// vesk::Archive in one process. Covers Archive with ArchiveLock (writers and readers, files
// that are no archive), TreeFile and TreeAdder (trees too deep to save), Committer and
// CommitStream (sources that changed after they were added) and Extractor (links, kept
// files, a damaged block).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "ArchiveFixture.h"
#include "CleanupJournal.h"
#include "DirectoryNode.h"
#include "DiskDriveAccessor.h"
#include "FileDescriptor.h"
#include "FileNode.h"
#include "UncommittedNode.h"

namespace vesk::test {
namespace {

class ArchiveTest : public ArchiveFixture {
 protected:
  static std::string dataOf(Archive& opened, const std::string& path) {
    std::ostringstream out;
    opened.extractFile(path, out);
    return out.str();
  }
  // Commits; answers why each entry left pending stayed so, by tree path.
  std::map<std::string, std::string> commit(Archive& opened) {
    std::map<std::string, std::string> reasons;
    for (const Committer::Skipped& skipped : opened.commit(meter).skipped) {
      reasons[skipped.path] = skipped.reason;
    }
    return reasons;
  }
  // Overwrites the file `path` at `position` with `bytes`.
  static void overwrite(const std::string& path, std::int64_t position, const std::string& bytes) {
    std::fstream(path, std::ios::in | std::ios::out | std::ios::binary).seekp(position) << bytes;
  }
  CommitMeter meter;
};

// A large file is told to the meter as it is copied, and the pieces make one block.
TEST_F(ArchiveTest, ALargeFileIsToldAsItIsCopied) {
  struct Recorder : CommitMeter {
    void fileProgress(std::uint64_t copied) override { told.push_back(copied); }
    std::vector<std::uint64_t> told;
  } recorder;
  std::string data(40 << 20, 'x');
  for (std::size_t at = 0; at < data.size(); at += 4096) {
    data[at] = static_cast<char>(at / 4096);
  }
  writeFile(dir.file("big/f"), data);
  Archive writer(archive, writing());
  writer.add({dir.file("big")});
  EXPECT_EQ(writer.commit(recorder).stored, 1u);
  EXPECT_EQ(recorder.told, (std::vector<std::uint64_t>{16 << 20, 32 << 20}));
  EXPECT_TRUE(dataOf(writer, "big/f") == data);
  EXPECT_TRUE(writer.verify().sound());
}

TEST_F(ArchiveTest, WhatIsCommittedReadsBackEveryWayAndSurvivesACleanup) {
  makeSources(12, 3000, 1);
  writeFile(dir.file("src/empty"), sources["src/empty"] = "");
  {
    Archive writer(archive, writing());
    EXPECT_EQ(writer.add({dir.file("src")}).added, 13u);
    EXPECT_TRUE(commit(writer).empty());
    EXPECT_TRUE(writer.verify().sound());
    EXPECT_TRUE(writer.extract({"/"}, dir.file("out")).failures.empty());
    EXPECT_TRUE(filesBelow(dir.file("out")) == sources);
    writer.extractFile("src/d0/f0",
                       FileDescriptor::open(dir.file("fd").c_str(), O_WRONLY | O_CREAT).get());
    EXPECT_TRUE(readFile(dir.file("fd")) == sources["src/d0/f0"]);
    EXPECT_TRUE(dataOf(writer, "src/d1/f1") == sources["src/d1/f1"]);
    EXPECT_EQ(writer.remove({"src/d2"}), std::vector<std::string>{"src/d2/"});
    std::erase_if(sources, [](const auto& source) { return source.first.starts_with("src/d2/"); });
    const Compactor::Result cleaned = writer.cleanup();
    EXPECT_EQ(cleaned.removed, std::vector<std::string>{"src/d2/"});
    EXPECT_LT(cleaned.bytesAfter, cleaned.bytesBefore);
    EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(archive)), cleaned.bytesAfter);
  }
  EXPECT_EQ(expectIntact("after the cleanup"), sources.size());
  const auto before = snapshot();
  Archive reader(archive);
  const std::function<void()> edits[] = {[&] { reader.add({dir.file("src")}); },
                                         [&] { reader.commit(meter); }, [&] { reader.cleanup(); },
                                         [&] { reader.save(); }};
  for (const auto& edit : edits) {
    EXPECT_THROW(edit(), ArchiveError);
  }
  EXPECT_TRUE(snapshot() == before);
}

// Each open runs in a child whose alarm ends an open that waits, and whose data may not grow
// by 256 MiB, so that one that reads a device or FIFO for good fails too.
TEST_F(ArchiveTest, AFifoOrDeviceInPlaceOfTheStreamOrTreeIsRefused) {
  Archive(archive, writing()).save();
  const std::string fifo = dir.file("fifo.vesk");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const std::tuple<const char*, std::string, std::function<void()>> cases[] = {
      {"a FIFO as A", fifo, [] {}},
      {"a FIFO as A.toc", archive, [&] { ::mkfifo((archive + ".toc").c_str(), 0644); }},
      {"A.toc a link to a device", archive,
       [&] { fs::create_symlink("/dev/urandom", archive + ".toc"); }}};
  for (const auto& [what, path, replace] : cases) {
    fs::remove(archive + ".toc");
    replace();
    for (const Archive::Options& options : {Archive::Options(), writing()}) {
      EXPECT_EQ(exitStatus(inChild([&] {
                  ::alarm(20);
                  std::ifstream status("/proc/self/status");
                  std::string line;
                  while (std::getline(status, line) && !line.starts_with("VmData:")) {
                  }
                  const rlim_t data = std::stoull(line.substr(7)) * 1024 + (rlim_t{256} << 20);
                  const rlimit limit{data, data};
                  ::setrlimit(RLIMIT_DATA, &limit);
                  try {
                    Archive opened(path, options);
                  } catch (const ArchiveError&) {
                    return;
                  }
                  throw std::logic_error("opened");
                })),
                0)
          << what;
    }
  }
}

// The lock belongs to the open file, so this process stands in for another. (That a reader
// or a writer beside a writer is refused as busy, naming it, ConcurrencyTest checks with
// the tool's --no-wait.)
TEST_F(ArchiveTest, ManyReadersOrOneWriterAndAWaiterIsToldWhoHoldsIt) {
  const std::string holder = "pid " + std::to_string(::getpid());
  Archive::Options reading;
  reading.wait.limit = std::chrono::milliseconds(0);
  Archive::Options writingNow = writing();
  writingNow.wait.limit = reading.wait.limit;
  Archive(archive, writing()).save();
  {
    Archive first(archive, reading);
    Archive second(archive, reading);
    try {
      Archive(archive, writingNow);
      ADD_FAILURE() << "a writer opened beside readers";
    } catch (const ArchiveError& error) {
      EXPECT_EQ(error.kind(), ArchiveError::Kind::busy) << error.what();
    }
  }
  auto writer = std::make_unique<Archive>(archive, writing());
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    writer.reset();
  });
  std::vector<std::string> told;
  Archive::Options patient;
  patient.wait.waiting = [&](const std::string& holders) { told.push_back(holders); };
  Archive(archive, patient);
  closer.join();
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told.front().find(holder), std::string::npos) << told.front();
}

TEST_F(ArchiveTest, NothingNestsDeeperThanASavedTreeMay) {
  const auto chain = [](unsigned levels) {
    std::string path = "d";
    while (--levels > 0) {
      path += "/d";
    }
    return path;
  };
  writeFile(dir.file("p/q/f"), "deep");
  const std::string other = dir.file("other.vesk");
  {
    Archive source(other, writing());
    source.add({dir.file("p")});
    source.commit(meter);
  }
  // Below `near`, p is as deep as a saved tree may go and q one level deeper.
  const std::string near = chain(DirectoryNode::kMaximumStoredDepth - 1);
  {
    Archive writer(archive, writing());
    EXPECT_THROW(writer.directory(chain(DirectoryNode::kMaximumStoredDepth + 1)), ArchiveError);
    for (const TreeAdder::Report& report :
         {writer.add({dir.file("p")}, near), writer.addFrom(other, {"p"}, near)}) {
      EXPECT_EQ(report.added, 0u);
      ASSERT_EQ(report.passedOver.size(), 1u);
      EXPECT_TRUE(report.passedOver[0].what.ends_with("p/q")) << report.passedOver[0].what;
    }
    writer.save();
    const auto saved = snapshot();
    writer.find(near + "/p")->directory()->addTree("by-hand");
    EXPECT_THROW(writer.save(), ArchiveError);
    EXPECT_TRUE(snapshot() == saved);
  }
  Archive reader(archive);
  EXPECT_NE(reader.find(near + "/p"), nullptr);
  EXPECT_EQ(reader.find(near + "/p/by-hand"), nullptr);
}

// Folders are read relative to their open parent down to some depth and by path below it:
// either way every entry is added as it is on disk, and no descriptor stays open.
TEST_F(ArchiveTest, DeepFoldersAreAddedWholeAndLeaveNoDescriptorOpen) {
  const auto openDescriptors = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
  };
  std::string path = dir.file("deep");
  std::string tree = "deep";
  for (int level = 0; level < 80; ++level, path += "/d", tree += "/d") {
    fs::create_directories(path);
    writeFile(path + "/f" + std::to_string(level),
              std::string(static_cast<std::size_t>(level), 'x'));
    writeFile(path + "/left.out", "");
  }
  path.resize(path.size() - 2);  // the deepest folder made
  tree.resize(tree.size() - 2);
  fs::create_symlink(dir.file("deep/f0"), path + "/link");
  fs::create_symlink(dir.file("deep/f0"), dir.file("deep/d/link"));
  Archive writer(archive, writing());
  TreeAdder::Options options;
  options.exclude = {"*.OUT"};
  // The system's volume table, which names are made with, stays open once read.
  DiskDriveAccessor().driveFileNameToVolumeFileName(dir.file("deep"), "||");
  const auto before = openDescriptors();
  const TreeAdder::Report report = writer.add({dir.file("deep")}, "/", options);
  EXPECT_EQ(openDescriptors(), before);
  EXPECT_EQ(report.added, 82u);
  EXPECT_EQ(report.excluded, 80u);
  EXPECT_TRUE(report.passedOver.empty());
  for (int level = 0; level < 80; level += 13) {
    std::string at = "deep";
    for (int down = 0; down < level; ++down) {
      at += "/d";
    }
    TreeNode* file = writer.find(at + "/f" + std::to_string(level));
    ASSERT_NE(file, nullptr) << level;
    EXPECT_EQ(file->file()->fileSize(), static_cast<unsigned>(level));
  }
  for (const std::string& link : {tree + "/link", std::string("deep/d/link")}) {
    TreeNode* file = writer.find(link);
    ASSERT_NE(file, nullptr) << link;
    EXPECT_TRUE(file->uncommittedFile()->uncommittedPathName().str().ends_with("/deep/f0"));
  }
  EXPECT_EQ(report.addedPaths.front(), tree + "/f79");
  EXPECT_EQ(report.addedPaths.back(), "deep/f0");

  // An adder called again after its target was renamed reports the paths the tree has now.
  DirectoryNode& target = *writer.root().addDirectory("x");
  TreeAdder adder(target, {});
  adder.addPath(dir.file("deep/f0"));
  target.name("y");
  adder.addPath(dir.file("deep/d/f1"));
  EXPECT_EQ(adder.report().addedPaths, (std::vector<std::string>{"x/f0", "y/f1"}));
}

// A file reached twice, through a hard link or a followed symbolic link, is stored once: its
// entries share the block, which stays while any of them is live. A copy is no such file.
TEST_F(ArchiveTest, AFileReachedTwiceIsStoredOnceAndItsBlockKeptWhileAnEntryLives) {
  const std::int64_t block = 8 + 70000;
  writeFile(dir.file("src/a"), sources["src/a"] = randomBytes(70000, 7));
  writeFile(dir.file("src/twin"), sources["src/twin"] = sources["src/a"]);
  fs::create_hard_link(dir.file("src/a"), dir.file("src/hard"));
  fs::create_symlink("a", dir.file("src/soft"));
  sources["src/hard"] = sources["src/soft"] = sources["src/a"];
  {
    Archive writer(archive, writing());
    writer.add({dir.file("src")});
    EXPECT_EQ(writer.commit(meter).stored, 4u);
    const auto at = [&](const char* path) { return writer.entry(path).file()->offsetPrefix(); };
    EXPECT_EQ(at("src/hard"), at("src/a"));
    EXPECT_EQ(at("src/soft"), at("src/a"));
    EXPECT_NE(at("src/twin"), at("src/a"));
  }
  EXPECT_EQ(fs::file_size(archive), 2 * block);
  EXPECT_EQ(expectIntact("stored"), 4u);
  for (const char* gone : {"src/a", "src/soft", "src/hard"}) {
    {
      Archive writer(archive, writing());
      writer.remove({gone});
      writer.save();
      writer.cleanup();
    }
    sources.erase(gone);
    expectIntact(std::string("without ") + gone);
  }
  EXPECT_EQ(fs::file_size(archive), block);

  // A file rewritten after it was stored, its size and time put back, is stored again.
  struct Rewriting : CommitMeter {
    std::function<void(const std::string&)> before;
    void startFile(const std::string& path, std::uint64_t) override { before(path); }
  } rewriting;
  rewriting.before = [&](const std::string& path) {
    if (path == "src/hard") {
      const auto time = fs::last_write_time(dir.file("src/a"));
      writeFile(dir.file("src/a"), sources["src/hard"] = randomBytes(70000, 8));
      fs::last_write_time(dir.file("src/a"), time);
    }
  };
  sources["src/a"] = sources["src/twin"];
  {
    Archive writer(archive, writing());
    TreeAdder::Options update;
    update.update = true;
    writer.add({dir.file("src")}, "/", update);
    EXPECT_EQ(writer.commit(rewriting).stored, 3u);
    const auto at = [&](const char* path) { return writer.entry(path).file()->offsetPrefix(); };
    EXPECT_NE(at("src/hard"), at("src/a"));
    EXPECT_EQ(at("src/soft"), at("src/hard"));
  }
  sources["src/soft"] = sources["src/hard"];
  EXPECT_EQ(expectIntact("rewritten"), 4u);
}

// A commit walks the stream's whole chain only when bytes lie behind the last block the tree
// names: it cuts them when tree and stream agree and refuses the archive when not. Otherwise
// it reads no more than that block's prefix and appends, leaving a block damaged further in
// for verify to report.
TEST_F(ArchiveTest, ACommitWalksTheChainOnlyWhenItHasBytesToCut) {
  makeSources(6, 3000, 4);
  Archive writer(archive, writing());
  writer.add({dir.file("src/d0")}, "src");
  commit(writer);
  const std::int64_t damaged = writer.entry("src/d0/f0").file()->offsetPrefix();
  const std::string prefix = readFile(archive).substr(static_cast<std::size_t>(damaged), 8);
  overwrite(archive, damaged, "\x7f\x7f\x7f\x7f");

  writer.add({dir.file("src/d1")}, "src");
  Committer::Report report = writer.commit(meter);
  EXPECT_EQ(report.stored, 2u);
  EXPECT_EQ(report.cut, 0);
  EXPECT_EQ(dataOf(writer, "src/d1/f4"), sources["src/d1/f4"]);
  const ArchiveCheck check = writer.verify();
  ASSERT_FALSE(check.sound());
  EXPECT_NE(check.problems().front().find("src/d0/f0"), std::string::npos);

  std::ofstream(archive, std::ios::app) << "torn!";
  const std::string before = readFile(archive);
  writer.add({dir.file("src/d2")}, "src");
  try {
    writer.commit(meter);
    ADD_FAILURE() << "a damaged archive was cut";
  } catch (const ArchiveError& error) {
    EXPECT_EQ(error.kind(), ArchiveError::Kind::damaged) << error.what();
  }
  EXPECT_TRUE(readFile(archive) == before);

  overwrite(archive, damaged, prefix);
  report = writer.commit(meter);
  EXPECT_EQ(report.cut, 5);
  EXPECT_EQ(report.stored, 2u);
  EXPECT_TRUE(writer.verify().sound());
  EXPECT_EQ(dataOf(writer, "src/d2/f5"), sources["src/d2/f5"]);

  const std::int64_t last = writer.entry("src/d2/f5").file()->offsetPrefix();
  overwrite(archive, last, "\x7f\x7f\x7f\x7f");  // the one prefix read: a walk finds it
  EXPECT_THROW(writer.commit(meter), ArchiveError);
}

TEST_F(ArchiveTest, SlicesAreFoundAgainAndCheckedAgainstTheirData) {
  for (const std::string name : {"changed", "first", "gone", "moved"}) {
    writeFile(dir.file("s/" + name), sources["s/" + name] = randomBytes(5000, name[0]));
  }
  const std::string other = dir.file("other.vesk");
  {
    Archive source(other, writing());
    source.add({dir.file("s")});
    source.commit(meter);
    source.remove({"s/first"});
    source.save();
  }
  Archive target(archive, writing());
  EXPECT_EQ(target.addFrom(other, {"s"}).added, 3u);
  for (const char* path : {"s/changed", "s/gone", "s/moved"}) {
    EXPECT_EQ(target.entry(path).file()->archiveCount(),
              CleanupJournal::crc(sources[path].data(), sources[path].size()));
  }
  {
    Archive source(other, writing());
    source.remove({"s/gone"});
    source.cleanup();  // "moved" moves down
    // Other bytes of the same size, the entry's time untouched.
    overwrite(other, source.entry("s/changed").file()->offset(), randomBytes(5000, 1000));
  }
  const auto reasons = commit(target);
  EXPECT_TRUE(dataOf(target, "s/moved") == sources["s/moved"]);
  EXPECT_EQ(reasons.size(), 2u);
  for (const auto& [path, reason] : {std::pair{"s/gone", "no longer"}, {"s/changed", "changed"}}) {
    EXPECT_NE(target.entry(path).uncommittedFile(), nullptr) << path;
    EXPECT_NE(reasons.contains(path) ? reasons.at(path).find(reason) : std::string::npos,
              std::string::npos)
        << path;
  }
}

TEST_F(ArchiveTest, DiskSourcesAreStoredAsTheyAreNowOrStayPendingWithTheReason) {
  const std::tuple<std::string, std::function<void(const std::string&)>, const char*> cases[] = {
      {"grown", [](const std::string& path) { std::ofstream(path, std::ios::app) << "more"; }, ""},
      {"shrunk", [](const std::string& path) { fs::resize_file(path, 100); }, ""},
      {"link",
       [&](const std::string& path) {
         fs::remove(path);
         fs::create_symlink(dir.file("src/grown"), path);
       },
       "symbolic link"},
      {"fifo",
       [](const std::string& path) {
         fs::remove(path);
         ::mkfifo(path.c_str(), 0644);
       },
       "no longer a regular file"}};
  for (const auto& [name, change, reason] : cases) {
    writeFile(dir.file("src/" + name), randomBytes(4000, name[0]));
  }
  Archive writer(archive, writing());
  writer.add({dir.file("src")});
  for (const auto& [name, change, reason] : cases) {
    change(dir.file("src/" + name));
  }
  ::alarm(60);  // ends the test should the commit wait on the FIFO
  const auto reasons = commit(writer);
  ::alarm(0);
  for (const auto& [name, change, reason] : cases) {
    const std::string path = "src/" + name;
    if (*reason == '\0') {
      const std::string now = readFile(dir.file(path));
      EXPECT_TRUE(dataOf(writer, path) == now) << path;
      EXPECT_EQ(writer.entry(path).file()->fileSize(), now.size()) << path;
    } else {
      EXPECT_NE(writer.entry(path).uncommittedFile(), nullptr) << path;
      EXPECT_NE(reasons.contains(path) ? reasons.at(path).find(reason) : std::string::npos,
                std::string::npos)
          << path;
    }
  }
}

TEST_F(ArchiveTest, ExtractionReplacesFilesWholeAndNeverWritesThroughALink) {
  for (const std::string name : {"a", "b", "c"}) {
    writeFile(dir.file("src/" + name), sources["src/" + name] = randomBytes(3000, name[0]));
  }
  {
    Archive writer(archive, writing());
    writer.add({dir.file("src")});
    writer.commit(meter);
  }
  const std::string out = dir.file("out/src/");
  fs::create_directories(out);
  writeFile(dir.file("outside"), "outside");
  fs::create_hard_link(dir.file("outside"), out + "a");
  fs::create_symlink(dir.file("outside"), out + "b");
  Archive reader(archive);
  Extractor::Report report = reader.extract({"/"}, dir.file("out"));
  EXPECT_EQ(report.files, 3u);
  EXPECT_TRUE(filesBelow(dir.file("out")) == sources);
  EXPECT_FALSE(fs::is_symlink(out + "b"));
  EXPECT_EQ(readFile(dir.file("outside")), "outside");

  writeFile(out + "a", "mine");
  fs::remove(out + "c");
  report = reader.extract({"/"}, dir.file("out"), {.keepExisting = true});
  EXPECT_EQ(report.kept, (std::vector<std::string>{"src/a", "src/b"}));
  EXPECT_EQ(report.files, 1u);
  EXPECT_EQ(readFile(out + "a"), "mine");

  overwrite(archive, reader.entry("src/c").file()->offsetPrefix(), prefix(3001));
  report = reader.extract({"/"}, dir.file("out"));
  EXPECT_EQ(report.files, 2u);
  ASSERT_EQ(report.failures.size(), 1u);
  EXPECT_EQ(report.failures[0].path, "src/c");
  EXPECT_TRUE(report.failures[0].damaged);
  EXPECT_TRUE(filesBelow(dir.file("out")) == sources);  // c as the last extraction left it
  std::set<std::string> names;                          // and no temporary file
  for (const auto& entry : fs::directory_iterator(out)) {
    names.insert(entry.path().filename());
  }
  EXPECT_EQ(names, (std::set<std::string>{"a", "b", "c"}));
}

}  // namespace
}  // namespace vesk::test
