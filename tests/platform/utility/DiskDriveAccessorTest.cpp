#include "DiskDriveAccessor.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "ConstStrings.h"
#include "SystemVolumeSource.h"
#include "TestSupport.h"

namespace vesk {
namespace {

class DiskDriveAccessorTest : public ::testing::Test {
 protected:
  std::string toVolume(const char* path) const {
    return accessor_.driveFileNameToVolumeFileName(path, "||").str();
  }
  std::string toDrive(const char* name) const {
    return accessor_.volumeFileNameToDriveFileName(name, "||").str();
  }

  test::ScopedVolumes volumes_{{}};
  DiskDriveAccessor accessor_;
};

TEST_F(DiskDriveAccessorTest, LabelledVolumeRoundTripsWhereverItIsMounted) {
  volumes_.set({{"", "/", "/"}, {"HOLIDAY", "/media/usb", "/"}});
  EXPECT_EQ(toVolume("/media/usb/photos/a.jpg"), "HOLIDAY>||/photos/a.jpg");
  EXPECT_EQ(toVolume("/media/usb"), "HOLIDAY>||/");
  EXPECT_EQ(toVolume("/media/usbstick/a.jpg"), "/media/usbstick/a.jpg");
  EXPECT_EQ(toVolume("HOLIDAY>||/photos/a.jpg"), "HOLIDAY>||/photos/a.jpg");
  EXPECT_EQ(toDrive("HOLIDAY>||/photos/a.jpg"), "/media/usb/photos/a.jpg");
  EXPECT_EQ(toDrive("HOLIDAY>||/"), "/media/usb");

  volumes_.set({{"", "/", "/"}, {"HOLIDAY", "/run/media/me/HOLIDAY", "/"}});
  EXPECT_EQ(toDrive("HOLIDAY>||/photos/a.jpg"), "/run/media/me/HOLIDAY/photos/a.jpg");

  volumes_.set({{"", "/", "/"}});
  EXPECT_EQ(toDrive("HOLIDAY>||/photos/a.jpg"), STR_NULL);
}

TEST_F(DiskDriveAccessorTest, UnnamedFilesystemsKeepPlainPaths) {
  volumes_.set({{"", "/", "/"}, {"DATA", "/data", "/"}, {"", "/data/scratch", "/"}});
  EXPECT_EQ(toVolume("/home/me/../me/./a.txt"), "/home/me/a.txt");
  EXPECT_EQ(toVolume("/data/scratch/x"), "/data/scratch/x");
  EXPECT_EQ(toVolume("/data/x"), "DATA>||/x");
  EXPECT_EQ(toDrive("/home/me/a.txt"), "/home/me/a.txt");

  char here[4096];
  ASSERT_NE(::getcwd(here, sizeof here), nullptr);
  EXPECT_EQ(toVolume("rel.txt"), (std::string(here == std::string("/") ? "" : here) + "/rel.txt"));
}

TEST_F(DiskDriveAccessorTest, BindMountsAndLaterMountsAreRespected) {
  // /mnt/sub shows the folder /sub of volume PHOTOS; /media/p shows the whole volume.
  volumes_.set({{"", "/", "/"}, {"PHOTOS", "/mnt/sub", "/sub"}, {"PHOTOS", "/media/p", "/"}});
  EXPECT_EQ(toVolume("/mnt/sub/a.jpg"), "PHOTOS>||/sub/a.jpg");
  EXPECT_EQ(toDrive("PHOTOS>||/sub/a.jpg"), "/mnt/sub/a.jpg");
  EXPECT_EQ(toDrive("PHOTOS>||/other/b.jpg"), "/media/p/other/b.jpg");

  volumes_.set({{"", "/", "/"}, {"OLD", "/media/usb", "/"}, {"NEW", "/media/usb", "/"}});
  EXPECT_EQ(toVolume("/media/usb/a"), "NEW>||/a");
}

TEST(SystemVolumeSourceTest, ParsesMountInfoAndNamesDevices) {
  const std::string text =
      "22 1 0:21 / / rw shared:1 - overlay overlay rw\n"
      "30 22 8:17 /photos /media/my\\040stick rw - vfat /dev/sdb1 rw\n"
      "31 22 8:18 / /mnt/other rw - ext4 /dev/sdb2 rw\n"
      "broken line\n";
  const VolumeTable table =
      SystemVolumeSource::parseMountInfo(text, {{"8:17", "HOLIDAY"}, {"8:18", "1234-ABCD"}});
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[0].name, "");
  EXPECT_EQ(table[0].mountPoint, "/");
  EXPECT_EQ(table[1].name, "HOLIDAY");
  EXPECT_EQ(table[1].mountPoint, "/media/my stick");
  EXPECT_EQ(table[1].root, "/photos");
  EXPECT_EQ(table[2].name, "1234-ABCD");
  EXPECT_EQ(SystemVolumeSource::unescape("My\\x20Disk\\x2fA\\x"), "My Disk/A\\x");
}

TEST(SystemVolumeSourceTest, ReadsThisSystem) {
  SystemVolumeSource source;
  const auto table = source.volumes();
  EXPECT_EQ(source.volumes(), table);  // nothing changed: the same table
  EXPECT_TRUE(std::any_of(table->begin(), table->end(),
                          [](const MountedVolume& volume) { return volume.mountPoint == "/"; }));
}

}  // namespace
}  // namespace vesk
