/// \class vesk::TreeSearcher TreeSearcher.h <vesk/TreeSearcher.h>
/// TreeSearcher: answers, one at a time and in list order, the live children of one directory
/// whose names match a wildcard pattern, directories and files alike; it never descends. The
/// search string is written like a file name on disk: its directory part is a path from the
/// start directory (see TreeNodeIterator::findDirectory), its last component the pattern. It
/// owns nothing and must not outlive the tree; the searched directory must not lose elements
/// while a search is under way. One thread at a time.
#ifndef VESK_TREESEARCHER_H
#define VESK_TREESEARCHER_H

#include "FileString.h"
#include "TreeNodeIterator.h"
#include "WildString.h"

namespace vesk {

class DirectoryNode;
class TreeNode;

class TreeSearcher {
 public:
  /// Finds the directory that the directory part of `searchString` names from `start`.
  /// Throws VeskException "Invalid path name" or "Invalid directory name" as the path lookup
  /// does, and after a successful lookup "Invalid search string" when the directory part
  /// holds the wildcard text "?*".
  TreeSearcher(FileString const& searchString, DirectoryNode* start);
  virtual ~TreeSearcher();
  /// The version text of the class.
  virtual char const* version() const;

  /// The first matching child, or null; calling it again restarts the search.
  TreeNode* first();
  /// The matching child after the one answered last; null before first() and after the end.
  TreeNode* next();

 private:
  TreeNodeIterator iterator_;
  WildString pattern_;
  DirectoryNode* directory_;
  TreeNode* current_;
};

}  // namespace vesk

#endif  // VESK_TREESEARCHER_H
