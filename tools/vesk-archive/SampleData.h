// SampleData: files with made-up contents for the demo: text and binary files of varied
// sizes, empty ones included, in nested folders. The same seed writes the same bytes.
#ifndef VESK_SAMPLEDATA_H
#define VESK_SAMPLEDATA_H

#include <cstdint>
#include <random>
#include <string>

namespace vesk {

class SampleData {
 public:
  explicit SampleData(std::uint32_t seed);

  // Writes the sample tree into `folder` (made when missing): docs, photos and music.
  // Answers the number of files written. Throws ToolError when a file cannot be written.
  unsigned writeCollection(const std::string& folder);
  // Writes `count` photos into `folder`, as a camera would put them on a memory card.
  unsigned writeCard(const std::string& folder, unsigned count);

 private:
  void writeText(const std::string& path, std::size_t lines);
  void writeBinary(const std::string& path, std::size_t bytes);
  std::size_t between(std::size_t low, std::size_t high);

  std::mt19937 random_;
};

}  // namespace vesk

#endif  // VESK_SAMPLEDATA_H
