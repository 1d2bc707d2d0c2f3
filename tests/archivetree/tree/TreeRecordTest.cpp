// The stored form of trees: golden bytes, round trips, sizes, and damaged input.
// Covers: output and input of DirectoryNode, FileNode, UncommittedFileNode,
// UncommittedArchiveNode.
#include <gtest/gtest.h>

#include <random>
#include <typeinfo>
#include <vector>

#include "TestSupport.h"
#include "TreeTestSupport.h"

namespace vesk {
namespace {

using test::adopt;
using test::Record;

// A root "R" holding a directory, a committed file, a deleted pending file and an archive
// slice, composed from the record tables.
std::string goldenTree() {
  Record record;
  record.base("R", false, 1, false).u32(4).text("d");
  record.u32(1).base("D", false, 2, false).u32(0).text("");
  record.u32(2).base("f", false, 3, true);
  record.u32(5).u32(2).i64(0x100000010).u32(5).i64(4).u32(7);
  record.u32(3).base("p", true, 5, false);
  record.u32(10).u32(0).i64(-1).u32(0xFFFFFFFF).i64(6).u32(0xFFFFFFFF).text("V>||/x/p");
  record.u32(4).base("s", false, 7, false);
  record.u32(3).u32(0).i64(-1).u32(0xFFFFFFFF).i64(8).u32(0xFFFFFFFF).text("in\\s");
  record.i64(0x123456789).text("W>||/o.arc");
  return record.bytes();
}

TEST(TreeRecordTest, GoldenBytesReadAndWrite) {
  const std::string golden = goldenTree();
  MemoryStream in(golden);
  DirectoryNode root;
  root.input(in);
  EXPECT_EQ(in.tellg(), static_cast<std::int64_t>(golden.size()));
  EXPECT_EQ(root.name().str(), "R");
  EXPECT_EQ(root.description().str(), "d");
  ASSERT_EQ(root.size(), 4u);
  // The classes are those of the type tags written back below.
  auto child = root.begin();
  FileNode* file = (*++child)->file();
  EXPECT_TRUE(file->readOnly());
  EXPECT_EQ(file->offset(), 0x100000018);
  EXPECT_EQ(file->archiveCount(), 7u);
  EXPECT_TRUE((*++child)->deleted());
  EXPECT_EQ((*++child)->nodeType(), TreeNode::UNCOMMITTED_ARCHIVE_NODE);
  auto* slice = static_cast<UncommittedArchiveNode*>((*child)->file());
  EXPECT_EQ(slice->offset(), 0x123456789);
  EXPECT_EQ(slice->archive().str(), "W>||/o.arc");
  EXPECT_EQ(slice->uncommittedPathName().str(), "in\\s");

  MemoryStream out;
  root.output(out);
  EXPECT_EQ(out.bytes(), golden);
}

TEST(TreeRecordTest, RandomTreesRoundTrip) {
  std::mt19937 random(3);
  const char* pool[] = {"a", "b", "c", "d", "e", "f"};
  for (int round = 0; round < 50; ++round) {  // trees of every kind of node, some deleted
    DirectoryNode root("top", nullptr);
    root.description("round " + std::to_string(round));
    std::vector<DirectoryNode*> directories{&root};
    for (auto edit = random() % 80; edit > 0; --edit) {
      test::editAtRandom(directories, random, pool);
    }
    // What is read back is written again to the same bytes; the golden test makes sure that
    // those bytes hold every field.
    MemoryStream first;
    root.output(first);
    DirectoryNode back;
    test::roundTrip(root, back);
    MemoryStream second;
    back.output(second);
    ASSERT_EQ(second.bytes(), first.bytes());
  }
}

TEST(TreeRecordTest, ObjectSizeIsTheRecordLength) {
  DirectoryNode root("root", nullptr);
  root.description("about");
  FileNode file("f", &root, 1, TimeDate(), 2);
  UncommittedFileNode pending("V>||/p", &root, 1, TimeDate());
  UncommittedArchiveNode slice("in/s", &root, 1, 5, "W>||/o", TimeDate());
  const TreeNode* nodes[] = {&root, &file, &pending, &slice};
  for (const TreeNode* node : nodes) {
    MemoryStream stream;
    node->output(stream);
    EXPECT_EQ(node->objectSize(), stream.size()) << typeid(*node).name();
  }

  auto* child = adopt(root, new FileNode("c", &root));
  MemoryStream stream;
  root.output(stream);
  EXPECT_EQ(root.treeSize(true), stream.size());
  child->deleted(true);
  EXPECT_EQ(root.treeSize(true), root.objectSize() + 4);
  auto* sub = adopt(root, new DirectoryNode("s", &root));
  adopt(*sub, new FileNode("grandchild", sub));
  EXPECT_EQ(root.treeSize(false), root.objectSize());
  EXPECT_EQ(root.treeSize(true), root.objectSize() + 4 + 4 + sub->objectSize());
  root.deleted(true);
  EXPECT_EQ(root.treeSize(true), 0u);
}

TEST(TreeRecordTest, DamagedBytesAndUnknownTypeTagsEndInVeskException) {
  const std::string golden = goldenTree();
  for (std::uint32_t tag : {0u, 5u, 0xFFFFFFFFu}) {  // in place of the file's type tag
    MemoryStream stream(golden.substr(0, 51) + Record().u32(tag).bytes() + golden.substr(55));
    DirectoryNode root;
    adopt(root, new FileNode("z", &root));  // reading appends behind the children there are
    EXPECT_VESK_ERROR(root.input(stream), "Invalid node type");
    ASSERT_EQ(root.size(), 2u);  // the directory D before it is kept
    EXPECT_EQ(root.back()->name().str(), "D");
  }
  for (std::size_t length = 0; length < golden.size(); ++length) {
    MemoryStream stream(golden.substr(0, length));
    DirectoryNode root;
    EXPECT_THROW(root.input(stream), VeskException) << length;
  }
  std::mt19937 random(5);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes = golden;
    for (int flips = 1 + static_cast<int>(random() % 4); flips > 0; --flips) {
      bytes[random() % bytes.size()] = static_cast<char>(random());
    }
    MemoryStream stream(bytes);
    DirectoryNode root;
    test::veskErrorOf([&] { root.input(stream); });  // any other exception fails the test
  }
}

}  // namespace
}  // namespace vesk
