// Helpers for the tree tests: putting built nodes into directories, giving a node a chosen
// time stamp, and composing stored records byte by byte.
#ifndef VESK_TESTS_TREETESTSUPPORT_H
#define VESK_TESTS_TREETESTSUPPORT_H

#include <cstdint>
#include <string>

#include "ByteOrder.h"
#include "DirectoryNode.h"
#include "MemoryStream.h"

namespace vesk::test {

// Puts a newly built child into its parent's list.
template <class Node>
Node* adopt(DirectoryNode& parent, Node* child) {
  parent.push_back(SmartPointer<TreeNode>(child));
  return child;
}

// Replaces the time stamp of a file node by writing its record, patching the stamp's bytes
// and reading the record back.
template <class Node>
void setTimeStamp(Node& node, const TimeDate& time) {
  MemoryStream stream;
  node.output(stream);
  storeLittle64(&stream.bytes()[4 + node.name().size() + 1],
                static_cast<std::uint64_t>(time.nanoseconds()));
  stream.seekg(0);
  node.input(stream);
}

// Stored bytes composed field by field.
class Record {
 public:
  Record& u8(unsigned value) {
    bytes_ += static_cast<char>(value);
    return *this;
  }
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
    return text(name).u8(deleted).i64(time).u8(readOnly);
  }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

}  // namespace vesk::test

#endif  // VESK_TESTS_TREETESTSUPPORT_H
