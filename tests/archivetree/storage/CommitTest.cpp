// Commit of pending files into an archive stream and the records it leaves; cleanup of
// deleted data out of the stream, and the chain check.
// Covers: DirectoryNode::commit, cleanup and verifyCommitted, UncommittedFileNode,
// UncommittedArchiveNode, CommittedFiles, ConCommittedFiles, ConFileString, ProgressMeter.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
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

// Cleans `archive` up by `root`; answers the names of the files whose blocks it removed.
std::vector<std::string> clean(DirectoryNode& root, BinStream& archive) {
  ConFileString removed;
  root.cleanup(archive, removed);
  std::vector<std::string> names;
  for (const FileString& name : removed) {
    names.push_back(name.str());
  }
  return names;
}

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
  // Commits a file of `data` into `directory`; answers its committed node.
  FileNode* store(DirectoryNode& directory, const std::string& name, const std::string& data) {
    pending(directory, source(name, data), static_cast<unsigned>(data.size()));
    commit(directory);
    return const_cast<FileNode*>(records_.back().file());
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

TEST_F(CommitTest, SharedBlocksSurviveAndGoOnceWithTheirLastUsers) {
  DirectoryNode root;
  FileNode* original = store(root, "original", "shared data");
  FileNode* after = store(root, "after", "tail");
  DirectoryNode* copies = root.addDirectory("copies");
  copies->clone(root);  // the copies point at the same blocks
  copies->remove(copies->findFile("after"));
  EXPECT_TRUE(clean(root, archive_).empty());
  EXPECT_EQ(archive_.bytes(), block("shared data") + block("tail"));
  root.remove(original);  // with its copy: two records of one block, which goes once
  copies->remove(copies->findFile("original"));
  pending(root, source("new", "new"), 3);
  ConFileString removed;  // a commit that cleans up too
  EXPECT_EQ(root.commit(archive_, records_, removed, meter_, 2), 1u);
  EXPECT_EQ(removed.size(), 2u);
  EXPECT_EQ(archive_.bytes(), block("tail") + block("new"));
  EXPECT_EQ(after->offsetPrefix(), 0);
}

TEST_F(CommitTest, VerifyCommittedFollowsTheChain) {
  const std::pair<std::string, bool> archives[] = {
      {"", true},
      {block("ab") + block("c"), true},
      {block("ab") + block("c") + prefix(0), false},
      {block("ab") + block("c").substr(0, 8), false},
      {block("ab") + std::string(8, '\xFF'), false},
  };
  DirectoryNode root;
  for (const auto& [bytes, chained] : archives) {
    archive_.bytes() = bytes;
    EXPECT_EQ(root.verifyCommitted(archive_), chained) << bytes.size();
  }
  archive_.bytes() = block("ab") + "xyz";
  EXPECT_VESK_ERROR(root.verifyCommitted(archive_), "Cannot read from stream");
}

// Commits random files into nested folders, deletes a random part, cleans up and compares
// the whole archive, every survivor's block and the reported names (in the order of the
// walk, which is that of the blocks) with what is expected.
void cleanRandomTree(unsigned seed, bool reload) {
  test::TempDir folder;
  std::mt19937 random(seed);
  DirectoryNode root;
  std::vector<DirectoryNode*> directories{&root};
  for (int i = 0; i < 30; ++i) {
    DirectoryNode* parent = directories[random() % directories.size()];
    directories.push_back(parent->addDirectory("d" + std::to_string(i)));
  }
  std::vector<std::string> data;  // of the file fN, by N
  for (int i = 0; i < 300; ++i) {
    const std::string path = folder.file("f" + std::to_string(i));
    data.emplace_back(random() % 3 == 0 ? 0 : random() % 5000, static_cast<char>('a' + i % 26));
    test::writeFile(path, data.back());
    directories[random() % directories.size()]->addUncommittedFile(
        path, static_cast<unsigned>(data.back().size()), TimeDate(), 0);
  }
  const auto dataOf = [&data](const FileNode& file) -> const std::string& {
    return data[std::stoul(file.name().str().substr(1))];
  };
  MemoryStream archive;
  ConCommittedFiles records;
  test::Meter meter;
  ASSERT_EQ(root.commit(archive, records, meter, 1), 300u);

  const std::vector<FileNode*> all = test::allFiles(root);
  const auto hasData = [](const FileNode* file) { return file->fileSize() > 0; };
  const FileNode* first = *std::find_if(all.begin(), all.end(), hasData);
  const FileNode* last = *std::find_if(all.rbegin(), all.rend(), hasData);
  for (FileNode* file : all) {
    // In odd seeds the first and the last block go, so that everything or nothing moves.
    if (random() % 4 == 0 || (seed % 2 == 1 && (file == first || file == last))) {
      file->parent()->remove(file);
    }
  }
  directories[1 + random() % (directories.size() - 1)]->deleted(true);  // its files unmarked
  for (int i = 0; i < 2; ++i) {  // marks their whole subtrees
    DirectoryNode* victim = directories[1 + random() % (directories.size() - 1)];
    victim->parent()->remove(victim);
  }
  // The blocks in order, less those with data of deleted files and of deleted directories'
  // files. A deleted directory is stored without children: reloaded, it no longer knows
  // their blocks, and cleanup leaves them where they are.
  std::vector<FileNode*> files = test::allFiles(root);
  std::sort(files.begin(), files.end(),
            [](FileNode* x, FileNode* y) { return x->offsetPrefix() < y->offsetPrefix(); });
  std::string expected;
  std::vector<std::string> expectedRemoved;
  for (const FileNode* file : files) {
    bool ancestorDeleted = false;
    for (const TreeNode* node = file->parent(); node != nullptr; node = node->parent()) {
      ancestorDeleted = ancestorDeleted || node->deleted();
    }
    if (file->fileSize() > 0 &&
        (reload ? !ancestorDeleted && file->deleted() : ancestorDeleted || file->deleted())) {
      expectedRemoved.push_back(file->pathName().str());
    } else {
      expected += block(dataOf(*file));
    }
  }

  DirectoryNode reloaded;
  DirectoryNode* tree = &root;
  if (reload) {
    test::roundTrip(root, reloaded);
    tree = &reloaded;
  }
  EXPECT_EQ(clean(*tree, archive), expectedRemoved);
  EXPECT_EQ(archive.bytes(), expected);
  EXPECT_FALSE(tree->verifyCommitted(archive));  // the empty blocks' zero prefixes
  for (const FileNode* file : test::allFiles(*tree)) {
    if (!file->deleted()) {
      const auto at = static_cast<std::size_t>(file->offsetPrefix());
      ASSERT_EQ(archive.bytes().substr(at, 8 + file->fileSize()), block(dataOf(*file)));
    }
  }
  EXPECT_TRUE(clean(*tree, archive).empty());
  EXPECT_EQ(archive.bytes(), expected);
}

TEST(CleanupRandomTest, SurvivorsKeepTheirData) {
  for (unsigned seed : {1u, 2u, 3u, 4u}) {
    cleanRandomTree(seed, false);
  }
  cleanRandomTree(5, true);
}

}  // namespace
}  // namespace vesk
