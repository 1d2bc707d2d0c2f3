// Helpers shared by the tests: a temporary folder and a check for the library's exception.
#ifndef VESK_TESTS_TESTSUPPORT_H
#define VESK_TESTS_TESTSUPPORT_H

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "VeskException.h"

namespace vesk::test {

// A fresh folder below the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Writes `bytes` to a new file `path`.
void writeFile(const std::string& path, const std::string& bytes);
// The bytes of the file `path`.
std::string readFile(const std::string& path);

}  // namespace vesk::test

// Expects `statement` to throw a VeskException whose text is `expected`.
#define EXPECT_VESK_ERROR(statement, expected)                                   \
  do {                                                                           \
    try {                                                                        \
      statement;                                                                 \
      ADD_FAILURE() << "no VeskException from " #statement;                      \
    } catch (const ::vesk::VeskException& error) {                               \
      EXPECT_EQ(std::string(error.what()), std::string(expected)) << #statement; \
    }                                                                            \
  } while (false)

#endif  // VESK_TESTS_TESTSUPPORT_H
