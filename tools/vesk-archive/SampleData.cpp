#include "SampleData.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "ToolError.h"

namespace vesk {

namespace {

namespace fs = std::filesystem;

std::string numbered(const char* pattern, unsigned number) {
  std::array<char, 64> name{};
  std::snprintf(name.data(), name.size(), pattern, number);
  return name.data();
}

void makeFolder(const std::string& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    throw ToolError(ToolError::kUser,
                    "Cannot make the folder '" + folder + "': " + error.message());
  }
}

void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) {
    throw ToolError(ToolError::kUser, "Cannot write '" + path + "'");
  }
}

}  // namespace

SampleData::SampleData(std::uint32_t seed) : random_(seed) {}

std::size_t SampleData::between(std::size_t low, std::size_t high) {
  return std::uniform_int_distribution<std::size_t>(low, high)(random_);
}

void SampleData::writeText(const std::string& path, std::size_t lines) {
  static constexpr std::array<const char*, 12> kWords = {"archive", "block",   "tree",  "stream",
                                                         "commit",  "folder",  "data",  "volume",
                                                         "media",   "cleanup", "entry", "prefix"};
  std::string text;
  for (std::size_t line = 0; line < lines; ++line) {
    for (std::size_t word = between(3, 12); word > 0; --word) {
      text += kWords[between(0, kWords.size() - 1)];
      text += word > 1 ? ' ' : '\n';
    }
  }
  writeBytes(path, text);
}

void SampleData::writeBinary(const std::string& path, std::size_t bytes) {
  std::string data(bytes, '\0');
  for (char& byte : data) {
    byte = static_cast<char>(random_() & 0xFFu);
  }
  writeBytes(path, data);
}

unsigned SampleData::writeCollection(const std::string& folder) {
  unsigned files = 0;
  makeFolder(folder + "/docs/notes");
  for (unsigned i = 1; i <= 60; ++i, ++files) {
    writeText(folder + "/docs/" + numbered("report-%03u.txt", i), between(1, 200));
  }
  for (unsigned i = 1; i <= 30; ++i, ++files) {
    writeText(folder + "/docs/notes/" + numbered("note-%02u.txt", i), between(0, 20));
  }
  for (const char* year : {"2023", "2024"}) {
    makeFolder(folder + "/photos/" + year);
    for (unsigned i = 1; i <= 60; ++i, ++files) {
      writeBinary(folder + "/photos/" + year + "/" + numbered("img-%03u.jpg", i),
                  between(4096, 65536));
    }
  }
  for (unsigned album = 1; album <= 4; ++album) {
    const std::string albumFolder = folder + "/music/" + numbered("album-%u", album);
    makeFolder(albumFolder);
    for (unsigned track = 1; track <= 10; ++track, ++files) {
      writeBinary(albumFolder + "/" + numbered("track-%02u.ogg", track), between(16384, 131072));
    }
  }
  writeBytes(folder + "/empty.txt", "");
  writeBytes(folder + "/docs/notes/empty-note.txt", "");
  return files + 2;
}

unsigned SampleData::writeCard(const std::string& folder, unsigned count) {
  makeFolder(folder + "/DCIM/100CARD");
  for (unsigned i = 1; i <= count; ++i) {
    writeBinary(folder + "/DCIM/100CARD/" + numbered("card-%03u.jpg", i), between(8192, 98304));
  }
  return count;
}

}  // namespace vesk
