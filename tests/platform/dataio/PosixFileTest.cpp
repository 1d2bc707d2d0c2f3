// The file object of the platform: creation flags, and reads, writes, seeks and truncations
// against a model, unbuffered and buffered; and the descriptor beneath it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "FileDescriptor.h"
#include "TestSupport.h"
#include "VeskDataIO.h"

namespace {

using vesk::FileDescriptor;
using vesk::test::randomBytes;
using vesk::test::readFile;
using vesk::test::TempDir;
using vesk::test::writeFile;

constexpr std::uint32_t kReadWrite = VESK_ACCESS_READ | VESK_ACCESS_WRITE;

std::unique_ptr<CIOParent> open(const std::string& path, FILE_CREATION_FLAG creation,
                                int bufferSize = 0, std::uint32_t access = kReadWrite) {
  return std::unique_ptr<CIOParent>(VeskCreateIO(path.c_str(), access, 0, creation, bufferSize));
}

std::uint64_t sizeOf(CIOParent& file) {
  std::uint64_t bytes = 0;
  EXPECT_NE(file.querySize(&bytes), 0);
  return bytes;
}

TEST(VeskCreateIOTest, CreationFlagsReadOnlyFilesAndOffsetsBeyond4GiB) {
  TempDir folder;
  const std::string path = folder.file("a");
  EXPECT_EQ(VeskExists(path.c_str()), 0);
  EXPECT_EQ(open(path, FILE_OPEN_EXISTING), nullptr);
  EXPECT_EQ(open(path, FILE_TRUNCATE_EXISTING), nullptr);
  ASSERT_NE(open(path, FILE_CREATE_NEW), nullptr);
  EXPECT_NE(VeskExists(path.c_str()), 0);
  EXPECT_EQ(open(path, FILE_CREATE_NEW), nullptr);

  writeFile(path, "content");
  EXPECT_EQ(sizeOf(*open(path, FILE_OPEN_EXISTING)), 7u);
  EXPECT_EQ(sizeOf(*open(path, FILE_OPEN_ALWAYS)), 7u);
  EXPECT_EQ(sizeOf(*open(path, FILE_CREATE_ALWAYS)), 0u);
  writeFile(path, "content");
  EXPECT_EQ(sizeOf(*open(path, FILE_TRUNCATE_EXISTING)), 0u);

  errno = 0;
  EXPECT_EQ(open(folder.path().string(), FILE_OPEN_EXISTING, 0, VESK_ACCESS_READ), nullptr);
  EXPECT_EQ(errno, EISDIR);

  std::uint32_t done = 1;
  EXPECT_EQ(open(path, FILE_OPEN_EXISTING, 64, VESK_ACCESS_READ)->writeBytes("x", 1, &done), 0);
  EXPECT_EQ(done, 0u);
  const auto file = open(path, FILE_OPEN_EXISTING, 64);
  const std::int64_t far = (std::int64_t{1} << 32) + 5;
  ASSERT_NE(file->seek(0, far), 0);
  ASSERT_NE(file->writeBytes("far", 3, &done), 0);
  EXPECT_EQ(sizeOf(*file), static_cast<std::uint64_t>(far) + 3);
  char back[4] = {};
  ASSERT_NE(file->seek(2, -3), 0);
  ASSERT_NE(file->readBytes(back, 4, &done), 0);
  EXPECT_EQ(std::string(back, done), "far");
}

// Random reads, writes, seeks and truncations on a file and on a string that models it.
void agreeWithModel(int bufferSize) {
  TempDir folder;
  const std::string path = folder.file("model");
  std::string model;
  std::size_t position = 0;
  {
    const auto file = open(path, FILE_CREATE_ALWAYS, bufferSize);
    std::mt19937 random(static_cast<unsigned>(bufferSize) + 1);
    for (int step = 0; step < 3000; ++step) {
      const auto count = static_cast<unsigned>(random() % 3 == 0 ? random() % 300 : random() % 20);
      std::uint32_t done = 0;
      const auto operation = random() % 6;
      if (operation < 2) {
        const std::string bytes(count, static_cast<char>('a' + step % 26));
        ASSERT_NE(file->writeBytes(bytes.data(), count, &done), 0);
        ASSERT_EQ(done, count);
        if (count > 0) {  // writing nothing past the end does not extend the file
          model.resize(std::max(model.size(), position), '\0');
          model.replace(position, count, bytes);
        }
        position += count;
      } else if (operation < 4) {
        std::string bytes(count, '?');
        ASSERT_NE(file->readBytes(bytes.data(), count, &done), 0);
        bytes.resize(done);
        ASSERT_EQ(bytes, position < model.size() ? model.substr(position, count) : "") << step;
        position += done;
      } else if (operation == 4) {
        const int origin = static_cast<int>(random() % 3);
        const std::size_t base = origin == 0 ? 0 : origin == 1 ? position : model.size();
        const std::size_t target = random() % (model.size() + 50);
        ASSERT_NE(file->seek(origin, static_cast<std::int64_t>(target - base)), 0) << step;
        position = target;
        ASSERT_EQ(file->tell(), static_cast<std::int64_t>(position)) << step << " from " << origin;
      } else {
        if (random() % 4 == 0) {
          ASSERT_NE(file->setEndOfFile(), 0);
          model.resize(position, '\0');
        }
        ASSERT_EQ(sizeOf(*file), model.size());
        ASSERT_EQ(file->atEnd() != 0, position >= model.size());
      }
    }
    EXPECT_EQ(file->seek(0, -1), 0);
    EXPECT_EQ(file->seek(7, 0), 0);
    EXPECT_EQ(file->tell(), static_cast<std::int64_t>(position));
  }
  EXPECT_EQ(readFile(path), model);
}

TEST(PosixFileTest, UnbufferedAndBufferedAgreeWithModel) {
  for (int bufferSize : {0, 64, 2097152}) {
    SCOPED_TRACE("buffer " + std::to_string(bufferSize));
    agreeWithModel(bufferSize);
  }
}

// A pipe holds far less than is sent through it here, so both ends see partial transfers
// that read() and write() must complete.
TEST(FileDescriptorTest, ReadsAndWritesWholeThroughAPipeAndAFile) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  FileDescriptor in(ends[0]);
  const std::string sent = randomBytes(3 << 20, 7);
  std::thread writer([out = FileDescriptor(ends[1]), &sent]() mutable {
    EXPECT_TRUE(out.write(sent.data(), sent.size()));
    EXPECT_TRUE(out.close());
  });
  std::string got(sent.size() + 10, '\0');
  const std::int64_t count = in.read(got.data(), got.size());
  writer.join();
  ASSERT_EQ(count, static_cast<std::int64_t>(sent.size()));  // fewer only at the end
  got.resize(sent.size());
  EXPECT_TRUE(got == sent);

  vesk::test::TempDir folder;
  const FileDescriptor file = FileDescriptor::open(folder.file("f").c_str(), O_RDWR | O_CREAT);
  ASSERT_TRUE(file.valid());
  EXPECT_NE(::fcntl(file.get(), F_GETFD) & FD_CLOEXEC, 0);
  ASSERT_TRUE(file.writeAt("tail", 4, 10));
  ASSERT_TRUE(file.reserve(0, 100));
  struct stat status {};
  ASSERT_TRUE(file.status(status));
  EXPECT_EQ(status.st_size, 100);
  ASSERT_TRUE(file.truncate(14));
  char back[8];
  EXPECT_EQ(file.readAt(back, sizeof back, 8), 6);
  EXPECT_EQ(std::string(back, 6), std::string("\0\0tail", 6));
}

TEST(FileDescriptorTest, FailuresLeaveErrno) {
  vesk::test::TempDir folder;
  const std::string path = folder.file("f");
  errno = 0;
  EXPECT_FALSE(FileDescriptor::open(path.c_str(), O_RDONLY).valid());
  EXPECT_EQ(errno, ENOENT);
  writeFile(path, "content");
  FileDescriptor file = FileDescriptor::open(path.c_str(), O_RDONLY);
  ASSERT_TRUE(file.valid());
  EXPECT_FALSE(file.writeAt("x", 1, 0));
  EXPECT_EQ(errno, EBADF);
  const int old = file.get();
  file = FileDescriptor();  // closes what it held
  EXPECT_EQ(::fcntl(old, F_GETFD), -1);

  EXPECT_TRUE(FileDescriptor::syncFolderOf("bare-name"));  // the current folder
  EXPECT_TRUE(FileDescriptor::syncFolderOf("/"));
  EXPECT_FALSE(FileDescriptor::syncFolderOf(folder.file("missing/f")));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(FileDescriptor::syncFolderOf(path + "/f"));  // its folder is a file
  EXPECT_EQ(errno, ENOTDIR);
}

}  // namespace
