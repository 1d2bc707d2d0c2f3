// Volume file names and the table of mounted volumes. Covers: DiskDriveAccessor, VolumeSource,
// SystemVolumeSource.
#include "DiskDriveAccessor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <tuple>
#include <utility>

#include "ConstStrings.h"
#include "SystemVolumeSource.h"
#include "TestSupport.h"

namespace vesk {
namespace {

TEST(DiskDriveAccessorTest, FileNamesConvertByTheVolumeTableBothWays) {
  const MountedVolume root{"", "/", "/"};
  const VolumeTable usb{root, {"HOLIDAY", "/media/usb", "/"}};
  const VolumeTable moved{root, {"HOLIDAY", "/run/media/me/HOLIDAY", "/"}};
  const VolumeTable mountedTwice{root, {"OLD", "/media/usb", "/"}, {"NEW", "/media/usb", "/"}};
  const VolumeTable data{root, {"DATA", "/data", "/"}, {"", "/data/scratch", "/"}};
  // /mnt/sub shows the folder /sub of volume PHOTOS; /media/p shows the whole volume.
  const VolumeTable photos{root, {"PHOTOS", "/mnt/sub", "/sub"}, {"PHOTOS", "/media/p", "/"}};
  // The volumes mounted, whether the name goes to a volume file name (or back to a drive
  // file name), the name, and what it becomes.
  const std::tuple<VolumeTable, bool, const char*, std::string> cases[] = {
      {usb, true, "/media/usb/photos/a.jpg", "HOLIDAY>||/photos/a.jpg"},
      {usb, true, "/media/usb", "HOLIDAY>||/"},
      {usb, true, "/media/usbstick/a.jpg", "/media/usbstick/a.jpg"},
      {usb, true, "HOLIDAY>||/photos/a.jpg", "HOLIDAY>||/photos/a.jpg"},
      {usb, false, "HOLIDAY>||/photos/a.jpg", "/media/usb/photos/a.jpg"},
      {usb, false, "HOLIDAY>||/", "/media/usb"},
      {moved, false, "HOLIDAY>||/photos/a.jpg", "/run/media/me/HOLIDAY/photos/a.jpg"},
      {{root}, false, "HOLIDAY>||/photos/a.jpg", STR_NULL},
      {data, true, "/home/me/../me/./a.txt", "/home/me/a.txt"},
      {data, true, "/data/scratch/x", "/data/scratch/x"},
      {data, true, "/data/x", "DATA>||/x"},
      {data, false, "/home/me/a.txt", "/home/me/a.txt"},
      {photos, true, "/mnt/sub/a.jpg", "PHOTOS>||/sub/a.jpg"},
      {photos, false, "PHOTOS>||/sub/a.jpg", "/mnt/sub/a.jpg"},
      {photos, false, "PHOTOS>||/other/b.jpg", "/media/p/other/b.jpg"},
      {mountedTwice, true, "/media/usb/a", "NEW>||/a"},
  };
  test::ScopedVolumes volumes({});
  DiskDriveAccessor accessor;
  for (const auto& [table, toVolume, name, expected] : cases) {
    volumes.set(table);
    const FileString converted = toVolume ? accessor.driveFileNameToVolumeFileName(name, "||")
                                          : accessor.volumeFileNameToDriveFileName(name, "||");
    EXPECT_EQ(converted.str(), expected) << name;
  }
  EXPECT_EQ(accessor.driveFileNameToVolumeFileName("rel.txt", "||").str(),
            (std::filesystem::current_path() / "rel.txt").string());
}

// Names converted one after the other, as an add converts a folder's files, come out as each
// would alone: also a file that a volume is mounted on, or after the separator or the table
// changed.
TEST(DiskDriveAccessorTest, NamesInOneFolderConvertAsEachAlone) {
  test::ScopedVolumes volumes(
      {{"", "/", "/"}, {"DATA", "/data", "/"}, {"HOSTS", "/data/etc/hosts", "/hosts"}});
  DiskDriveAccessor accessor;
  const std::pair<const char*, std::string> sequence[] = {
      {"/data/etc/a", "DATA>||/etc/a"}, {"/data/etc/hosts", "HOSTS>||/hosts"},
      {"/data/etc/b", "DATA>||/etc/b"}, {"/data/x/a", "DATA>||/x/a"},
      {"/data/x/b", "DATA>||/x/b"},     {"/data/x/..", "DATA>||/"},
      {"/data/x/./c", "DATA>||/x/c"},   {"/data/x/c/", "DATA>||/x/c"},
      {"/other/a", "/other/a"},         {"/other/b", "/other/b"},
  };
  for (const auto& [name, expected] : sequence) {
    EXPECT_EQ(accessor.driveFileNameToVolumeFileName(name, "||").str(), expected) << name;
  }
  EXPECT_EQ(accessor.driveFileNameToVolumeFileName("/data/x/d", "||").str(), "DATA>||/x/d");
  EXPECT_EQ(accessor.driveFileNameToVolumeFileName("/data/x/e", "|").str(), "DATA>|/x/e");
  volumes.set({{"", "/", "/"}});
  EXPECT_EQ(accessor.driveFileNameToVolumeFileName("/data/x/f", "|").str(), "/data/x/f");

  // A relative name is taken from the current folder of the moment.
  const test::TempDir first;
  const test::TempDir second;
  const auto working = std::filesystem::current_path();
  for (const test::TempDir* folder : {&first, &second}) {
    std::filesystem::current_path(folder->path());
    EXPECT_EQ(accessor.driveFileNameToVolumeFileName("sub/a", "||").str(), folder->file("sub/a"));
  }
  std::filesystem::current_path(working);
}

TEST(SystemVolumeSourceTest, ParsesMountInfoAndReadsThisSystem) {
  const std::string text =
      "22 1 0:21 / / rw shared:1 - overlay overlay rw\n"
      "30 22 8:17 /photos /media/my\\040stick rw - vfat /dev/sdb1 rw\n"
      "31 22 8:18 / /mnt/other rw - ext4 /dev/sdb2 rw\n"
      "broken line\n";
  const VolumeTable table =
      SystemVolumeSource::parseMountInfo(text, {{"8:17", "HOLIDAY"}, {"8:18", "1234-ABCD"}});
  std::vector<std::string> described;
  for (const MountedVolume& volume : table) {
    described.push_back(volume.name + "|" + volume.mountPoint + "|" + volume.root);
  }
  EXPECT_EQ(described, (std::vector<std::string>{"|/|/", "HOLIDAY|/media/my stick|/photos",
                                                 "1234-ABCD|/mnt/other|/"}));
  EXPECT_EQ(SystemVolumeSource::unescape("My\\x20Disk\\x2fA\\x"), "My Disk/A\\x");

  SystemVolumeSource source;
  const auto system = source.volumes();
  EXPECT_EQ(source.volumes(), system);  // nothing changed: the same table
  EXPECT_TRUE(std::any_of(system->begin(), system->end(),
                          [](const MountedVolume& volume) { return volume.mountPoint == "/"; }));
}

}  // namespace
}  // namespace vesk
