// vesk-archive mount: the archive as a read-only file system, held as a reader holds it.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <set>
#include <thread>

#include <gmock/gmock.h>

#include "ToolRunner.h"

namespace vesk::test {
namespace {

class MountTest : public ToolTest {
 protected:
  void TearDown() override {
    if (server_ > 0) {  // a test that failed half-way leaves nothing mounted
      std::system(("fusermount3 -u -z '" + mounted_ + "' 2>/dev/null").c_str());
      ::kill(server_, SIGTERM);
      exitStatus(server_);
    }
  }

  static bool mounted(const std::string& folder) {
    struct stat top {};
    struct stat above {};
    return ::stat(folder.c_str(), &top) == 0 && ::stat((folder + "/..").c_str(), &above) == 0 &&
           top.st_dev != above.st_dev;
  }

  // Mounts the archive in the foreground; false when this machine does not let us.
  bool mount() {
    fs::create_directories(mounted_);
    server_ = ToolRunner::start({"mount", "-f", archive, mounted_}, "/dev/null", dir.file("err"));
    for (int tries = 0; tries < 200 && !mounted(mounted_); ++tries) {
      if (::waitpid(server_, nullptr, WNOHANG) == server_) {
        server_ = 0;
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return mounted(mounted_);
  }

  // The relative paths below `folder`, folders ending in '/'.
  static std::set<std::string> listing(const std::string& folder) {
    std::set<std::string> paths;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
      paths.insert(fs::relative(entry.path(), folder).string() + (entry.is_directory() ? "/" : ""));
    }
    return paths;
  }

  std::string mounted_ = dir.file("mnt");
  pid_t server_ = 0;
};

TEST_F(MountTest, ShowsTheStoredTreeReadOnlyAndHoldsTheArchiveUntilUnmounted) {
  if (::access("/dev/fuse", R_OK | W_OK) != 0 ||
      std::system("command -v fusermount3 >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "no /dev/fuse or no fusermount3";
  }
  const std::string src = dir.file("src");
  writeFiles(src, {{"a.txt", "alpha\n"},
                   {"empty", ""},
                   {"sub/big.bin", randomBytes(1 << 20, 7)},
                   {"sub/deeper/c.txt", "deep\n"}});
  fs::create_directories(src + "/hollow");
  tool.ok({"add", archive, src});
  tool.ok({"commit", archive});
  tool.ok({"add", archive, src + "/a.txt", "--to", "later"});  // pending: not shown
  if (!mount()) {
    GTEST_SKIP() << "mounting is not permitted here: " << readFile(dir.file("err"));
  }

  EXPECT_EQ(listing(mounted_ + "/src"), listing(src));
  EXPECT_TRUE(fs::is_directory(mounted_ + "/later"));
  EXPECT_FALSE(fs::exists(mounted_ + "/later/a.txt"));
  for (const auto& [path, bytes] : filesBelow(src)) {
    EXPECT_EQ(
        std::system(
            ("cmp -s '" + src + "/" + path + "' '" + mounted_ + "/src/" + path + "'").c_str()),
        0)
        << path;
  }
  EXPECT_EQ(fs::last_write_time(mounted_ + "/src/sub/big.bin"),
            fs::last_write_time(src + "/sub/big.bin"));

  EXPECT_EQ(::open((mounted_ + "/new").c_str(), O_CREAT | O_WRONLY, 0644), -1);
  EXPECT_EQ(errno, EROFS);
  EXPECT_EQ(::open((mounted_ + "/src/a.txt").c_str(), O_WRONLY), -1);
  EXPECT_EQ(errno, EROFS);
  EXPECT_EQ(::mkdir((mounted_ + "/src/made").c_str(), 0755), -1);
  EXPECT_EQ(errno, EROFS);
  EXPECT_EQ(::unlink((mounted_ + "/src/a.txt").c_str()), -1);
  EXPECT_EQ(errno, EROFS);

  tool.run({"--no-wait", "cleanup", archive}, 75);
  const pid_t cleanup = ToolRunner::start({"cleanup", archive});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(::waitpid(cleanup, nullptr, WNOHANG), 0);  // still waiting for the mount

  EXPECT_EQ(std::system(("fusermount3 -u '" + mounted_ + "'").c_str()), 0);
  EXPECT_EQ(exitStatus(server_), 0);
  server_ = 0;
  EXPECT_EQ(exitStatus(cleanup), 0);
  EXPECT_FALSE(mounted(mounted_));

  ASSERT_TRUE(mount());  // and Ctrl-C ends it as well
  ::kill(server_, SIGINT);
  EXPECT_EQ(exitStatus(server_), 0);
  server_ = 0;
  EXPECT_FALSE(mounted(mounted_));
}

}  // namespace
}  // namespace vesk::test
