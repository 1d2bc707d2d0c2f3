// Helpers for the tree tests, with the node classes and the memory stream: building, random
// edits, round trips, walks, a progress meter, and stored records composed byte by byte.
#ifndef VESK_TESTS_TREETESTSUPPORT_H
#define VESK_TESTS_TREETESTSUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "DirectoryNode.h"
#include "FileNode.h"
#include "MemoryStream.h"
#include "ProgressMeter.h"
#include "UncommittedArchiveNode.h"
#include "UncommittedFileNode.h"

namespace vesk::test {

// Puts a newly built child into its parent's list.
template <class Node>
Node* adopt(DirectoryNode& parent, Node* child) {
  parent.push_back(SmartPointer<TreeNode>(child));
  return child;
}

// Adds a new file node `name` to `directory` in its sorted place.
inline FileNode* addFile(DirectoryNode& directory, const std::string& name) {
  return directory.add(new FileNode(name, &directory))->file();
}

// One random edit of a directory drawn from `directories`, with names drawn from `names`: a
// directory, a chain of two, a committed file, a pending file or an archive slice added, some
// of them read-only, or a child removed. A directory it adds joins `directories`.
template <std::size_t N>
void editAtRandom(std::vector<DirectoryNode*>& directories, std::mt19937& random,
                  const char* const (&names)[N]) {
  DirectoryNode& directory = *directories[random() % directories.size()];
  const std::string name = names[random() % N];
  const auto size = static_cast<unsigned>(random());
  TreeNode* node = nullptr;
  switch (random() % 6) {
    case 0:
      node = directories.emplace_back(directory.addDirectory(name));
      break;
    case 1:
      directory.addTree(name + "/" + names[random() % N]);
      return;
    case 2:
      node = directory.add(
          new FileNode(name, &directory, size, TimeDate::fromNanoseconds(random()), 3));
      node->file()->offsetPrefix(static_cast<std::int64_t>(random()) << 20);
      break;
    case 3:
      node = directory.add(new UncommittedFileNode("V>||/" + name, &directory, size, TimeDate()));
      break;
    case 4:
      node = directory.add(new UncommittedArchiveNode("x\\" + name, &directory, size,
                                                      std::int64_t{1} << 40, "A>||/b", TimeDate()));
      break;
    default:
      if (!directory.empty()) {
        directory.remove(
            std::next(directory.begin(), static_cast<long>(random() % directory.size()))->get());
      }
      return;
  }
  node->readOnly(random() % 3 == 0);
}

// Writes `tree` and reads it into `back`, which must consume every byte.
inline void roundTrip(const TreeNode& tree, DirectoryNode& back) {
  MemoryStream stream;
  tree.output(stream);
  stream.seekg(0);
  back.input(stream);
  EXPECT_EQ(stream.tellg(), stream.size());
}

// Every file node below `directory`, depth-first, deleted ones and their subtrees included.
inline std::vector<FileNode*> allFiles(DirectoryNode& directory,
                                       std::vector<FileNode*> files = {}) {
  for (SmartPointer<TreeNode>& child : directory) {
    if (DirectoryNode* sub = child->directory()) {
      files = allFiles(*sub, std::move(files));
    } else {
      files.push_back(child->file());
    }
  }
  return files;
}

// Records the files a commit starts and the questions it asks; cancels from the question
// after `allowed` on.
class Meter : public ProgressMeter {
 public:
  void startFile(char const* name) override { started.emplace_back(name); }
  bool cancelled() override { return ++asked > allowed; }

  std::vector<std::string> started;
  int asked = 0;
  int allowed = 1 << 30;
};

// Stored bytes composed field by field, little-endian.
class Record {
 public:
  Record& u32(std::uint32_t value) { return little(value, 4); }
  Record& i64(std::int64_t value) { return little(static_cast<std::uint64_t>(value), 8); }
  Record& text(const std::string& value) {
    u32(static_cast<std::uint32_t>(value.size()));
    bytes_ += value;
    return *this;
  }
  // The base record: name, deleted, time stamp, read-only.
  Record& base(const std::string& name, bool deleted, std::int64_t time, bool readOnly) {
    text(name).bytes_ += static_cast<char>(deleted);
    i64(time).bytes_ += static_cast<char>(readOnly);
    return *this;
  }
  const std::string& bytes() const { return bytes_; }

 private:
  Record& little(std::uint64_t value, int count) {
    for (int i = 0; i < count; ++i) {
      bytes_ += static_cast<char>(value >> (8 * i));
    }
    return *this;
  }

  std::string bytes_;
};

}  // namespace vesk::test

#endif  // VESK_TESTS_TREETESTSUPPORT_H
