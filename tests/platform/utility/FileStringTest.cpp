#include "FileString.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vesk {
namespace {

std::string text(const FileString& name) {
  return name.str();
}

TEST(FileStringTest, PartsOfPaths) {
  const FileString path("HOLIDAY>||/photos\\2026/a.jpg");
  EXPECT_EQ(text(path.fileName()), "a.jpg");
  EXPECT_EQ(text(path.directoryName()), "HOLIDAY>||/photos\\2026");
  EXPECT_EQ(text(path.pathName()), "HOLIDAY>||/photos\\2026/a.jpg");
  EXPECT_EQ(text(path.volumeName()), "HOLIDAY");

  EXPECT_EQ(text(FileString("plain").fileName()), "plain");
  EXPECT_EQ(text(FileString("plain").directoryName()), "");
  EXPECT_EQ(text(FileString("/top").directoryName()), "");
  EXPECT_EQ(text(FileString("dir/").fileName()), "");
  EXPECT_EQ(text(FileString("/media/usb/a.jpg").volumeName()), "");
  EXPECT_EQ(text(FileString("/tmp/a>b").volumeName()), "");
  EXPECT_EQ(text(FileString(">||/x").volumeName()), "");
}

TEST(FileStringTest, EqualityIgnoresCase) {
  EXPECT_TRUE(FileString("Photo.JPG") == FileString("photo.jpg"));
  EXPECT_FALSE(FileString("photo.jpg") == FileString("photo.jpeg"));
  EXPECT_TRUE(FileString() == FileString(""));
}

TEST(FileStringTest, IncrementCountsBeforeTheExtension) {
  FileString name("photo.jpg");
  const char* expected[] = {"photo(1).jpg", "photo(2).jpg", "photo(3).jpg"};
  for (const char* next : expected) {
    name.increment();
    EXPECT_EQ(text(name), next);
  }
  const std::pair<const char*, const char*> cases[] = {
      {"readme", "readme(1)"},     {"a(9)", "a(10)"}, {"a(99).txt", "a(100).txt"},
      {".profile", ".profile(1)"}, {"x()", "x()(1)"}, {"dir.d/file", "dir.d/file(1)"},
      {"a(b).c", "a(b)(1).c"},     {"", "(1)"},
  };
  for (const auto& [before, after] : cases) {
    FileString changed(before);
    changed.increment();
    EXPECT_EQ(text(changed), after) << before;
  }
}

TEST(FileStringTest, IncrementNeverRepeatsAName) {
  for (const char* start : {"photo.jpg", "readme", "a(7)"}) {
    FileString name(start);
    std::set<std::string> seen{text(name)};
    for (int i = 0; i < 2000; ++i) {
      name.increment();
      EXPECT_TRUE(seen.insert(text(name)).second) << text(name);
    }
  }
}

}  // namespace
}  // namespace vesk
