// Cleanup of deleted data out of the archive stream, and the chain check.
// Covers: DirectoryNode::cleanup and verifyCommitted, ConFileString.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "ConCommittedFiles.h"
#include "ConFileString.h"
#include "TestSupport.h"
#include "TreeTestSupport.h"

namespace vesk {
namespace {

using test::block;

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

class CleanupTest : public ::testing::Test {
 protected:
  // Commits a file of `data` into `directory`; answers its committed node.
  FileNode* store(DirectoryNode& directory, const std::string& name, const std::string& data) {
    test::writeFile(folder_.file(name), data);
    directory.addUncommittedFile(folder_.file(name), static_cast<unsigned>(data.size()), TimeDate(),
                                 0);
    ConCommittedFiles records;
    directory.commit(archive_, records, meter_, 1);
    return const_cast<FileNode*>(records.at(0).file());
  }

  test::TempDir folder_;
  MemoryStream archive_;
  test::Meter meter_;
};

TEST_F(CleanupTest, RemovesTheBlocksOfDeletedFiles) {
  for (const std::vector<int>& deleted : std::vector<std::vector<int>>{{0}, {2}, {0, 1}, {}}) {
    archive_.bytes().clear();
    DirectoryNode root;
    FileNode* files[3] = {store(root, "A", std::string(100, 'A')),
                          store(root, "B", std::string(100, 'B')),
                          store(root, "C", std::string(100, 'C'))};
    std::vector<std::string> expectedNames;
    for (int index : deleted) {
      root.remove(files[index]);
      expectedNames.push_back(files[index]->pathName().str());
    }
    EXPECT_EQ(clean(root, archive_), expectedNames);
    std::string expected;  // the kept blocks back to back
    for (int index = 0; index < 3; ++index) {
      if (!files[index]->deleted()) {
        EXPECT_EQ(files[index]->offsetPrefix(), static_cast<std::int64_t>(expected.size()));
        expected += block(std::string(100, static_cast<char>('A' + index)));
      }
    }
    EXPECT_EQ(archive_.bytes(), expected);
    EXPECT_TRUE(root.verifyCommitted(archive_));
  }
}

TEST_F(CleanupTest, SharedBlocksSurviveAndGoOnceWithTheirLastUsers) {
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
  test::writeFile(folder_.file("new"), "new");
  root.addUncommittedFile(folder_.file("new"), 3, TimeDate(), 0);
  ConCommittedFiles records;
  ConFileString removed;  // a commit that cleans up too
  EXPECT_EQ(root.commit(archive_, records, removed, meter_, 2), 1u);
  EXPECT_EQ(removed.size(), 2u);
  EXPECT_EQ(archive_.bytes(), block("tail") + block("new"));
  EXPECT_EQ(after->offsetPrefix(), 0);
}

TEST_F(CleanupTest, VerifyCommittedFollowsTheChain) {
  const std::pair<std::string, bool> archives[] = {
      {"", true},
      {block("ab") + block("c"), true},
      {block("ab") + block("c") + test::prefix(0), false},
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
// the whole archive, every survivor's block and the reported names with what is expected.
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

  for (FileNode* file : test::allFiles(root)) {
    if (random() % 4 == 0) {
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
  std::vector<std::string> removedNames = clean(*tree, archive);
  EXPECT_EQ(archive.bytes(), expected);
  EXPECT_FALSE(tree->verifyCommitted(archive));  // the empty blocks' zero prefixes
  std::sort(removedNames.begin(), removedNames.end());
  std::sort(expectedRemoved.begin(), expectedRemoved.end());
  EXPECT_EQ(removedNames, expectedRemoved);
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
