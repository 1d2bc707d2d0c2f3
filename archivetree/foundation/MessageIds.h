/// \file MessageIds.h
/// The ids of the library's messages in its string table.
#ifndef VESK_MESSAGEIDS_H
#define VESK_MESSAGEIDS_H

namespace vesk {

/// "Invalid access beyond end of container"
inline constexpr int kMsgBeyondEndOfContainer = 41613;
/// "Cannot remove node"
inline constexpr int kMsgCannotRemoveNode = 41614;
/// "Invalid directory name"
inline constexpr int kMsgInvalidDirectoryName = 41615;
/// "Invalid path name"
inline constexpr int kMsgInvalidPathName = 41616;
/// "Invalid node pointer"
inline constexpr int kMsgInvalidNodePointer = 41617;
/// "Invalid search string"
inline constexpr int kMsgInvalidSearchString = 41618;
/// "File size discrepancy"
inline constexpr int kMsgFileSizeDiscrepancy = 41619;
/// "Invalid node type"
inline constexpr int kMsgInvalidNodeType = 41621;
/// "Set end of file failed"
inline constexpr int kMsgSetEndOfFileFailed = 41650;
inline constexpr int kMsgMissingFilePrompt = 41785;  ///< a format: file name, volume name
/// The caption of the missing-media prompt.
inline constexpr int kMsgMissingFileCaption = 41786;
/// "Stored tree is nested too deeply"
inline constexpr int kMsgTreeNestedTooDeeply = 41787;

}  // namespace vesk

#endif  // VESK_MESSAGEIDS_H
