// The library's message texts and the version text of every class.
#include "ArchiveTreeStrings.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <utility>

#include "ConCommittedFiles.h"
#include "ConFileString.h"
#include "ConOffsetFix.h"
#include "MessageIds.h"
#include "SmartPointer.h"
#include "TreeNodeIterator.h"
#include "TreeSearcher.h"
#include "UncommittedArchiveNode.h"
#include "UncommittedFileNode.h"
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
  try {
    throw VeskException(archiveTreeStrings(kMsgSetEndOfFileFailed));
  } catch (const std::exception& error) {  // standard handlers catch the library's errors
    EXPECT_STREQ(error.what(), "Set end of file failed");
  }
}

TEST(VersionTest, EveryClassTellsItsVersionAndDate) {
  const SmartPointer<int> handle;
  const ObjRef<int> record(nullptr);
  DirectoryNode top("top", nullptr);
  const std::pair<std::string, std::string> versions[] = {
      {TreeNode::version(), "TreeNode 1.0, 16.08.1999"},
      {DirectoryNode::version(), "DirectoryNode 1.0, 16.08.1999"},
      {FileNode::version(), "FileNode 1.0, 16.08.1999"},
      {UncommittedNode::version(), "UncommittedNode 1.0, 16.08.1999"},
      {UncommittedFileNode::version(), "UncommittedFileNode 1.0, 16.08.1999"},
      {UncommittedArchiveNode::version(), "UncommittedArchiveNode 1.0, 12.10.1999"},
      {CommittedFiles::version(), "CommittedFiles 1.0, 16.08.1999"},
      {ConCommittedFiles::version(), "ConCommittedFiles 1.0, 23.09.1999"},
      {OffsetFix(0, 0).version(), "OffsetFix 1.0, 16.08.1999"},
      {ConOffsetFix::version(), "ConOffsetFix 1.0, 23.09.1999"},
      {ConFileString::version(), "ConFileString 1.0, 23.09.1999"},
      {TreeNodeIterator::version(), "TreeNodeIterator 1.0, 23.09.1999"},
      {TreeSearcher("top/*", &top).version(), "TreeSearcher 1.0, 22.09.1999"},
      {handle.version(), "SmartPointer 1.0, 10.09.1999"},
      {handle.SmartBase::version(), "SmartBase 1.0, 10.09.1999"},
      {record.version(), "ObjRef 1.0, 16.08.1999"},
      {record.RefBase::version(), "RefBase 1.0, 16.08.1999"},
  };
  for (const auto& [actual, expected] : versions) {
    EXPECT_EQ(actual, expected);
  }
}

}  // namespace
}  // namespace vesk
