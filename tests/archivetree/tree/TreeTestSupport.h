// Helpers for the tree tests: putting built nodes into directories, round trips, walks, a
// progress meter, and composing stored records byte by byte.
#ifndef VESK_TESTS_TREETESTSUPPORT_H
#define VESK_TESTS_TREETESTSUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "DirectoryNode.h"
#include "FileNode.h"
#include "MemoryStream.h"
#include "ProgressMeter.h"
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

// One random edit of `directory` with names drawn from `names`: a directory, a chain of two,
// a file or a pending file added, or a child removed. Answers the directory it added, if any.
template <std::size_t N>
DirectoryNode* editAtRandom(DirectoryNode& directory, std::mt19937& random,
                            const char* const (&names)[N]) {
  const std::string name = names[random() % N];
  switch (random() % 6) {
    case 0:
      return directory.addDirectory(name);
    case 1:
      directory.addTree(name + "/" + names[random() % N]);
      break;
    case 2:
    case 3:
      addFile(directory, name);
      break;
    case 4:
      directory.add(
          new UncommittedFileNode(name, &directory, static_cast<unsigned>(random()), TimeDate()));
      break;
    default:
      if (!directory.empty()) {
        directory.remove(
            std::next(directory.begin(), static_cast<long>(random() % directory.size()))->get());
      }
  }
  return nullptr;
}

// Writes `tree` and reads it into `back`, which must consume every byte.
inline void roundTrip(const TreeNode& tree, DirectoryNode& back) {
  MemoryStream stream;
  tree.output(stream);
  stream.seekg(0);
  back.input(stream);
  EXPECT_EQ(stream.tellg(), stream.size());
}

// Every file node below `directory`, deleted ones and those below deleted directories
// included, depth-first.
inline std::vector<FileNode*> allFiles(DirectoryNode& directory) {
  std::vector<FileNode*> files;
  for (SmartPointer<TreeNode>& child : directory) {
    if (DirectoryNode* sub = child->directory()) {
      const std::vector<FileNode*> below = allFiles(*sub);
      files.insert(files.end(), below.begin(), below.end());
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

// Stored bytes composed field by field.
class Record {
 public:
  Record& u32(std::uint32_t value) {
    char raw[4];
    storeLittle32(raw, value);
    bytes_.append(raw, 4);
    return *this;
  }
  Record& i64(std::int64_t value) {
    char raw[8];
    storeLittle64(raw, static_cast<std::uint64_t>(value));
    bytes_.append(raw, 8);
    return *this;
  }
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
  std::string bytes_;
};

}  // namespace vesk::test

#endif  // VESK_TESTS_TREETESTSUPPORT_H
