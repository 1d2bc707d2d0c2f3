#include "NameSequence.h"

#include <algorithm>

#include "ICharTraits.h"
#include "TreeNode.h"

namespace vesk {

namespace {

using Traits = ICharTraits<char>;

// The length of the longest prefix the two names share, ignoring case.
std::size_t sharedLength(std::string_view a, std::string_view b) {
  std::size_t length = 0;
  while (length < a.size() && length < b.size() && Traits::eq(a[length], b[length])) {
    ++length;
  }
  return length;
}

}  // namespace

std::string_view NameSequence::nameAt(Position position) {
  return (*position)->name().view();
}

std::uint32_t NameSequence::windowOf(std::string_view name, std::size_t from) {
  std::uint32_t window = 0;
  for (std::size_t i = from; i < from + 4; ++i) {
    const auto key = i < name.size() ? static_cast<std::uint32_t>(Traits::key(name[i]) + 128) : 0u;
    window = window << 8 | key;
  }
  return window;
}

NameSequence::Key NameSequence::keyOf(std::string_view name) {
  const auto half = [&](std::size_t from) {
    return std::uint64_t{windowOf(name, from)} << 32 | windowOf(name, from + 4);
  };
  return {half(0), half(8)};
}

NameSequence::Place NameSequence::find(FileString const& name) const {
  const Key key = keyOf(name.view());
  const auto last = std::partition_point(lastKeys_.begin(), lastKeys_.end(), [&](const Key& k) {
    return k != key ? k < key : lasts_[static_cast<std::size_t>(&k - lastKeys_.data())] < name;
  });
  const auto block = static_cast<std::size_t>(last - lastKeys_.begin());
  return {block, block < blocks_.size() ? offsetIn(block, name, key) : 0};
}

// Whether `text`, whose key is `key`, begins with the prefix all names of the block share. A
// prefix of up to 16 bytes is compared in the keys, which hold real characters only up to
// the name's end.
bool NameSequence::sharesPrefix(std::size_t block, std::string_view text, const Key& key) const {
  const std::size_t shared = blocks_[block].shared;
  if (text.size() < shared) {
    return false;
  }
  if (shared > sizeof(Key)) {
    return sharedLength(text, lasts_[block].view().substr(0, shared)) == shared;
  }
  const auto leading = [](std::uint64_t half, std::size_t bytes) {
    return bytes == 0 ? 0 : bytes >= 8 ? half : half >> (64 - 8 * bytes);
  };
  const Key& last = lastKeys_[block];
  const std::size_t second = shared > 8 ? shared - 8 : 0;
  return leading(key[0], shared) == leading(last[0], shared) &&
         leading(key[1], second) == leading(last[1], second);
}

// Names of the block that do not share the block's prefix with `name` order all behind it:
// the block's last name does not order before it.
std::size_t NameSequence::offsetIn(std::size_t block, FileString const& name,
                                   const Key& key) const {
  const Block& entries = blocks_[block];
  const std::string_view text = name.view();
  if (!sharesPrefix(block, text, key)) {
    return 0;
  }
  const std::uint32_t window = windowOf(text, entries.shared);
  const auto before = [&](std::size_t i) {
    const std::uint32_t other = entries.windows[i];
    return other != window ? other < window : (*entries.positions[i])->name() < name;
  };
  std::size_t low = 0;
  std::size_t high = entries.positions.size();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (before(middle)) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

const NameSequence::Position* NameSequence::at(Place place) const {
  return place.block < blocks_.size() ? &blocks_[place.block].positions[place.offset] : nullptr;
}

void NameSequence::append(Position position) {
  if (blocks_.empty() || blocks_.back().positions.size() == kBlock) {
    blocks_.push_back(Block{{}, {}, static_cast<std::uint32_t>(nameAt(position).size())});
    lasts_.emplace_back();
    lastKeys_.emplace_back();
  }
  putInto(blocks_.size() - 1, blocks_.back().positions.size(), position);
}

void NameSequence::insert(Place place, Position position) {
  if (place.block == blocks_.size()) {
    append(position);
    return;
  }
  if (blocks_[place.block].positions.size() == kBlock) {
    split(place.block);
    if (place.offset > kBlock / 2) {
      place = {place.block + 1, place.offset - kBlock / 2};
    }
  }
  putInto(place.block, place.offset, position);
}

// Blocks grow 16 entries at a time, to keep the room they hold in reserve small.
void NameSequence::putInto(std::size_t block, std::size_t offset, Position position) {
  const std::string_view name = nameAt(position);
  narrow(block, name);
  Block& entries = blocks_[block];
  if (entries.positions.size() == entries.positions.capacity()) {
    entries.positions.reserve(entries.positions.size() + 16);
    entries.windows.reserve(entries.positions.size() + 16);
  }
  const auto at = static_cast<std::ptrdiff_t>(offset);
  entries.positions.insert(entries.positions.begin() + at, position);
  entries.windows.insert(entries.windows.begin() + at, windowOf(name, entries.shared));
  if (offset + 1 == entries.positions.size()) {
    setLast(block, (*position)->name());
  }
}

void NameSequence::setLast(std::size_t block, FileString const& name) {
  lasts_[block] = name;
  lastKeys_[block] = keyOf(name.view());
}

// Shortens the block's shared prefix to what it has in common with `name`, taking the
// windows anew behind the shorter prefix.
void NameSequence::narrow(std::size_t block, std::string_view name) {
  Block& entries = blocks_[block];
  const std::size_t shared =
      entries.positions.empty()
          ? name.size()
          : sharedLength(name, lasts_[block].view().substr(0, entries.shared));
  if (shared == entries.shared) {
    return;
  }
  entries.shared = static_cast<std::uint32_t>(shared);
  for (std::size_t i = 0; i < entries.positions.size(); ++i) {
    entries.windows[i] = windowOf(nameAt(entries.positions[i]), shared);
  }
}

// Moves the upper half of a full block into a new block behind it, with the same prefix.
void NameSequence::split(std::size_t full) {
  Block& lower = blocks_[full];
  Block upper{{lower.positions.begin() + kBlock / 2, lower.positions.end()},
              {lower.windows.begin() + kBlock / 2, lower.windows.end()},
              lower.shared};
  lower.positions.resize(kBlock / 2);
  lower.positions.shrink_to_fit();  // or half the lower block is room held in reserve
  lower.windows.resize(kBlock / 2);
  lower.windows.shrink_to_fit();
  const auto behind = static_cast<std::ptrdiff_t>(full) + 1;
  lasts_.insert(lasts_.begin() + behind, lasts_[full]);
  lastKeys_.insert(lastKeys_.begin() + behind, lastKeys_[full]);
  setLast(full, (*lower.positions.back())->name());
  blocks_.insert(blocks_.begin() + behind, std::move(upper));
}

void NameSequence::erase(Place place) {
  Block& entries = blocks_[place.block];
  const auto at = static_cast<std::ptrdiff_t>(place.offset);
  entries.positions.erase(entries.positions.begin() + at);
  entries.windows.erase(entries.windows.begin() + at);
  const auto block = static_cast<std::ptrdiff_t>(place.block);
  if (entries.positions.empty()) {
    blocks_.erase(blocks_.begin() + block);
    lasts_.erase(lasts_.begin() + block);
    lastKeys_.erase(lastKeys_.begin() + block);
  } else if (place.offset == entries.positions.size()) {
    setLast(place.block, (*entries.positions.back())->name());
  }
}

std::size_t NameSequence::bytes() const noexcept {
  std::size_t total = blocks_.capacity() * sizeof(Block) + lasts_.capacity() * sizeof(FileString) +
                      lastKeys_.capacity() * sizeof(Key);
  for (const Block& block : blocks_) {
    total += block.positions.capacity() * sizeof(Position) +
             block.windows.capacity() * sizeof(std::uint32_t);
  }
  for (const FileString& name : lasts_) {
    total += name.capacity() > 15 ? name.capacity() + 1 : 0;
  }
  return total;
}

}  // namespace vesk
