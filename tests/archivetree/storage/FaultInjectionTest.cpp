// Every operation of the archive's file object fails once, in turn, under tree output and
// input, commit and cleanup; each outcome must be one that their failure handling allows.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "BinVeskStream.h"
#include "ByteOrder.h"
#include "ConCommittedFiles.h"
#include "ConFileString.h"
#include "DirectoryNode.h"
#include "FaultyFile.h"
#include "FileNode.h"
#include "MemoryStream.h"
#include "TestSupport.h"
#include "TreeTestSupport.h"
#include "UncommittedFileNode.h"

namespace vesk {
namespace {

using test::FaultyFile;

const std::set<std::string> kStreamErrors = {
    "Cannot read from stream",  "Cannot write to stream",  "Cannot position stream",
    "Cannot query stream size", "Stream operation failed", "Set end of file failed",
};

class FaultInjectionTest : public ::testing::Test {
 protected:
  // An unbuffered archive stream on `path` whose operation `failAt` fails.
  std::unique_ptr<BinVeskStream> faulty(const std::string& path, long failAt,
                                        FILE_CREATION_FLAG creation = FILE_OPEN_EXISTING) {
    CIOParent* real =
        VeskCreateIO(path.c_str(), VESK_ACCESS_READ | VESK_ACCESS_WRITE, 0, creation, 0);
    return std::make_unique<BinVeskStream>(new FaultyFile(real, failAt, &operations_));
  }

  // Runs `scenario` once cleanly to count its operations, then once failing each of them;
  // `check` sees each run's error text (empty when it passed).
  void everyFailurePoint(const std::function<void(long failAt)>& scenario,
                         const std::function<void(long failAt, const std::string& error)>& check) {
    operations_ = 0;
    scenario(0);
    const long points = operations_;
    ASSERT_GT(points, 0);
    for (long failAt = 1; failAt <= points; ++failAt) {
      operations_ = 0;
      std::string error;
      try {
        scenario(failAt);
      } catch (const VeskException& failure) {
        error = failure.what();
        EXPECT_EQ(kStreamErrors.count(error) + (error == "File size discrepancy on commit"), 1u)
            << error;
      }
      check(failAt, error);
      if (HasFailure()) {
        FAIL() << "failing operation " << failAt << " of " << points;
      }
    }
  }

  // A tree of committed-to-be files in two levels, with their contents by name.
  void pendingTree(DirectoryNode& root) {
    DirectoryNode* sub = root.addDirectory("sub");
    for (int i = 0; i < 4; ++i) {
      const std::string data(static_cast<std::size_t>(i) * 700 + 1, static_cast<char>('a' + i));
      const std::string path = folder_.file("source" + std::to_string(i));
      test::writeFile(path, data);
      (i % 2 ? root : *sub)
          .addUncommittedFile(path, static_cast<unsigned>(data.size()), TimeDate(), 0);
      contents_["source" + std::to_string(i)] = data;
    }
  }

  // Whether the block of `file` in the archive file holds its source's data.
  bool blockIsIntact(const FileNode& file, const std::string& archive) {
    const std::string bytes = test::readFile(archive);
    const auto at = static_cast<std::size_t>(file.offsetPrefix());
    if (at + 8 + file.fileSize() > bytes.size()) {
      return false;
    }
    const std::string data = contents_[file.name().str()];
    return loadLittle64(bytes.data() + at) == file.fileSize() &&
           bytes.substr(at + 8, data.size()) == data;
  }

  test::TempDir folder_;
  long operations_ = 0;
  std::map<std::string, std::string> contents_;
  test::Meter meter_;
};

TEST_F(FaultInjectionTest, TreeOutputAndInput) {
  DirectoryNode root;
  pendingTree(root);
  root.addTree("x/y/z");
  const std::string path = folder_.file("tree");
  MemoryStream cleanRun;
  root.output(cleanRun);
  const std::string clean = cleanRun.bytes();
  everyFailurePoint(
      [&](long failAt) {
        test::writeFile(path, "");
        root.output(*faulty(path, failAt));
      },
      [&](long, const std::string& error) {
        const std::string written = test::readFile(path);
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(written, clean.substr(0, written.size()));  // a partial record at most
      });

  test::writeFile(path, clean);
  everyFailurePoint(
      [&](long failAt) {
        DirectoryNode back;
        back.input(*faulty(path, failAt));
      },
      [&](long, const std::string& error) { EXPECT_FALSE(error.empty()); });
}

TEST_F(FaultInjectionTest, CommitKeepsWhatItStored) {
  const std::string archivePath = folder_.file("archive");
  everyFailurePoint(
      [&](long failAt) {
        DirectoryNode root;
        pendingTree(root);
        test::writeFile(archivePath, "");
        ConCommittedFiles records;
        std::string error;
        try {
          root.commit(*faulty(archivePath, failAt), records, meter_, 3);
        } catch (const VeskException& failure) {
          error = failure.what();
        }
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
        if (!error.empty()) {
          throw VeskException(error.c_str());
        }
      },
      [](long, const std::string&) {});
}

TEST_F(FaultInjectionTest, CleanupFailsBeforeFixingPositions) {
  // An archive of four committed files, two of them deleted, saved with its tree.
  const std::string cleanArchive = folder_.file("clean.arc");
  const std::string treePath = folder_.file("tree");
  {
    DirectoryNode root;
    pendingTree(root);
    BinVeskStream archive(cleanArchive.c_str(), 0x01 | 0x02 | 0x10, false);
    ConCommittedFiles records;
    root.commit(archive, records, meter_, 1);
    records.at(0).file()->parent()->remove(const_cast<FileNode*>(records.at(0).file()));
    records.at(2).file()->parent()->remove(const_cast<FileNode*>(records.at(2).file()));
    BinVeskStream tree(treePath.c_str(), 0x01 | 0x02 | 0x10, false);
    root.output(tree);
  }
  const std::string archivePath = folder_.file("archive");
  everyFailurePoint(
      [&](long failAt) {
        test::writeFile(archivePath, test::readFile(cleanArchive));
        DirectoryNode root;
        BinVeskStream tree(treePath.c_str(), 0x01, false);
        root.input(tree);
        const std::vector<FileNode*> files = test::allFiles(root);
        std::vector<std::int64_t> before;
        for (FileNode* file : files) {
          before.push_back(file->offsetPrefix());
        }
        ConFileString removed;
        std::string error;
        try {
          root.cleanup(*faulty(archivePath, failAt), removed);
        } catch (const VeskException& failure) {
          error = failure.what();
        }
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
        if (!error.empty()) {
          throw VeskException(error.c_str());
        }
      },
      [](long, const std::string&) {});
}

}  // namespace
}  // namespace vesk
