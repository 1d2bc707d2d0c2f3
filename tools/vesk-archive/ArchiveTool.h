// ArchiveTool: the command line of vesk-archive. It parses the arguments, runs one command on
// an archive (A, the stream, beside A.toc, its saved tree) through vesk::Archive, prints what
// came of it and answers the exit status: 0 when all went well, 1 for a wrong argument or a
// file that cannot be read or written, 2 for a damaged archive, 75 when another process holds
// the archive and --no-wait was given, 130 when interrupted. Output goes to the two streams it
// is given, which must outlive it; every failure is one line on the error stream naming the
// archive or file. -q leaves only errors and the data asked for; -v tells each entry.
#ifndef VESK_ARCHIVETOOL_H
#define VESK_ARCHIVETOOL_H

#include <ostream>
#include <string>
#include <vector>

#include "Archive.h"

namespace vesk {

class DirectoryNode;
class TreeNode;

class ArchiveTool {
 public:
  // `terminal`: the output stream is a terminal `width` columns wide (progress bar).
  ArchiveTool(std::ostream& out, std::ostream& err, bool terminal, unsigned width);

  // Runs the command line `argv` (the program's name first).
  int run(int argc, const char* const* argv);
  // Runs the command given by `arguments` (without the program's name).
  int run(const std::vector<std::string>& arguments);

 private:
  struct Arguments;

  int dispatch(const std::string& command, const Arguments& arguments);
  int add(const Arguments& arguments);
  int addFrom(const Arguments& arguments);
  int commit(const Arguments& arguments);
  int commitPending(Archive& archive, const Arguments& arguments);
  int list(const Arguments& arguments);
  int find(const Arguments& arguments);
  int remove(const Arguments& arguments);
  int cleanup(const Arguments& arguments);
  int verify(const Arguments& arguments);
  int extract(const Arguments& arguments);
  int info(const Arguments& arguments);
  int cat(const Arguments& arguments);
  int mount(const Arguments& arguments);
  int demo(const Arguments& arguments);

  Archive::Options openFor(Archive::Access access, bool create = false) const;
  // The output stream for what is said about the work, silent with -q.
  std::ostream& say();
  int reportAdded(const Archive& archive, const TreeAdder::Report& report, const std::string& what);
  void reportLinks(const TreeAdder::Report& report);
  // Prints `nodes` as ls and find do: their names or paths, in long form or as JSON.
  void printEntries(const Archive& archive, const std::vector<TreeNode*>& nodes,
                    const Arguments& arguments, bool fullPaths);
  void printEntry(TreeNode& node, const Arguments& arguments, bool fullPath);
  std::vector<TreeNode*> findEverywhere(Archive& archive, const std::string& pattern);
  void printProblems(const Archive& archive, const ArchiveCheck& check);

  std::ostream& out_;
  std::ostream& err_;
  std::ostream silent_{nullptr};
  bool terminal_;
  unsigned width_;
  std::string context_;  // the archive the command works on, for messages
  bool noWait_ = false;
  bool quiet_ = false;
  bool verbose_ = false;
};

}  // namespace vesk

#endif  // VESK_ARCHIVETOOL_H
