// Helpers shared by the tests: a temporary folder, files, stored blocks, a replaced volume
// table and prompt, child processes, one on a terminal of its own, and a check for the
// library's exception.
#ifndef VESK_TESTS_TESTSUPPORT_H
#define VESK_TESTS_TESTSUPPORT_H

#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "MediaPrompt.h"
#include "VeskException.h"
#include "VolumeSource.h"

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

// Puts a volume table of the test's own in place of the system's for its lifetime; the test
// "inserts" and "removes" media by changing the table.
class ScopedVolumes {
 public:
  explicit ScopedVolumes(VolumeTable table);
  ScopedVolumes(const ScopedVolumes&) = delete;
  ScopedVolumes& operator=(const ScopedVolumes&) = delete;
  ~ScopedVolumes();
  void set(VolumeTable table);

 private:
  class Source;
  std::shared_ptr<Source> source_;
  std::shared_ptr<VolumeSource> previous_;
};

// Answers the missing-media prompt through a function of the test, for its lifetime.
class ScopedAnswerer {
 public:
  explicit ScopedAnswerer(MediaPrompt::Answerer answerer)
      : previous_(MediaPrompt::answerer(std::move(answerer))) {}
  ScopedAnswerer(const ScopedAnswerer&) = delete;
  ScopedAnswerer& operator=(const ScopedAnswerer&) = delete;
  ~ScopedAnswerer() { MediaPrompt::answerer(previous_); }

 private:
  MediaPrompt::Answerer previous_;
};

// `count` random bytes drawn from `seed`.
std::string randomBytes(std::size_t count, unsigned seed);
// The 8-byte little-endian length prefix of a block of `length` bytes.
std::string prefix(std::uint64_t length);
// A stored block: its prefix, then `data`.
std::string block(const std::string& data);

// The text of the VeskException that `call` throws, empty when it throws none.
std::string veskErrorOf(const std::function<void()>& call);
// Throws a VeskException of the text `error` unless it is empty.
void rethrow(const std::string& error);

// Writes `bytes` to a new file `path`, making the folders it lies in.
void writeFile(const std::string& path, const std::string& bytes);
// Writes each of `files` (bytes by path relative to `folder`) below `folder`.
void writeFiles(const std::string& folder, const std::map<std::string, std::string>& files);
// The bytes of the file `path`.
std::string readFile(const std::string& path);
// The regular files below `folder` with their bytes, by path relative to `folder`.
std::map<std::string, std::string> filesBelow(const std::string& folder);

// The exit status of the child `process` once it ends, or 128 + the signal that ended it.
int exitStatus(pid_t process);

// A child process that runs `work`, which must not return, on a pseudo terminal of its own
// (its controlling terminal and standard streams): the test reads what it shows and types.
class TerminalProgram {
 public:
  explicit TerminalProgram(const std::function<void()>& work);
  TerminalProgram(const TerminalProgram&) = delete;
  TerminalProgram& operator=(const TerminalProgram&) = delete;
  ~TerminalProgram();

  // Reads until `text` has been shown behind what the last wait found; answers false when the
  // program closed the terminal or showed nothing for a minute first.
  bool waitFor(const std::string& text);
  // Waits until the program's main thread waits in read(2) (a minute at most).
  bool waitUntilReading();
  void type(const std::string& text);
  // Waits for the program to end; kills it after a minute of silence (harmless once it ended).
  int finish();
  const std::string& shown() const { return shown_; }

 private:
  int terminal_ = -1;
  pid_t process_ = -1;
  std::string shown_;
  std::size_t found_ = 0;
};

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
