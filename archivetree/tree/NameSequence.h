// NameSequence: list positions of live children in ascending name order (names compare
// ignoring case), for ChildIndex. Finding a name's place reads no node in the common case.
//
// The positions lie in blocks of at most kBlock, so that an insertion moves at most one
// block's worth of them. Beside each block it keeps a copy of the block's last name, to find
// the block, with the order keys of its first 16 bytes in two integers: the search among the
// blocks reads one array, and only names that agree in all 16 bytes read the copy. For every
// entry it keeps a 4-byte window of its name taken behind a prefix that all names of the
// block share: within a block, names whose windows differ order as their windows do, and
// only equal windows need the names themselves. A window holds the order keys of 4 bytes
// (the upper-case form as a signed byte, offset by 128), 0 past the end.
//
// The positions are the caller's; the sequence only reads the nodes they lead to, which must
// keep their names while they are in it.
#ifndef VESK_NAMESEQUENCE_H
#define VESK_NAMESEQUENCE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <list>
#include <string_view>
#include <vector>

#include "FileString.h"
#include "SmartPointer.h"

namespace vesk {

class TreeNode;

class NameSequence {
 public:
  using Position = std::list<SmartPointer<TreeNode>>::iterator;
  // A block and an entry in it; block == the number of blocks stands for the end.
  struct Place {
    std::size_t block;
    std::size_t offset;
  };

  // The place of the first entry whose name does not order before `name`.
  Place find(FileString const& name) const;
  // The entry at `place`, or null at the end.
  const Position* at(Place place) const;
  // Inserts `position` at `place`, which find() answered for its name.
  void insert(Place place, Position position);
  void erase(Place place);
  // Appends `position`, whose name orders behind every other.
  void append(Position position);
  // Heap bytes taken.
  std::size_t bytes() const noexcept;

 private:
  struct Block {
    std::vector<Position> positions;
    std::vector<std::uint32_t> windows;
    std::uint32_t shared = 0;  // the length of the prefix all names of the block share
  };
  static constexpr std::size_t kBlock = 128;
  // The order keys of a name's first 16 bytes: keys that differ order as their names do.
  using Key = std::array<std::uint64_t, 2>;
  static Key keyOf(std::string_view name);

  static std::string_view nameAt(Position position);
  static std::uint32_t windowOf(std::string_view name, std::size_t from);
  bool sharesPrefix(std::size_t block, std::string_view text, const Key& key) const;
  std::size_t offsetIn(std::size_t block, FileString const& name, const Key& key) const;
  void putInto(std::size_t block, std::size_t offset, Position position);
  void narrow(std::size_t block, std::string_view name);
  void split(std::size_t full);
  void setLast(std::size_t block, FileString const& name);

  std::vector<Block> blocks_;
  std::vector<FileString> lasts_;  // the last name of each block
  std::vector<Key> lastKeys_;      // and its key
};

}  // namespace vesk

#endif  // VESK_NAMESEQUENCE_H
