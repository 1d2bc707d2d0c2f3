/// \file MessageIds.h
/// The ids of the library's messages in its string table.
#ifndef VESK_MESSAGEIDS_H
#define VESK_MESSAGEIDS_H

namespace vesk {

inline constexpr int kMsgBeyondEndOfContainer = 41613;
inline constexpr int kMsgCannotRemoveNode = 41614;
inline constexpr int kMsgInvalidDirectoryName = 41615;
inline constexpr int kMsgInvalidPathName = 41616;
inline constexpr int kMsgInvalidNodePointer = 41617;
inline constexpr int kMsgInvalidSearchString = 41618;
inline constexpr int kMsgFileSizeDiscrepancy = 41619;
inline constexpr int kMsgInvalidNodeType = 41621;
inline constexpr int kMsgSetEndOfFileFailed = 41650;
inline constexpr int kMsgMissingFilePrompt = 41785;  ///< a format: file name, volume name
inline constexpr int kMsgMissingFileCaption = 41786;
inline constexpr int kMsgTreeNestedTooDeeply = 41787;

}  // namespace vesk

#endif  // VESK_MESSAGEIDS_H
