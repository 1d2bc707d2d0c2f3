#include "MessageTable.h"

#include <iterator>

#include "MessageIds.h"

namespace vesk {

const StringResource kArchiveTreeMessages[] = {
    {kMsgBeyondEndOfContainer, "Invalid access beyond end of container"},
    {kMsgCannotRemoveNode, "Cannot remove node"},
    {kMsgInvalidDirectoryName, "Invalid directory name"},
    {kMsgInvalidPathName, "Invalid path name"},
    {kMsgInvalidNodePointer, "Invalid node pointer"},
    {kMsgInvalidSearchString, "Invalid search string"},
    {kMsgFileSizeDiscrepancy, "File size discrepancy on commit"},
    {kMsgInvalidNodeType, "Invalid node type"},
    {kMsgSetEndOfFileFailed, "Set end of file failed"},
    {kMsgMissingFilePrompt,
     "Cannot find file '%s'.  Please insert the media '%s' \nand press Retry to continue.  "
     "Press Cancel to skip writing this file."},
    {kMsgMissingFileCaption, "Missing File"},
    {kMsgTreeNestedTooDeeply, "Stored tree is nested too deeply"},
};

const std::size_t kArchiveTreeMessageCount = std::size(kArchiveTreeMessages);

}  // namespace vesk
