#include "FileString.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vesk {
namespace {

TEST(FileStringTest, PartsOfPathsAndEqualityIgnoringCase) {
  const FileString path("HOLIDAY>||/photos\\2026/a.jpg");
  EXPECT_EQ(path.fileName().str(), "a.jpg");
  EXPECT_EQ(path.directoryName().str(), "HOLIDAY>||/photos\\2026");
  EXPECT_EQ(path.volumeName().str(), "HOLIDAY");

  EXPECT_EQ(FileString("plain").fileName().str(), "plain");
  EXPECT_EQ(FileString("plain").directoryName().str(), "");
  EXPECT_EQ(FileString("/top").directoryName().str(), "");
  EXPECT_EQ(FileString("dir/").fileName().str(), "");
  EXPECT_EQ(FileString("/media/usb/a.jpg").volumeName().str(), "");
  EXPECT_EQ(FileString("/tmp/a>b").volumeName().str(), "");
  EXPECT_EQ(FileString(">||/x").volumeName().str(), "");
  EXPECT_TRUE(FileString("Photo.JPG") == FileString("photo.jpg"));
  EXPECT_FALSE(FileString("photo.jpg") == FileString("photo.jpeg"));
  EXPECT_TRUE(FileString() == FileString(""));
}

TEST(FileStringTest, IncrementCountsBeforeTheExtension) {
  const std::pair<const char*, const char*> cases[] = {
      {"photo.jpg", "photo(1).jpg"},
      {"photo(1).jpg", "photo(2).jpg"},
      {"readme", "readme(1)"},
      {"a(9)", "a(10)"},
      {"a(99).txt", "a(100).txt"},
      {".profile", ".profile(1)"},
      {"x()", "x()(1)"},
      {"dir.d/file", "dir.d/file(1)"},
      {"a(b).c", "a(b)(1).c"},
      {"", "(1)"},
  };
  for (const auto& [before, after] : cases) {
    FileString changed(before);
    changed.increment();
    EXPECT_EQ(changed.str(), after) << before;
  }
}

TEST(FileStringTest, IncrementNeverRepeatsAName) {
  for (const char* start : {"photo.jpg", "readme", "a(7)"}) {
    FileString name(start);
    std::set<std::string> seen{name.str()};
    for (int i = 0; i < 2000; ++i) {
      name.increment();
      EXPECT_TRUE(seen.insert(name.str()).second) << name.str();
    }
  }
}

}  // namespace
}  // namespace vesk
