// vesk-archive processes at once on one archive. One of them is slowed down by the preloaded
// SlowSync library, which holds it at its first sync (so under its lock, at work) until the
// test lets it go; only then are the others started, so that every overlap is certain. Each
// of them must wait for the holder and name it; afterwards the archive verifies, every file
// reads back, and what each command reported holds.
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <sstream>
#include <thread>

#include <gmock/gmock.h>

#include "ToolRunner.h"

namespace vesk::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsSubsetOf;
using Arguments = std::vector<std::string>;

// The lines of `text` that begin with `head`, without it.
std::set<std::string> linesAfter(const std::string& text, const std::string& head) {
  std::set<std::string> found;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with(head)) {
      found.insert(line.substr(head.size()));
    }
  }
  return found;
}

// The files a commit reported stored, expecting it to have stored every pending one.
unsigned storedBy(const ToolResult& commit) {
  unsigned stored = 0;
  unsigned files = 0;
  const std::size_t at = commit.out.rfind("stored ");
  const bool any = at != std::string::npos &&
                   std::sscanf(commit.out.c_str() + at, "stored %u of %u", &stored, &files) == 2;
  EXPECT_TRUE(any ? stored == files : commit.out == "nothing to commit\n") << commit.out;
  return stored;
}

class ConcurrencyTest : public ToolTest {
 protected:
  struct Running {
    pid_t pid;
    Arguments arguments;
    std::string out;
    std::string err;
  };

  // Writes `count` files of mixed sizes below the folder `name` and answers the folder; with
  // `live`, the archive is expected to hold them from now on.
  std::string writeFiles(const std::string& name, unsigned count, bool live = true) {
    for (unsigned i = 0; i < count; ++i) {
      const std::string path = name + "/f" + std::to_string(i);
      const std::string bytes = randomBytes(i % 4 == 0 ? 60000 + 997 * i : 311 * i % 5000, ++seed_);
      writeFile(dir.file(path), bytes);
      if (live) {
        alive[path] = bytes;
      }
    }
    return dir.file(name);
  }
  std::string forget(const std::string& path) {
    alive.erase(path);
    return path;
  }
  // The paths of the files expected in the archive that begin with `head`.
  std::set<std::string> aliveBelow(const std::string& head) const {
    std::set<std::string> found;
    for (const auto& file : alive) {
      if (file.first.starts_with(head)) {
        found.insert(file.first);
      }
    }
    return found;
  }

  // Commits the folder `name` and deletes every third file of it, so that a cleanup has runs
  // to give back and blocks to move, and adds the folder `name`p as pending; answers what was
  // deleted.
  std::set<std::string> prepare(const std::string& name) {
    tool.ok({"add", archive, writeFiles(name, 24)});
    tool.ok({"commit", archive});
    Arguments remove{"rm", archive};
    for (unsigned i = 0; i < 24; i += 3) {
      remove.push_back(forget(name + "/f" + std::to_string(i)));
    }
    const std::set<std::string> deleted = linesAfter(tool.ok(remove).out, "removed ");
    tool.ok({"add", archive, writeFiles(name + "p", 6)});
    return deleted;
  }

  Running start(const Arguments& arguments, const std::vector<std::string>& environment = {}) {
    const std::string output = dir.file("run" + std::to_string(++runs_));
    return {ToolRunner::start(arguments, output + ".out", output + ".err", environment), arguments,
            output + ".out", output + ".err"};
  }
  static ToolResult finish(const Running& running) {
    return {exitStatus(running.pid), readFile(running.out), readFile(running.err)};
  }

  // Polls until `done` holds or `running` ends (left to finish() to reap); answers whether
  // `done` holds. One that does neither within a minute is killed.
  static bool waitFor(const Running& running, const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done()) {
      siginfo_t info{};
      ::waitid(P_PID, static_cast<id_t>(running.pid), &info, WEXITED | WNOHANG | WNOWAIT);
      if (info.si_pid != 0) {
        return done();
      }
      if (std::chrono::steady_clock::now() > deadline) {
        ADD_FAILURE() << ::testing::PrintToString(running.arguments) << " is stuck";
        ::kill(running.pid, SIGKILL);
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

  // Starts `arguments` held at its first sync until release(), each sync after that `delay`
  // milliseconds late; answers once it holds the archive.
  Running startHeld(const Arguments& arguments, int delay) {
    const std::string marker = dir.file("marker" + std::to_string(runs_));
    writeFile(hold_, "");
    const char* asan = std::getenv("ASAN_OPTIONS");
    const Running held = start(
        arguments, {"LD_PRELOAD=" VESK_SLOW_SYNC_LIBRARY, "VESK_SLOW_SYNC_MARKER=" + marker,
                    "VESK_SLOW_SYNC_HOLD=" + hold_, "VESK_SLOW_SYNC_MS=" + std::to_string(delay),
                    "ASAN_OPTIONS=" + (asan != nullptr ? std::string(asan) + ":" : "") +
                        "verify_asan_link_order=0"});
    EXPECT_TRUE(waitFor(held, [&] { return fs::exists(marker); }))
        << ::testing::PrintToString(arguments) << " ended before it synced anything";
    return held;
  }
  void release() { fs::remove(hold_); }

  // Runs `held` held and starts each of `others` meanwhile: each must wait for it, naming it,
  // and every one must end well once `held` goes on. Answers the results, `held`'s first.
  std::vector<ToolResult> overlap(const Arguments& held, const std::vector<Arguments>& others,
                                  int delay) {
    std::vector<Running> running{startHeld(held, delay)};
    const std::string waited =
        "waiting for pid " + std::to_string(running[0].pid) + " (vesk-archive " + held.front();
    for (const Arguments& other : others) {
      running.push_back(start(other));
    }
    for (std::size_t i = 1; i < running.size(); ++i) {
      waitFor(running[i],
              [&] { return readFile(running[i].err).find(waited) != std::string::npos; });
    }
    release();
    std::vector<ToolResult> results;
    for (const Running& process : running) {
      results.push_back(finish(process));
      const std::string what = ::testing::PrintToString(process.arguments);
      EXPECT_EQ(results.back().status, 0) << what << ": " << results.back().err;
      if (results.size() > 1) {
        EXPECT_THAT(results.back().err, HasSubstr(waited)) << what;
      }
    }
    return results;
  }

  // After a round: the archive verifies and lists exactly the files expected; answers those
  // listed as pending. Once they are committed and what is deleted is cleaned up, it verifies
  // and reads back exactly the files expected.
  std::set<std::string> expectWhole() {
    tool.ok({"verify", archive});
    std::set<std::string> listed, pending;
    std::istringstream lines(tool.ok({"ls", "-R", "-l", archive}).out);
    for (std::string line; std::getline(lines, line);) {
      const std::string path = line.substr(line.rfind(' ') + 1);
      if (line.starts_with("p ")) {
        pending.insert(path);
      }
      if (!line.starts_with("d ")) {
        listed.insert(path);
      }
    }
    EXPECT_EQ(listed, aliveBelow(""));
    tool.ok({"commit", archive});
    tool.ok({"cleanup", archive});
    tool.ok({"verify", archive});
    const std::string out = dir.file("out" + std::to_string(++runs_));
    tool.ok({"extract", archive, "/", "-C", out});
    EXPECT_TRUE(filesBelow(out) == alive);
    return pending;
  }

  std::map<std::string, std::string> alive;  // the files the archive holds, by path
  std::string hold_ = dir.file("hold");
  unsigned runs_ = 0;
  unsigned seed_ = 0;
};

// Without the lock, any command started during a cleanup, a reader too, finished the cleanup
// from its journal beside it and damaged the archive. Now each waits, then works on the
// compacted archive.
TEST_F(ConcurrencyTest, EveryCommandStartedDuringACleanupWaitsForIt) {
  tool.ok({"add", archive, writeFiles("keep", 8)});
  for (int round = 0; round < 3 && !HasFailure(); ++round) {
    const std::string name = "c" + std::to_string(round);
    const std::set<std::string> deleted = prepare(name);
    const std::string target = forget(name + "/f1");
    const std::set<std::string> kept = aliveBelow("keep/");
    std::set<std::string> untouched = aliveBelow(name + "/");  // by every command of the round
    untouched.insert(kept.begin(), kept.end());
    const std::string out = dir.file("extracted" + std::to_string(round));
    const std::vector<ToolResult> results =
        overlap({"cleanup", archive},
                {{"ls", "-R", archive},
                 {"verify", archive},
                 {"extract", archive, "/", "-C", out},
                 {"info", archive},
                 {"find", archive, "keep/*"},
                 {"add", archive, writeFiles("n" + std::to_string(round), 4)},
                 {"rm", archive, target},
                 {"commit", archive},
                 {"cleanup", "--dry-run", archive},
                 {"cleanup", archive}},
                round * 4);
    EXPECT_EQ(linesAfter(results[0].out, "removed "), deleted);
    EXPECT_THAT(untouched, IsSubsetOf(linesAfter(results[1].out, "")));
    EXPECT_THAT(results[2].out, HasSubstr(": sound: "));
    const std::map<std::string, std::string> extracted = filesBelow(out);
    for (const auto& [path, bytes] : extracted) {
      EXPECT_TRUE(bytes == readFile(dir.file(path))) << path;
    }
    for (const std::string& path : untouched) {
      EXPECT_EQ(extracted.count(path), 1u) << path;
    }
    EXPECT_EQ(linesAfter(results[5].out, ""), kept);
    EXPECT_THAT(results[6].out, HasSubstr("added 4 pending files"));
    EXPECT_EQ(results[7].out, "removed " + target + "\n");
    const unsigned stored = storedBy(results[8]);  // with the added files or before them
    EXPECT_THAT(linesAfter(results[9].out, "would remove "), IsSubsetOf({target}));
    EXPECT_THAT(linesAfter(results[10].out, "removed "), IsSubsetOf({target}));
    EXPECT_EQ(expectWhole(), stored == 6 ? aliveBelow("n" + std::to_string(round) + "/")
                                         : std::set<std::string>());
  }
}

// Without the lock, two saves at once renamed a torn tree into place, and two commits or
// removals undid each other, or the second commit cut what the first was still writing.
TEST_F(ConcurrencyTest, TwoAddsTwoCommitsAndTwoRemovesAtOnceKeepBothResults) {
  for (int round = 0; round < 2 && !HasFailure(); ++round) {
    const std::string x = "x" + std::to_string(round);
    const std::string y = "y" + std::to_string(round);
    for (const ToolResult& added : overlap({"add", archive, writeFiles(x, 50)},
                                           {{"add", archive, writeFiles(y, 50)}}, round * 4)) {
      EXPECT_THAT(added.out, HasSubstr("added 50 pending files"));
    }
    const std::vector<ToolResult> commits =
        overlap({"commit", "--save-every", "10", archive}, {{"commit", archive}}, round * 4);
    EXPECT_EQ(storedBy(commits[0]) + storedBy(commits[1]), 100u);
    const std::vector<ToolResult> removals = overlap(
        {"rm", archive, forget(x + "/f0")}, {{"rm", archive, forget(y + "/f1")}}, round * 4);
    EXPECT_EQ(removals[0].out, "removed " + x + "/f0\n");
    EXPECT_EQ(removals[1].out, "removed " + y + "/f1\n");
    EXPECT_TRUE(expectWhole().empty());
  }
}

// Without the lock, a cleanup during a commit damaged the archive. Either one held, the other
// waits: the cleanup gives back only what was deleted, and what the commit stored stays.
TEST_F(ConcurrencyTest, ACommitAndACleanupAtOnceBothHoldInEitherOrder) {
  for (int round = 0; round < 4 && !HasFailure(); ++round) {
    const std::set<std::string> deleted = prepare("c" + std::to_string(round));
    const Arguments commit{"commit", "--save-every", "2", archive};
    const Arguments cleanup{"cleanup", archive};
    const bool commitFirst = round % 2 == 0;
    const std::vector<ToolResult> results =
        overlap(commitFirst ? commit : cleanup, {commitFirst ? cleanup : commit}, round * 3);
    EXPECT_EQ(storedBy(results[commitFirst ? 0 : 1]), 6u);
    EXPECT_EQ(linesAfter(results[commitFirst ? 1 : 0].out, "removed "), deleted);
    EXPECT_TRUE(expectWhole().empty());
  }
}

// With --no-wait, a command on an archive that another process holds ends at once with
// status 75, naming the holder, and changes nothing.
TEST_F(ConcurrencyTest, WithNoWaitACommandOnAHeldArchiveFailsAtOnceAndChangesNothing) {
  for (int round = 0; round < 3 && !HasFailure(); ++round) {
    const std::string name = "h" + std::to_string(round);
    prepare(name);
    const Arguments held = round == 0   ? Arguments{"rm", archive, forget(name + "/f1")}
                           : round == 1 ? Arguments{"commit", archive}
                                        : Arguments{"cleanup", archive};
    const Running holder = startHeld(held, 0);
    const std::string before =
        readFile(archive) + readFile(archive + ".toc") + readFile(archive + ".journal");
    for (Arguments other : std::vector<Arguments>{{"ls", archive},
                                                  {"verify", archive},
                                                  {"add", archive, writeFiles("z", 2, false)},
                                                  {"rm", archive, name + "/f2"},
                                                  {"commit", archive},
                                                  {"cleanup", archive}}) {
      other.insert(other.begin(), "--no-wait");
      const Running busy = start(other);
      waitFor(busy, [] { return false; });  // it ends while the holder is held
      const ToolResult result = finish(busy);
      EXPECT_EQ(result.status, 75) << other[1];
      EXPECT_THAT(result.err, HasSubstr("in use by pid " + std::to_string(holder.pid) +
                                        " (vesk-archive " + held.front()));
    }
    EXPECT_TRUE(readFile(archive) + readFile(archive + ".toc") + readFile(archive + ".journal") ==
                before);
    release();
    EXPECT_EQ(finish(holder).status, 0);
    EXPECT_EQ(expectWhole(), round == 1 ? std::set<std::string>() : aliveBelow(name + "p/"));
  }
}

}  // namespace
}  // namespace vesk::test
