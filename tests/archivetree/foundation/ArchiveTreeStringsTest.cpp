#include "ArchiveTreeStrings.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "MessageIds.h"
#include "VeskException.h"

namespace vesk {
namespace {

TEST(ArchiveTreeStringsTest, EveryMessageHasItsExactText) {
  const std::map<int, std::string> expected = {
      {41613, "Invalid access beyond end of container"},
      {41614, "Cannot remove node"},
      {41615, "Invalid directory name"},
      {41616, "Invalid path name"},
      {41617, "Invalid node pointer"},
      {41618, "Invalid search string"},
      {41619, "File size discrepancy on commit"},
      {41621, "Invalid node type"},
      {41650, "Set end of file failed"},
      {41785,
       "Cannot find file '%s'.  Please insert the media '%s' \n"
       "and press Retry to continue.  Press Cancel to skip writing this file."},
      {41786, "Missing File"},
      {41787, "Stored tree is nested too deeply"},
  };
  for (const auto& [id, text] : expected) {
    EXPECT_EQ(archiveTreeStrings(id).str(), text) << id;
  }
  const std::string missing = archiveTreeStrings(41620).str();
  EXPECT_NE(missing.find("41620"), std::string::npos);
}

TEST(ArchiveTreeStringsTest, OneObjectPerLoadedLibraryAndCountedInstances) {
  EXPECT_NE(ArchiveTreeStrings().instance(), nullptr);
  EXPECT_EQ(ArchiveTreeStrings::instCount(), 1u);
  {
    ArchiveTreeStrings second;
    EXPECT_EQ(ArchiveTreeStrings::instCount(), 2u);
    EXPECT_EQ(second[kMsgCannotRemoveNode].str(), "Cannot remove node");
  }
  EXPECT_EQ(ArchiveTreeStrings::instCount(), 1u);
}

TEST(ArchiveTreeStringsTest, StandardHandlersCatchTheLibrarysErrors) {
  try {
    throw VeskException(archiveTreeStrings(kMsgSetEndOfFileFailed));
  } catch (const std::exception& error) {
    EXPECT_STREQ(error.what(), "Set end of file failed");
  }
}

}  // namespace
}  // namespace vesk
