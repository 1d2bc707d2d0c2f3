// The archive stream over a file: open modes, one position, errors and their causes, copies
// and moves in the kernel, large files. Covers: BinVeskStream, OpenMode.
#include "BinVeskStream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "FileDescriptor.h"
#include "MemoryStream.h"
#include "TestSupport.h"

namespace vesk {
namespace {

using test::randomBytes;
using test::readFile;
using test::TempDir;
using test::writeFile;

std::string readAll(BinStream& stream) {
  std::string bytes(static_cast<std::size_t>(stream.size()), '\0');
  stream.seekg(0).read(bytes.data(), static_cast<unsigned>(bytes.size()));
  return bytes;
}

using test::veskErrorOf;

// Expects `call` to throw a VeskException of `text` caused by `error` on `path`, whose
// message() is `message`, or by default the text followed by the cause.
void expectCause(const std::function<void()>& call, const std::string& text, int error,
                 const std::string& path, std::string message = "") {
  if (message.empty()) {
    message = text + (error == 0 ? "" : " '" + path + "': " + std::strerror(error));
  }
  try {
    call();
    ADD_FAILURE() << "no VeskException, expected " << text;
  } catch (const VeskException& exception) {
    EXPECT_EQ(std::string(exception.what()), text);
    EXPECT_EQ(exception.error(), error) << text;
    EXPECT_EQ(exception.path(), path) << text;
    EXPECT_EQ(exception.message(), message);
  }
}

TEST(BinVeskStreamTest, OpenModesOnePositionTheFailedStateAndTheCausesOfErrors) {
  TempDir folder;
  const std::string path = folder.file("archive");
  BinVeskStream(path.c_str(), OpenMode::readWrite, false).write("content", 7);
  EXPECT_EQ(BinVeskStream(path.c_str(), OpenMode::readWrite, false).size(), 7);
  EXPECT_EQ(BinVeskStream(path.c_str(), OpenMode::readWrite | OpenMode::truncate, false).size(), 0);
  EXPECT_VESK_ERROR(BinVeskStream(path.c_str(), VESK_ACCESS_READ, 0, FILE_CREATE_NEW, true),
                    "VeskCreateIO failed");

  const std::string created = folder.file("new");
  char bytes[8];
  for (const bool buffered : {false, true}) {
    BinVeskStream readOnly(created.c_str(), OpenMode::read, buffered);  // made, read access only
    EXPECT_TRUE(std::filesystem::exists(created));
    expectCause([&] { readOnly.write("x", 1); }, "Cannot write to stream", EBADF, created);
    EXPECT_TRUE(readOnly.fail());
    readOnly.clear();
    EXPECT_VESK_ERROR(readOnly.setEOF(), "Set end of file failed");
    EXPECT_FALSE(readOnly.fail());
    expectCause([&] { readOnly.read(bytes, 1); }, "Cannot read from stream", 0, created);
    readOnly.clear();
    expectCause([&] { readOnly.seekg(-1); }, "Cannot position stream", EINVAL, created);
  }

  BinVeskStream stream(path.c_str(), OpenMode::readWrite, true);
  stream.write("0123456789", 10);
  stream.seekg(2).seekp(3, std::ios_base::cur);  // reading and writing share the position
  EXPECT_EQ(stream.tellg(), 5);
  stream.seekg(2).read(bytes, 2);
  stream.write("ab", 2);  // where the read stopped, into the buffer
  expectCause([&] { stream.seekg(5).read(bytes, 8); }, "Cannot read from stream", 0, path);
  EXPECT_TRUE(stream.fail());
  stream.clear();
  expectCause([&] { stream.seekp(-11, std::ios_base::end); }, "Cannot position stream", EINVAL,
              path);
  stream.clear();
  stream.seekp(6).setEOF();
  stream.sync();
  EXPECT_EQ(readFile(path), "0123ab");
  const std::unique_ptr<BinStream> other(stream.matchingStream(path.c_str(), OpenMode::read));
  EXPECT_EQ(readAll(*other), "0123ab");
  expectCause([&] { other->shiftBlock(4, 0, 4, 64); }, "Cannot read from stream", 0, path);

  const std::string folderPath = folder.path().string();
  expectCause([&] { BinVeskStream(folderPath.c_str(), OpenMode::read, false); },
              "VeskCreateIO failed", EISDIR, folderPath);
  const std::string missing = folder.file("no/such");
  expectCause([&] { BinVeskStream(missing.c_str(), OpenMode::readWrite, true); },
              "VeskCreateIO failed", ENOENT, missing);

  // A mode that neither reads nor writes is refused before a file is made; other bits (a
  // binary flag) add nothing.
  const std::string unmade = folder.file("unmade");
  EXPECT_EQ(BinVeskStream(path.c_str(), OpenMode::readWrite | 0x20, false).size(), 6);
  for (int mode : {0, 0x04, OpenMode::truncate | 0x20}) {
    expectCause([&] { BinVeskStream(unmade.c_str(), mode, false); }, "Invalid open mode", EINVAL,
                unmade);
  }
  EXPECT_FALSE(std::filesystem::exists(unmade));
}

// A small copy goes through the stream's buffer, a large one through the kernel; neither
// uses or moves the descriptor's own offset.
TEST(BinVeskStreamTest, CopyFromAnOpenDescriptorAtAnOffset) {
  TempDir folder;
  const std::string path = folder.file("archive");
  BinVeskStream archive(path.c_str(), OpenMode::readWrite | OpenMode::truncate, true);
  archive.write("head", 4);
  std::string expected = "head";
  for (const std::size_t length : {std::size_t{1000}, std::size_t{(1 << 20) + 5000}}) {
    const std::string source = folder.file("source" + std::to_string(length));
    const std::string bytes = randomBytes(length, static_cast<unsigned>(length));
    writeFile(source, bytes);
    const FileDescriptor file = FileDescriptor::open(source.c_str(), O_RDONLY);
    ASSERT_TRUE(file.valid());
    ASSERT_EQ(::lseek(file.get(), 3, SEEK_SET), 3);
    EXPECT_EQ(archive.copyFrom(file.get(), "source", static_cast<unsigned>(length), 100),
              length - 100);  // the source ends first
    EXPECT_EQ(::lseek(file.get(), 0, SEEK_CUR), 3);
    expected += bytes.substr(100);
    EXPECT_EQ(archive.tellp(), static_cast<std::int64_t>(expected.size()));
  }
  archive.flush();
  EXPECT_TRUE(readFile(path) == expected);
  const std::string badFile = "Cannot read 'gone': " + std::string(std::strerror(EBADF));
  expectCause([&] { archive.copyFrom(-1, "gone", 10, 0); }, badFile, EBADF, "gone", badFile);
}

TEST(BinVeskStreamTest, PositionsBeyondFourGibibytes) {
  TempDir folder;
  const std::string source = folder.file("source");
  writeFile(source, "0123456789");
  const std::int64_t far = (std::int64_t{5} << 30) + 3;
  const std::int64_t low = (std::int64_t{4} << 30) + 1;
  for (bool buffered : {false, true}) {
    BinVeskStream stream(folder.file("sparse").c_str(), OpenMode::readWrite | OpenMode::truncate,
                         buffered);
    stream.seekp(far).write("tail", 4);
    EXPECT_EQ(stream.copyFile(source.c_str(), 20, 4, 65536), 6u);
    EXPECT_EQ(stream.seekg(0, std::ios_base::end).tellp(), far + 10);
    stream.shiftBlock(far, low, 10, 65536);
    EXPECT_EQ(stream.tellp(), low + 10);
    char back[12];
    stream.seekg(-11, std::ios_base::cur).read(back, 12);  // to low - 1
    EXPECT_EQ(std::string(back, 12), std::string("\0tail456789\0", 12));
    stream.seekp(low + 4).setEOF();
    EXPECT_EQ(stream.size(), low + 4);
  }
}

// Random operations on an archive and on a MemoryStream, whose generic copies are the
// reference, must agree; they interleave so that a stale buffer would show. The kernel will
// not copy from /dev/shm, another file system, so that source takes the buffer.
void agreeWithMemoryStream(bool buffered, unsigned seed) {
  TempDir folder;
  struct Remove {
    std::string path;
    ~Remove() {
      std::error_code ignored;
      std::filesystem::remove(path, ignored);
    }
  } const shm{(std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : folder.path()) /
              ("vesk-stream-test-" + std::to_string(::getpid()))};
  const std::vector<std::pair<std::string, std::int64_t>> sources = {
      {folder.file("small"), 1000}, {folder.file("large"), 3500000}, {shm.path, 300000}};
  for (const auto& [path, length] : sources) {
    writeFile(path, randomBytes(static_cast<std::size_t>(length), seed));
  }
  const std::string path = folder.file("archive");
  BinVeskStream archive(path.c_str(), OpenMode::readWrite | OpenMode::truncate, buffered);
  MemoryStream model;
  std::mt19937 random(seed);
  const auto upTo = [&random](std::int64_t limit) {
    return static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(limit + 1));
  };
  // Reads `count` bytes at `from` from both and compares them.
  const auto agree = [&](std::int64_t from, std::int64_t count) {
    std::string expected(static_cast<std::size_t>(count), '\0');
    std::string got = expected;
    model.seekg(from).read(expected.data(), static_cast<unsigned>(count));
    archive.seekg(from).read(got.data(), static_cast<unsigned>(count));
    ASSERT_EQ(got, expected);
  };
  for (int step = 0; step < 400; ++step) {
    const std::int64_t size = model.size();
    const std::int64_t at = upTo(size);
    SCOPED_TRACE("step " + std::to_string(step));
    switch (random() % 5) {
      case 0: {
        const std::string bytes = randomBytes(static_cast<std::size_t>(upTo(5000)), seed + step);
        model.seekp(at).write(bytes.data(), static_cast<unsigned>(bytes.size()));
        archive.seekp(at).write(bytes.data(), static_cast<unsigned>(bytes.size()));
        break;
      }
      case 1:
        agree(at, upTo(std::min<std::int64_t>(size - at, 70000)));
        break;
      case 2: {  // the source may end before `count`
        const auto& [source, length] = sources[random() % sources.size()];
        const std::int64_t offset = upTo(length + 10);
        const auto count = static_cast<unsigned>(upTo(length - offset + 20));
        const auto piece = static_cast<unsigned>(1 + random() % 70000);
        const unsigned copied = archive.seekp(at).copyFile(source.c_str(), count, offset, piece);
        ASSERT_EQ(copied, model.seekp(at).copyFile(source.c_str(), count, offset, piece));
        agree(at, copied);  // not what a stale buffer holds
        break;
      }
      case 3: {  // down by a few bytes or far, up onto itself or clear of it, or nowhere
        const std::int64_t length = upTo(size / (1 + random() % 4));
        const std::int64_t from = upTo(size - length);
        std::int64_t to = upTo(size - length);
        if (random() % 3 == 0) {
          to = std::clamp<std::int64_t>(from + upTo(200) - 100, 0, size - length);
        }
        const auto piece = static_cast<unsigned>(4096 + random() % 70000);
        model.shiftBlock(from, to, length, piece);
        archive.shiftBlock(from, to, length, piece);
        agree(to, length);
        break;
      }
      default:
        if (size > 3000000 || random() % 3 == 0) {
          model.seekp(at).setEOF();
          archive.seekp(at).setEOF();
        }
        ASSERT_EQ(archive.size(), model.size());
        ASSERT_EQ(archive.eof(), model.eof());
    }
    ASSERT_EQ(archive.tellp(), model.tellp());
  }
  EXPECT_EQ(readAll(archive), model.bytes());
  archive.flush();
  EXPECT_EQ(readFile(path), model.bytes());
}

TEST(BinVeskStreamTest, CopiesAgreeWithTheGenericCopy) {
  agreeWithMemoryStream(true, 1);
  agreeWithMemoryStream(true, 2);
  agreeWithMemoryStream(false, 3);
}

TEST(BinVeskStreamTest, CopiesFailLikeTheGenericCopy) {
  TempDir folder;
  const std::string source = folder.file("source");
  writeFile(source, randomBytes(1000, 5));
  const std::string path = folder.file("archive");
  BinVeskStream archive(path.c_str(), OpenMode::readWrite | OpenMode::truncate, true);
  MemoryStream model;
  const auto bothFail = [&](const std::function<void(BinStream&)>& call) {
    const std::string expected = veskErrorOf([&] { call(model); });
    EXPECT_EQ(veskErrorOf([&] { call(archive); }), expected);
    EXPECT_EQ(archive.fail(), model.fail()) << expected;
    return expected;
  };
  for (const std::string& bad : {folder.file("missing"), folder.path().string()}) {
    bothFail([&](BinStream& s) { s.copyFile(bad.c_str(), 0, 0, 64); });
    const std::string error = bothFail([&](BinStream& s) { s.copyFile(bad.c_str(), 9, 0, 64); });
    EXPECT_NE(error.find(bad), std::string::npos) << error;
  }
  archive.write("0123456789", 10);
  model.write("0123456789", 10);
  EXPECT_EQ(bothFail([](BinStream& s) { s.shiftBlock(8, 0, 3, 64); }), "Cannot read from stream");
  bothFail([&](BinStream& s) { s.copyFile(source.c_str(), 10, 0, 64); });  // while failed
  model.clear();
  archive.clear();
  EXPECT_EQ(bothFail([](BinStream& s) { s.shiftBlock(-1, 0, 3, 64); }), "Cannot position stream");

  BinVeskStream readOnly(path.c_str(), OpenMode::read, true);
  EXPECT_VESK_ERROR(readOnly.copyFile(source.c_str(), 10, 0, 64), "Cannot write to stream");
  readOnly.clear();
  EXPECT_VESK_ERROR(readOnly.shiftBlock(5, 0, 5, 64), "Cannot write to stream");
  EXPECT_TRUE(readOnly.fail());
}

}  // namespace
}  // namespace vesk
