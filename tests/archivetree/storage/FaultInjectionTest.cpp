// Every operation of the archive's file object fails once, in turn, under tree output and
// input, commit and cleanup; each outcome must be one that their failure handling allows.
// Covers: DirectoryNode (output, input, commit, cleanup) over BinVeskStream.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "BinVeskStream.h"
#include "ConCommittedFiles.h"
#include "ConFileString.h"
#include "FaultyFile.h"
#include "TestSupport.h"
#include "TreeTestSupport.h"

namespace vesk {
namespace {

const std::set<std::string> kAllowedErrors = {
    "Cannot read from stream",         "Cannot write to stream",  "Cannot position stream",
    "Cannot query stream size",        "Stream operation failed", "Set end of file failed",
    "File size discrepancy on commit",
};

class FaultInjectionTest : public ::testing::Test {
 protected:
  // An unbuffered archive stream on `path` whose operation `failAt` fails.
  std::unique_ptr<BinVeskStream> faulty(const std::string& path, long failAt) {
    CIOParent* real =
        VeskCreateIO(path.c_str(), VESK_ACCESS_READ | VESK_ACCESS_WRITE, 0, FILE_OPEN_EXISTING, 0);
    return std::make_unique<BinVeskStream>(new test::FaultyFile(real, failAt, &operations_));
  }

  // Runs `scenario` once cleanly to count its operations, then once failing each of them.
  // An error must be one of the allowed ones; with `mustFail`, every failure must end in one.
  void everyFailurePoint(const std::function<void(long failAt)>& scenario, bool mustFail) {
    operations_ = 0;
    scenario(0);
    const long points = operations_;
    ASSERT_GT(points, 0);
    for (long failAt = 1; failAt <= points && !HasFailure(); ++failAt) {
      SCOPED_TRACE("failing operation " + std::to_string(failAt) + " of " + std::to_string(points));
      operations_ = 0;
      const std::string error = test::veskErrorOf([&] { scenario(failAt); });
      EXPECT_TRUE(error.empty() ? !mustFail : kAllowedErrors.count(error) == 1) << error;
    }
  }

  // The data of the file sourceN.
  static std::string dataOf(int n) {
    return std::string(static_cast<std::size_t>(n) * 700 + 1, static_cast<char>('a' + n));
  }

  // A tree of committed-to-be files source0 to source3 in two levels.
  void pendingTree(DirectoryNode& root) {
    DirectoryNode* sub = root.addDirectory("sub");
    for (int i = 0; i < 4; ++i) {
      const std::string path = folder_.file("source" + std::to_string(i));
      test::writeFile(path, dataOf(i));
      (i % 2 ? root : *sub)
          .addUncommittedFile(path, static_cast<unsigned>(dataOf(i).size()), TimeDate(), 0);
    }
  }

  // Whether the block of `file` in the archive file holds its source's data.
  bool blockIsIntact(const FileNode& file, const std::string& archive) {
    const std::string data = dataOf(file.name().str().back() - '0');
    const std::string bytes = test::readFile(archive);
    const auto at = static_cast<std::size_t>(file.offsetPrefix());
    return file.fileSize() == data.size() && at <= bytes.size() &&
           bytes.substr(at, 8 + data.size()) == test::block(data);
  }

  test::TempDir folder_;
  long operations_ = 0;
  test::Meter meter_;
};

TEST_F(FaultInjectionTest, TreeOutputAndInput) {
  DirectoryNode root;
  pendingTree(root);
  root.addTree("x/y/z");
  const std::string path = folder_.file("tree");
  MemoryStream cleanRun;
  root.output(cleanRun);
  everyFailurePoint(
      [&](long failAt) {
        test::writeFile(path, "");
        const std::string error = test::veskErrorOf([&] { root.output(*faulty(path, failAt)); });
        const std::string written = test::readFile(path);
        EXPECT_EQ(written, cleanRun.bytes().substr(0, written.size()));  // a partial record at most
        test::rethrow(error);
      },
      true);

  test::writeFile(path, cleanRun.bytes());
  everyFailurePoint(
      [&](long failAt) {
        DirectoryNode back;
        back.input(*faulty(path, failAt));
      },
      true);
}

TEST_F(FaultInjectionTest, CommitKeepsWhatItStored) {
  const std::string archivePath = folder_.file("archive");
  everyFailurePoint(
      [&](long failAt) {
        DirectoryNode root;
        pendingTree(root);
        test::writeFile(archivePath, "");
        ConCommittedFiles records;
        const std::string error = test::veskErrorOf(
            [&] { root.commit(*faulty(archivePath, failAt), records, meter_, 3); });
        // Every record names a committed node of the tree whose block is intact.
        const std::vector<FileNode*> files = test::allFiles(root);
        unsigned committed = 0;
        for (FileNode* file : files) {
          if (file->committed()) {
            ++committed;
            EXPECT_TRUE(blockIsIntact(*file, archivePath)) << file->pathName().str();
          }
        }
        EXPECT_EQ(records.std::vector<CommittedFiles>::size(), committed);
        EXPECT_EQ(files.size(), 4u);
        EXPECT_TRUE(failAt != 0 || committed == 4u);
        test::rethrow(error);
      },
      false);
}

TEST_F(FaultInjectionTest, CleanupFailsBeforeFixingPositions) {
  // An archive of four committed files, two of them deleted, and its stored tree.
  MemoryStream cleanArchive;
  MemoryStream tree;
  {
    DirectoryNode root;
    pendingTree(root);
    ConCommittedFiles records;
    root.commit(cleanArchive, records, meter_, 1);
    for (unsigned i : {0u, 2u}) {
      records.at(i).file()->parent()->remove(const_cast<FileNode*>(records.at(i).file()));
    }
    root.output(tree);
  }
  const std::string archivePath = folder_.file("archive");
  everyFailurePoint(
      [&](long failAt) {
        test::writeFile(archivePath, cleanArchive.bytes());
        DirectoryNode root;
        root.input(tree.seekg(0));
        const std::vector<FileNode*> files = test::allFiles(root);
        std::vector<std::int64_t> before;
        for (FileNode* file : files) {
          before.push_back(file->offsetPrefix());
        }
        ConFileString removed;
        const std::string error =
            test::veskErrorOf([&] { root.cleanup(*faulty(archivePath, failAt), removed); });
        EXPECT_EQ(removed.size(), 2u);  // named before anything is moved
        for (std::size_t i = 0; i < files.size(); ++i) {
          if (files[i]->deleted()) {
            EXPECT_EQ(files[i]->fileSize(), 0u);
          } else if (error.empty()) {
            EXPECT_TRUE(blockIsIntact(*files[i], archivePath)) << files[i]->pathName().str();
          } else {
            EXPECT_EQ(files[i]->offsetPrefix(), before[i]);  // not yet fixed up
          }
        }
        test::rethrow(error);
      },
      false);
}

}  // namespace
}  // namespace vesk
