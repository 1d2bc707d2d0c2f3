// vesk::Archive after what stops a process part way. Covers Compactor and CleanupJournal (a
// cleanup failed at one operation of its moves, damaged journals, kills during cleanup),
// Committer (a full disk, kills during commit) and Archive's open, which finishes what was
// interrupted. Kills fall at random moments in a window that spans the work whatever the
// machine's speed.
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <random>
#include <thread>

#include "ArchiveFixture.h"
#include "ByteOrder.h"
#include "DirectoryNode.h"
#include "FaultyFile.h"
#include "FileDescriptor.h"

namespace vesk::test {
namespace {

using Milliseconds = std::chrono::duration<double, std::milli>;

class InterruptedCleanupTest : public ArchiveFixture {
 protected:
  // A with every third file removed ("template"), some of its blocks shared by hard links,
  // cleaned up once ("reference") and once failing two thirds into the operations of its
  // moves.
  void SetUp() override {
    makeSources(53, 100000, 3);
    linkSources(7);
    commitAndThin(3);
    copyArchive("template");
    Compactor::wrapFileObjects(
        [this](CIOParent* real) { return new FaultyFile(real, failAt_, &operations_); });
    Archive(archive, writing()).cleanup();
    copyArchive("reference");
    copyArchive("template", true);
    points_ = operations_;
    failAt_ = points_ * 2 / 3;
    operations_ = 0;
    EXPECT_THROW(Archive(archive, writing()).cleanup(), ArchiveError);
    Compactor::wrapFileObjects(nullptr);
    ASSERT_TRUE(fs::exists(journal));
  }
  void TearDown() override { Compactor::wrapFileObjects(nullptr); }

  const std::string journal = archive + ".journal";
  long failAt_ = 0;
  long operations_ = 0;
  long points_ = 0;  // operations of an uninterrupted cleanup
};

// Whichever operation of a cleanup fails, a cleanup afterwards (after the open has finished
// the interrupted one) gives the stream and tree of a cleanup that never failed.
TEST_F(InterruptedCleanupTest, WhereverItFailsTheNextCleanupEndsAsAnUninterruptedOne) {
  Compactor::wrapFileObjects(
      [this](CIOParent* real) { return new FaultyFile(real, failAt_, &operations_); });
  ASSERT_GT(points_, 10);
  for (long point = 1; point <= points_ && !HasFailure(); ++point) {
    copyArchive("template", true);
    fs::remove(journal);
    failAt_ = point;
    operations_ = 0;
    EXPECT_THROW(Archive(archive, writing()).cleanup(), ArchiveError) << point;
    failAt_ = 0;
    Archive(archive, writing()).cleanup();
    EXPECT_FALSE(fs::exists(journal)) << point;
    EXPECT_TRUE(readFile(archive) == readFile(dir.file("reference"))) << point;
    EXPECT_TRUE(readFile(archive + ".toc") == readFile(dir.file("reference.toc"))) << point;
  }
}

// A damaged journal is kept unless the stream shows that nothing was moved yet.
TEST_F(InterruptedCleanupTest, TheNextOpenFinishesItUnlessItIsADryRunOrTheJournalIsDamaged) {
  copyArchive("interrupted");
  const std::string whole = readFile(journal);
  // Where the two slots lie: behind the begin record, each page-aligned.
  const auto page = [](std::uint64_t bytes) { return (bytes + 4095) / 4096 * 4096; };
  const std::uint64_t slots = page(20 + loadLittle64(whole.data() + 8));
  const std::uint64_t slotSize = page(32 + loadLittle64(whole.data() + 36));
  const std::tuple<const char*, std::vector<std::uint64_t>, bool> cases[] = {
      {"interrupted", {20}, true},  // begin record
      {"interrupted", {slots + 5, slots + slotSize + 5}, true},
      {"template", {20}, false}};
  for (const auto& [stream, spoil, kept] : cases) {
    copyArchive(stream, true);
    std::string bytes = whole;
    for (const std::uint64_t at : spoil) {
      bytes[at] = static_cast<char>(~bytes[at]);
    }
    writeFile(journal, bytes);
    const std::string when = std::string(stream) + " " + std::to_string(spoil.size());
    if (!kept) {
      expectIntact(when);
      EXPECT_FALSE(fs::exists(journal)) << when;
      continue;
    }
    try {
      Archive reader(archive);
      ADD_FAILURE() << when << ": opened";
    } catch (const ArchiveError& error) {
      EXPECT_EQ(error.kind(), ArchiveError::Kind::damaged) << when << ": " << error.what();
    }
    EXPECT_TRUE(readFile(journal) == bytes) << when;
  }

  copyArchive("interrupted", true);
  writeFile(journal, whole);
  const auto interrupted = snapshot();
  Archive::Options dryRun;
  dryRun.finishCleanup = false;
  EXPECT_THROW(Archive(archive, dryRun), ArchiveError);
  EXPECT_TRUE(snapshot() == interrupted);
  std::vector<std::string> notes;
  Archive::Options reading;
  reading.notice = [&](const std::string& note) { notes.push_back(note); };
  Archive(archive, reading);
  EXPECT_EQ(notes.size(), 1u);
  EXPECT_FALSE(fs::exists(journal));
  expectIntact("finished");
  EXPECT_TRUE(readFile(archive) == readFile(dir.file("reference")));
  EXPECT_TRUE(readFile(archive + ".toc") == readFile(dir.file("reference.toc")));
}

TEST_F(InterruptedCleanupTest, AUserWhoMayNotWriteIsToldTheCauseAndTheFix) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "switching to another user needs root";
  }
  fs::permissions(dir.path(), fs::perms(0755));
  const auto interrupted = snapshot();
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  const pid_t child = inChild([&] {
    std::string text = "cannot switch to uid 65534";
    if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
      try {
        Archive reader(archive);
        text = "opened";
      } catch (const ArchiveError& error) {
        text = error.what();
      }
    }
    [[maybe_unused]] const ssize_t written = ::write(pipe[1], text.data(), text.size());
  });
  ::close(pipe[1]);
  const std::string text = readFile("/proc/self/fd/" + std::to_string(pipe[0]));
  ::close(pipe[0]);
  exitStatus(child);
  for (const char* part : {"interrupted", "Permission denied", "a user who may write"}) {
    EXPECT_NE(text.find(part), std::string::npos) << text;
  }
  EXPECT_TRUE(snapshot() == interrupted);
}

// A on a 2 MiB tmpfs. Its files are many and small, so that the tree is far larger than what
// a torn block or a cleanup gives back, and the stream's buffer holds several whole blocks.
class FullDiskTest : public ArchiveFixture {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) {
      GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    fs::create_directory(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=2m") != 0) {
      GTEST_SKIP() << "cannot mount a tmpfs: " << std::strerror(errno);
    }
    mounted = true;
    archive = disk + "/a.vesk";
  }
  void TearDown() override {
    if (mounted) {
      ::umount2(disk.c_str(), MNT_DETACH);
    }
  }

  std::string disk = dir.file("disk");
  bool mounted = false;
};

TEST_F(FullDiskTest, ACommitThatRunsOutOfSpaceKeepsWhatItStored) {
  makeSources(1400, 3000, 4);
  linkSources(100);
  Committer::Options once;  // no checkpoint before the disk is full
  once.saveEveryFiles = 100000;
  once.saveEveryTime = std::chrono::hours(1);
  for (const Committer::Options& options : {Committer::Options(), once}) {
    const std::string when = std::to_string(options.saveEveryFiles) + " files a checkpoint";
    for (const auto& entry : fs::directory_iterator(disk)) {
      fs::remove(entry.path());
    }
    try {
      Archive writer(archive, writing());
      writer.add({dir.file("src")});
      CommitMeter meter;
      writer.commit(meter, options);
      ADD_FAILURE() << when << ": the commit did not fill the disk";
    } catch (const ArchiveError& error) {
      EXPECT_NE(std::string(error.what()).find("No space left on device"), std::string::npos)
          << when << ": " << error.what();
    }
    const unsigned stored = expectIntact(when);
    EXPECT_GT(stored, 0u) << when;
    Archive reader(archive);
    EXPECT_EQ(reader.root().numberOfUncommittedFiles(true), 1500 - stored) << when;
    EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(archive)), reader.verify().liveEnd()) << when;
  }
  // A save that finds no room leaves the saved tree as it was, and nothing beside it.
  const auto before = snapshot();
  Archive writer(archive, writing());
  writer.add({dir.file("src")}, "again");
  EXPECT_THROW(writer.save(), ArchiveError);
  EXPECT_TRUE(snapshot() == before);
  EXPECT_EQ(std::distance(fs::directory_iterator(disk), fs::directory_iterator()), 2);
}

TEST_F(FullDiskTest, ACleanupOnANearlyFullDiskWorksOrMovesNothing) {
  makeSources(570, 1000, 5);
  linkSources(30);
  commitAndThin(50);
  copyArchive("template");
  unsigned worked = 0;
  unsigned refused = 0;
  for (std::int64_t left = 0; left <= 256 << 10; left += 16 << 10) {
    copyArchive("template", true);
    const auto before = snapshot();
    struct statvfs space {};
    ASSERT_EQ(::statvfs(disk.c_str(), &space), 0);
    const auto free = static_cast<std::int64_t>(space.f_bavail * space.f_frsize);
    const std::string filler = disk + "/filler";  // leaves `left` bytes free
    ASSERT_TRUE(FileDescriptor::open(filler.c_str(), O_RDWR | O_CREAT)
                    .reserve(0, std::max<std::int64_t>(free - left, 1)));
    try {
      Archive(archive, writing()).cleanup();
      ++worked;
    } catch (const ArchiveError& error) {
      ++refused;
      EXPECT_TRUE(snapshot() == before) << left << ": " << error.what();
    }
    fs::remove(filler);
    expectIntact(std::to_string(left) + " bytes left");
  }
  EXPECT_GT(worked, 0u);
  EXPECT_GT(refused, 0u);
}

class KilledProcessTest : public ArchiveFixture {
 protected:
  // Runs `work` on A, opened for writing, in a child process killed after `delay`.
  void killDuring(const std::function<void(Archive&)>& work, Milliseconds delay) {
    const pid_t child = inChild([&] {
      Archive opened(archive, writing());
      work(opened);
    });
    std::this_thread::sleep_for(delay);
    ::kill(child, SIGKILL);
    exitStatus(child);
  }

  std::mt19937 random{11};
};

TEST_F(KilledProcessTest, AKilledCommitLeavesWhatItListsAsStoredReadable) {
  makeSources(360, 32 * 1024, 7);
  linkSources(40);
  {
    Archive writer(archive, writing());
    writer.add({dir.file("src")});
    writer.save();
  }
  const auto commit = [](Archive& opened) {
    CommitMeter meter;
    Committer::Options options;
    options.saveEveryFiles = 2;
    options.saveShare = 1;
    opened.commit(meter, options);
  };
  unsigned stored = 0;
  double window = 5;  // milliseconds, widening
  for (unsigned round = 0; round < 25 && stored < 400; ++round, window *= 1.25) {
    killDuring(commit, Milliseconds(std::uniform_real_distribution(0.3 * window, window)(random)));
    const unsigned now = expectIntact("round " + std::to_string(round));
    EXPECT_GE(now, stored) << "round " << round;
    stored = now;
  }
  {
    Archive writer(archive, writing());
    commit(writer);
  }
  EXPECT_EQ(expectIntact("at the end"), 400u);
  // The temporary trees of killed saves went with the next writer.
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    EXPECT_FALSE(entry.path().filename().string().starts_with("a.vesk.toc.")) << entry.path();
  }
}

TEST_F(KilledProcessTest, AKilledCleanupIsFinishedByTheNextOpen) {
  makeSources(134, 20000, 8);
  linkSources(16);
  commitAndThin(3);
  copyArchive("template");
  const auto start = std::chrono::steady_clock::now();
  Archive(archive, writing()).cleanup();
  const Milliseconds took = std::chrono::steady_clock::now() - start;
  copyArchive("reference");
  for (unsigned round = 0; round < 25 && !HasFailure(); ++round) {
    copyArchive("template", true);
    killDuring([](Archive& opened) { opened.cleanup(); },
               took * std::uniform_real_distribution(0.0, 1.2)(random));
    const std::string when = "round " + std::to_string(round);
    expectIntact(when);
    Archive(archive, writing()).cleanup();
    EXPECT_TRUE(readFile(archive) == readFile(dir.file("reference"))) << when;
    EXPECT_TRUE(readFile(archive + ".toc") == readFile(dir.file("reference.toc"))) << when;
  }
}

}  // namespace
}  // namespace vesk::test
