// Commit of pending files into an archive stream, and the records it leaves.
// Covers: DirectoryNode::commit, UncommittedFileNode, UncommittedArchiveNode,
// CommittedFiles, ConCommittedFiles, ProgressMeter.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "BinVeskStream.h"
#include "ConCommittedFiles.h"
#include "ConFileString.h"
#include "TestSupport.h"
#include "TreeTestSupport.h"
#include "UtilityStrings.h"

namespace vesk {
namespace {

using test::block;
using test::prefix;
using test::ScopedAnswerer;

class CommitTest : public ::testing::Test {
 protected:
  // A source file of `bytes` in the temporary folder; answers its path.
  std::string source(const std::string& name, const std::string& bytes) {
    test::writeFile(folder_.file(name), bytes);
    return folder_.file(name);
  }
  UncommittedFileNode* pending(DirectoryNode& directory, const std::string& path, unsigned size) {
    return directory.addUncommittedFile(path, size, TimeDate(), 0);
  }
  unsigned commit(DirectoryNode& directory, std::uint32_t archiveCount = 7) {
    return directory.commit(archive_, records_, meter_, archiveCount);
  }

  test::TempDir folder_;
  MemoryStream archive_;
  ConCommittedFiles records_;
  test::Meter meter_;
};

TEST_F(CommitTest, BlocksFollowEachOtherAndNodesAreReplaced) {
  DirectoryNode root;
  DirectoryNode* sub = root.addDirectory("sub");
  const std::vector<std::string> sources = {
      pending(*sub, source("a.txt", "hello"), 5)->uncommittedPathName().str(),
      pending(*sub, source("b.txt", ""), 0)->uncommittedPathName().str(),
      pending(root, source("c.txt", "xyz"), 3)->uncommittedPathName().str()};
  EXPECT_EQ(commit(root), 3u);
  EXPECT_EQ(archive_.bytes(), block("hello") + block("") + block("xyz"));
  EXPECT_EQ(meter_.started, sources);

  // Depth-first, with the offsets of the data.
  const std::tuple<const char*, std::int64_t, unsigned> expected[] = {
      {"\\sub\\a.txt", 8, 5}, {"\\sub\\b.txt", 21, 0}, {"\\c.txt", 29, 3}};
  ASSERT_EQ(records_.std::vector<CommittedFiles>::size(), 3u);
  for (int i = 0; i < 3; ++i) {
    const auto record = records_.begin() + i;
    EXPECT_EQ(records_.uncommittedName(record).str(), sources[i]);
    EXPECT_EQ(records_.committedName(record).str(), std::get<0>(expected[i]));
    EXPECT_EQ(records_.offset(record), std::get<1>(expected[i]));
    EXPECT_EQ(records_.compressedSize(record), std::get<2>(expected[i]));
    EXPECT_EQ(record->file()->archiveCount(), 7u);
  }
  FileNode* committed = const_cast<FileNode*>(records_.begin()->file());
  EXPECT_EQ(sub->front().get(), committed);  // in the pending node's place
  EXPECT_EQ(committed->parent(), sub);
  sub->remove(committed);
  EXPECT_TRUE(records_.deleted(records_.begin()));

  // A second commit stamps committed files and stores nothing new.
  EXPECT_EQ(commit(root, 8), 0u);
  EXPECT_EQ(records_.at(2).file()->archiveCount(), 8u);
  EXPECT_EQ(records_.at(2).file()->offsetPrefix(), 21);
  EXPECT_EQ(archive_.size(), 32);
}

TEST_F(CommitTest, CommitAndCleanupAboveFourGibibytesInASparseArchive) {
  // An archive already longer than 4 GiB: a block of the largest size, a hole never written.
  const std::int64_t start = 8 + std::int64_t{0xFFFFFFFF};
  BinVeskStream archive(folder_.file("large.arc").c_str(), OpenMode::readWrite | OpenMode::truncate,
                        true);
  archive.write(prefix(0xFFFFFFFF).data(), 8);
  archive.seekp(start - 1).write("\0", 1);
  DirectoryNode root;
  DirectoryNode* sub = root.addDirectory("sub");
  pending(*sub, source("a", "first"), 5);
  pending(root, source("b", "second"), 6);
  ASSERT_EQ(root.commit(archive, records_, meter_, 1), 2u);
  FileNode* first = const_cast<FileNode*>(records_.at(0).file());
  const FileNode* second = records_.at(1).file();
  EXPECT_EQ(first->offsetPrefix(), start);
  EXPECT_EQ(records_.offset(records_.begin() + 1), start + 13 + 8);
  EXPECT_TRUE(root.verifyCommitted(archive));

  sub->remove(first);  // the second block moves down over the first
  ConFileString removed;
  root.cleanup(archive, removed);
  EXPECT_EQ(second->offsetPrefix(), start);
  EXPECT_EQ(archive.size(), start + 14);
  std::string back(6, '\0');
  archive.seekg(start + 8).read(back.data(), 6);
  EXPECT_EQ(back, "second");
  EXPECT_TRUE(root.verifyCommitted(archive));

  // The largest size a file node holds, announced in the prefix of a file that is not there.
  UncommittedFileNode* huge = pending(root, folder_.file("never-there"), 0xFFFFFFFFu);
  const ScopedAnswerer answerer(
      [](void*, const char*, const char*, unsigned) { return MediaPrompt::kAnswerCancel; });
  const std::int64_t end = archive.size();
  EXPECT_EQ(root.commit(archive, records_, meter_, 2), 0u);
  EXPECT_TRUE(huge->deleted());
  std::string stored(8, '\0');
  archive.seekg(end).read(stored.data(), 8);
  EXPECT_EQ(stored, prefix(0xFFFFFFFFu));
}

TEST_F(CommitTest, TheMeterIsAskedBeforeEveryChildAndCancelStopsTheWalk) {
  DirectoryNode root;
  DirectoryNode* sub = root.addDirectory("sub");
  pending(*sub, source("a", "1"), 1)->markDeleted();
  pending(*sub, source("b", "2"), 1);
  pending(*sub, source("c", "3"), 1);
  pending(root, source("d", "4"), 1);
  meter_.allowed = 0;
  EXPECT_EQ(commit(root), 0u);
  EXPECT_EQ(archive_.size(), 0);

  meter_.asked = 0;
  meter_.allowed = 3;  // lets the walk reach sub, its deleted file and its first live one
  EXPECT_EQ(commit(root), 1u);
  EXPECT_EQ(meter_.asked, 5);  // sub's last file, then root's next child
  EXPECT_EQ(archive_.size(), 9);
  EXPECT_EQ(root.numberOfUncommittedFiles(true), 2u);

  // Records are refused the end of their container.
  EXPECT_VESK_ERROR(records_.offset(records_.end()), "Invalid access beyond end of container");
  EXPECT_VESK_ERROR(records_.uncommittedName(records_.end()),
                    "Invalid access beyond end of container");
}

TEST_F(CommitTest, DataThatCannotBeHadDeletesTheNode) {
  DirectoryNode root;
  // A folder passes the existence test but cannot be read: the copy fails.
  UncommittedFileNode* unreadable = pending(root, folder_.path().string(), 4);
  EXPECT_EQ(commit(root), 0u);
  EXPECT_TRUE(unreadable->deleted());
  EXPECT_EQ(unreadable->compressedSize(), 0u);
  EXPECT_EQ(unreadable->offsetPrefix(), 0);
  EXPECT_EQ(archive_.bytes(), prefix(4));
  EXPECT_TRUE(records_.empty());

  pending(root, source("short", "ab"), 4);
  EXPECT_VESK_ERROR(commit(root), "File size discrepancy on commit");
  EXPECT_EQ(root.numberOfUncommittedFiles(false), 1u);  // the short file stays pending
}

TEST_F(CommitTest, MissingMediaArePromptedForUntilRetryFindsThemOrCancelSkipsThem) {
  test::ScopedVolumes volumes({{"", "/", "/"}, {"USB", folder_.path().string(), "/"}});
  DirectoryNode root;
  UncommittedFileNode* photo = pending(root, source("photo.jpg", "data"), 4);
  ASSERT_EQ(photo->uncommittedPathName().str(), "USB>||/photo.jpg");
  UncommittedFileNode* gone = pending(root, folder_.file("z-never-written"), 4);
  volumes.set({{"", "/", "/"}});  // the stick is pulled out

  std::vector<std::string> prompts;
  const ScopedAnswerer answerer([&](void*, const char* text, const char* caption, unsigned style) {
    prompts.push_back(std::string(caption) + "|" + text + "|" + std::to_string(style));
    if (prompts.size() == 2) {
      volumes.set({{"", "/", "/"}, {"USB", folder_.path().string(), "/"}});
    }
    return prompts.size() < 3 ? MediaPrompt::kAnswerRetry : MediaPrompt::kAnswerCancel;
  });
  EXPECT_EQ(commit(root), 1u);
  ASSERT_EQ(prompts.size(), 3u);
  EXPECT_EQ(prompts[0],
            "Missing File|Cannot find file 'photo.jpg'.  Please insert the media 'USB' \n"
            "and press Retry to continue.  Press Cancel to skip writing this file.|5");
  EXPECT_TRUE(gone->deleted());
  EXPECT_EQ(archive_.bytes(), block("data") + prefix(4));  // a skipped file leaves its prefix
}

TEST_F(CommitTest, ArchiveSlices) {
  const std::string other = source("other.arc", "0123456789");
  test::ScopedVolumes volumes({{"", "/", "/"}, {"ARC", folder_.path().string(), "/"}});
  DirectoryNode root;
  DirectoryNode* sub = root.addDirectory("sub");
  sub->addUncommittedArchiveFile("inner\\s.txt", 4, 3, other, TimeDate());
  EXPECT_EQ(commit(root), 1u);
  EXPECT_EQ(archive_.bytes().substr(8), "3456");
  EXPECT_EQ(meter_.started[0], "ARC>||/other.arc");
  EXPECT_EQ(records_.uncommittedName(records_.begin()).str(), "ARC>\\sub\\s.txt");

  UncommittedArchiveNode* tooLong = root.addUncommittedArchiveFile("t", 5, 8, other, TimeDate());
  EXPECT_VESK_ERROR(commit(root), "File size discrepancy on commit");
  EXPECT_EQ(tooLong->compressedSize(), 0xFFFFFFFFu);
  tooLong->markDeleted();

  UncommittedArchiveNode* unmounted = root.addUncommittedArchiveFile("v", 1, 0, other, TimeDate());
  volumes.set({{"", "/", "/"}});
  EXPECT_EQ(commit(root), 0u);
  EXPECT_TRUE(unmounted->deleted());
}

TEST_F(CommitTest, StreamFailuresPassOutAndKeepEarlierWork) {
  // An archive that refuses every write after the first `budget` ones.
  class FailingArchive : public MemoryStream {
   public:
    BinStream& write(const char* buffer, unsigned count) override {
      if (budget-- <= 0) {
        throw VeskException(utilityStrings(kMessageCannotWrite));
      }
      return MemoryStream::write(buffer, count);
    }
    int budget = 2;
  };
  FailingArchive archive;  // takes the first file's prefix and data
  DirectoryNode root;
  pending(root, source("a", "1"), 1);
  UncommittedFileNode* second = pending(root, source("b", "2"), 1);
  EXPECT_VESK_ERROR(root.commit(archive, records_, meter_, 1), "Cannot write to stream");
  EXPECT_EQ(records_.std::vector<CommittedFiles>::size(), 1u);
  EXPECT_FALSE(second->deleted());
  EXPECT_EQ(root.numberOfUncommittedFiles(false), 1u);
}

}  // namespace
}  // namespace vesk
