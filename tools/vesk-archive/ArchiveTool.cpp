#include "ArchiveTool.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <functional>
#include <iomanip>
#include <memory>

#include <signal.h>

#include <csignal>

#include "Archive.h"
#include "BinStream.h"
#include "CommitProgress.h"
#include "Demo.h"
#include "FileNode.h"
#include "Format.h"
#include "MediaPrompt.h"
#include "ToolError.h"
#include "TreeNodeIterator.h"
#include "TreeSearcher.h"
#include "VeskException.h"

namespace vesk {

struct ArchiveTool::Arguments {
  std::string archive;
  std::string other;
  std::string to;
  std::string directory;
  std::string pattern;
  std::string target;
  std::vector<std::string> paths;
  bool recursive = false;
  bool longForm = false;
  bool dryRun = false;
  unsigned saveEvery = Committer::Options().saveEveryFiles;
};

namespace {

constexpr const char* kRemoveHelp =
    "Marks entries deleted; they vanish from listings at once. A deleted directory is saved "
    "without its contents, so the files below it are no longer named anywhere in the tree: "
    "their data stays in the stream, as blocks no entry names, until 'cleanup' gives back "
    "every such block. Pending files just leave the tree.";

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int /*number*/) {
  interrupted = 1;
}

// While it lives, SIGINT and SIGTERM stop a commit after the current file instead of ending
// the process. Without SA_RESTART, so that a prompt waiting for an answer gives up.
class InterruptTrap {
 public:
  InterruptTrap() {
    interrupted = 0;
    struct sigaction action {};
    action.sa_handler = &onInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &oldInterrupt_);
    ::sigaction(SIGTERM, &action, &oldTerminate_);
  }
  InterruptTrap(const InterruptTrap&) = delete;
  InterruptTrap& operator=(const InterruptTrap&) = delete;
  ~InterruptTrap() {
    ::sigaction(SIGINT, &oldInterrupt_, nullptr);
    ::sigaction(SIGTERM, &oldTerminate_, nullptr);
  }

 private:
  struct sigaction oldInterrupt_ {};
  struct sigaction oldTerminate_ {};
};

// The progress of a commit, which an interrupt stops.
class CommitDisplay : public CommitProgress {
 public:
  using CommitProgress::CommitProgress;
  bool cancelled() override { return interrupted != 0; }
};

// The prompt for a missing medium during a commit: it takes the progress bar off the terminal
// and asks through the answerer that was in place (the terminal by default); once the commit
// is interrupted it answers Cancel without asking.
MediaPrompt::Answerer promptAfter(CommitProgress& progress) {
  MediaPrompt::Answerer previous = MediaPrompt::answerer({});
  MediaPrompt::answerer(previous);
  return [previous, &progress](void* owner, const char* text, const char* caption, unsigned style) {
    if (interrupted != 0) {
      return MediaPrompt::kAnswerCancel;
    }
    progress.clear();
    return previous ? previous(owner, text, caption, style)
                    : MediaPrompt::askOnTerminal(owner, text, caption, style);
  };
}

int statusOf(const ArchiveError& error) {
  switch (error.kind()) {
    case ArchiveError::Kind::damaged:
      return ToolError::kDamaged;
    case ArchiveError::Kind::busy:
      return ToolError::kBusy;
    case ArchiveError::Kind::failed:
      break;
  }
  return ToolError::kUser;
}

char kindOf(TreeNode& node) {
  if (node.directory() != nullptr) {
    return 'd';
  }
  if (node.uncommittedFile() == nullptr) {
    return 'f';
  }
  return node.nodeType() == TreeNode::UNCOMMITTED_ARCHIVE_NODE ? 's' : 'p';
}

unsigned countDeleted(DirectoryNode& directory) {
  unsigned deleted = 0;
  for (const SmartPointer<TreeNode>& child : directory) {
    if (child->deleted()) {
      ++deleted;
    } else if (DirectoryNode* below = child->directory()) {
      deleted += countDeleted(*below);
    }
  }
  return deleted;
}

void addArchiveOption(CLI::App& command, std::string& archive) {
  command.add_option("archive", archive, "The archive: its stream; the tree is beside it in .toc")
      ->required();
}

}  // namespace

ArchiveTool::ArchiveTool(std::ostream& out, std::ostream& err, bool terminal, unsigned width)
    : out_(out), err_(err), terminal_(terminal), width_(width) {}

int ArchiveTool::run(const std::vector<std::string>& arguments) {
  std::vector<const char*> argv = {"vesk-archive"};
  for (const std::string& argument : arguments) {
    argv.push_back(argument.c_str());
  }
  return run(static_cast<int>(argv.size()), argv.data());
}

int ArchiveTool::run(int argc, const char* const* argv) {
  Arguments a;
  CLI::App app("Keeps many files in one archive stream A, described by the tree saved in A.toc.",
               "vesk-archive");
  app.require_subcommand(1);
  app.fallthrough();
  app.add_flag("--no-wait", noWait_,
               "When another process holds the archive, fail at once (status 75) instead of "
               "waiting for it");
  app.footer(
      "Exit status: 0 done, 1 wrong use or unreadable file, 2 damaged archive, 75 archive in "
      "use by another process (with --no-wait), 130 interrupted.\nMany processes may work on "
      "one archive: those that only read share it, one that writes has it to itself; the others "
      "wait, and say after a second which process they wait for.\nTree paths use '/'; '/' alone "
      "is the top of the tree.");

  CLI::App* add = app.add_subcommand("add", "Adds files and folders (recursively) as pending");
  addArchiveOption(*add, a.archive);
  add->add_option("paths", a.paths, "Files and folders on disk")->required();
  add->add_option("--to", a.to, "Tree directory to add to (made when missing)");

  CLI::App* addFrom =
      app.add_subcommand("add-from", "Adds entries of another archive as pending files");
  addArchiveOption(*addFrom, a.archive);
  addFrom->add_option("other", a.other, "The archive to take the entries from")->required();
  addFrom->add_option("treepaths", a.paths, "Entries of the other archive")->required();
  addFrom->add_option("--to", a.to, "Tree directory to add to (made when missing)");

  CLI::App* commit = app.add_subcommand("commit", "Stores the data of the pending files");
  commit->footer(
      "Shows progress, asks for missing media on the terminal and saves its work as it goes. "
      "Ctrl-C stops it after the current file, keeping what was stored. Files it cannot store "
      "(medium missing, source unreadable) stay pending.");
  addArchiveOption(*commit, a.archive);
  commit
      ->add_option("--save-every", a.saveEvery,
                   "Saves the tree after this many stored files, and at least every second")
      ->check(CLI::PositiveNumber)
      ->capture_default_str();

  CLI::App* ls = app.add_subcommand("ls", "Lists the entries of a tree directory");
  addArchiveOption(*ls, a.archive);
  ls->add_option("treedir", a.directory, "Tree directory or file (default: the top)");
  ls->add_flag("-R,--recursive", a.recursive, "Lists everything below, with full paths");
  ls->add_flag("-l,--long", a.longForm,
               "Kind (d directory, f file, p pending file, s pending slice), size, state, time");

  CLI::App* find = app.add_subcommand("find", "Wildcard search in one tree directory");
  find->footer(
      "'*' matches any run, '?' one character, letters ignoring case; wildcards only "
      "in the last component, e.g. 'docs/*.txt'. Status 1 when nothing matches.");
  addArchiveOption(*find, a.archive);
  find->add_option("pattern", a.pattern, "[TREEDIR/]PATTERN")->required();

  CLI::App* rm = app.add_subcommand("rm", "Deletes entries (files, directories)");
  rm->footer(kRemoveHelp);
  addArchiveOption(*rm, a.archive);
  rm->add_option("treepaths", a.paths, "Entries to delete")->required();

  CLI::App* cleanup =
      app.add_subcommand("cleanup", "Compacts the stream and lists the removed entries");
  cleanup->footer(
      "Gives back the bytes of the stream that no live file uses (deleted files, the contents "
      "of deleted directories, leftovers of interrupted commits; a lone 8-byte block of an "
      "empty file stays) and drops the deleted entries. The stream is compacted in place: the "
      "data behind each gap moves down. Every move is recorded in A.journal first, so if the "
      "command is killed at any moment, the next command on the archive finishes the cleanup "
      "before doing its own work.");
  addArchiveOption(*cleanup, a.archive);
  cleanup->add_flag("--dry-run", a.dryRun,
                    "Show what would go and what would move; change nothing");

  CLI::App* verify =
      app.add_subcommand("verify", "Checks the block chain and the tree against the stream");
  verify->footer(
      "Status 0 only when every live file's block lies whole on the chain inside the stream, "
      "its prefix equals the file's size and no two files overlap (clones may share a block). "
      "Empty files and leftovers of interrupted commits are accepted.");
  addArchiveOption(*verify, a.archive);

  CLI::App* extract = app.add_subcommand("extract", "Writes entries out into a folder");
  extract->footer(
      "Directories are written recursively, each entry under its own name in DIR. Names that "
      "could lead outside DIR ('..', '.', empty, with '/' or '\\') are refused and reported "
      "(status 1). Modification times come from the entries' creation times.");
  addArchiveOption(*extract, a.archive);
  extract->add_option("treepaths", a.paths, "Entries to write; '/' for everything")->required();
  extract->add_option("-C,--directory", a.target, "The folder to write into")->required();

  CLI::App* info = app.add_subcommand("info", "Counts, totals, sizes, what cleanup gives back");
  addArchiveOption(*info, a.archive);

  CLI::App* demo = app.add_subcommand("demo", "The whole cycle on generated sample data");
  demo->add_option("folder", a.target, "Where to work (default: a temporary folder, removed)");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) {
      return app.exit(error, out_, err_);
    }
    err_ << "vesk-archive: " << error.what() << " (try --help)\n";
    return ToolError::kUser;
  }
  return dispatch(app.get_subcommands().front()->get_name(), a);
}

int ArchiveTool::dispatch(const std::string& command, const Arguments& arguments) {
  using Handler = int (ArchiveTool::*)(const Arguments&);
  static const std::array<std::pair<const char*, Handler>, 11> kCommands = {{
      {"add", &ArchiveTool::add},
      {"add-from", &ArchiveTool::addFrom},
      {"commit", &ArchiveTool::commit},
      {"ls", &ArchiveTool::list},
      {"find", &ArchiveTool::find},
      {"rm", &ArchiveTool::remove},
      {"cleanup", &ArchiveTool::cleanup},
      {"verify", &ArchiveTool::verify},
      {"extract", &ArchiveTool::extract},
      {"info", &ArchiveTool::info},
      {"demo", &ArchiveTool::demo},
  }};
  context_ = arguments.archive;
  try {
    for (const auto& [name, handler] : kCommands) {
      if (command == name) {
        return (this->*handler)(arguments);
      }
    }
    throw ToolError(ToolError::kUser, "unknown command '" + command + "'");
  } catch (const ToolError& error) {
    err_ << "vesk-archive: " << error.what() << '\n';
    return error.status();
  } catch (const ArchiveError& error) {
    err_ << "vesk-archive: " << error.what() << '\n';
    return statusOf(error);
  } catch (const VeskException& error) {
    err_ << "vesk-archive: " << context_ << ": " << error.message() << '\n';
    return ToolError::kUser;
  } catch (const std::exception& error) {
    err_ << "vesk-archive: " << context_ << ": " << error.what() << '\n';
    return ToolError::kUser;
  }
}

Archive::Options ArchiveTool::openFor(Archive::Access access, bool create) const {
  Archive::Options options;
  options.access = access;
  options.create = create;
  if (noWait_) {
    options.wait.limit = std::chrono::milliseconds(0);
  }
  const std::string archive = context_;
  options.wait.waiting = [this, archive](const std::string& holders) {
    err_ << "vesk-archive: " << archive << ": waiting for " << holders
         << ", which holds the archive\n";
  };
  options.notice = [this](const std::string& note) { err_ << "vesk-archive: " << note << '\n'; };
  return options;
}

int ArchiveTool::reportAdded(const Archive& archive, const TreeAdder::Report& report,
                             const std::string& what) {
  for (const TreeAdder::Renamed& renamed : report.renamed) {
    out_ << "'" << renamed.wanted << "' is taken: added as " << renamed.path << '\n';
  }
  for (const TreeAdder::PassedOver& passed : report.passedOver) {
    err_ << "vesk-archive: passed over '" << passed.what << "': " << passed.why << '\n';
  }
  out_ << "added " << report.added << ' ' << what << " to " << archive.path();
  if (!report.passedOver.empty()) {
    out_ << ", passed over " << report.passedOver.size();
  }
  out_ << '\n';
  return report.passedOver.empty() ? 0 : ToolError::kUser;
}

int ArchiveTool::add(const Arguments& arguments) {
  Archive archive(arguments.archive, openFor(Archive::Access::write, true));
  const TreeAdder::Report report = archive.add(arguments.paths, arguments.to);
  archive.save();
  return reportAdded(archive, report, "pending files");
}

int ArchiveTool::addFrom(const Arguments& arguments) {
  Archive archive(arguments.archive, openFor(Archive::Access::write, true));
  const TreeAdder::Report report = archive.addFrom(arguments.other, arguments.paths, arguments.to);
  archive.save();
  return reportAdded(archive, report, "pending slices of " + arguments.other);
}

int ArchiveTool::commit(const Arguments& arguments) {
  Archive archive(arguments.archive, openFor(Archive::Access::write));
  const InterruptTrap trap;
  CommitDisplay progress(out_, terminal_, width_);
  Committer::Options options;
  options.saveEveryFiles = arguments.saveEvery;
  options.answerer = promptAfter(progress);
  Committer::Report report;
  try {
    report = archive.commit(progress, options);
  } catch (const std::exception&) {
    progress.end();
    throw;
  }
  if (report.cut > 0) {
    out_ << "cut " << Format::bytes(static_cast<std::uint64_t>(report.cut))
         << " that an interrupted commit left behind\n";
  }
  if (report.files == 0) {
    out_ << "nothing to commit\n";
    return 0;
  }
  progress.end();
  out_ << "stored " << report.stored << " of " << report.files << " files in " << archive.path()
       << '\n';
  for (const Committer::Skipped& skipped : report.skipped) {
    err_ << "vesk-archive: " << archive.path() << ": not stored, still pending: " << skipped.path
         << " (" << skipped.reason << ")\n";
  }
  if (report.cancelled || interrupted != 0) {
    err_ << "vesk-archive: " << archive.path() << ": interrupted; what was stored is saved\n";
    return ToolError::kInterrupted;
  }
  return report.skipped.empty() ? 0 : ToolError::kUser;
}

int ArchiveTool::list(const Arguments& arguments) {
  Archive archive(arguments.archive, openFor(Archive::Access::read));
  TreeNode* node = &archive.entry(arguments.directory);
  if (DirectoryNode* directory = node->directory()) {
    listDirectory(*directory, arguments.longForm, arguments.recursive);
  } else {
    listEntry(*node, arguments.longForm, true);
  }
  return 0;
}

void ArchiveTool::listDirectory(DirectoryNode& directory, bool longForm, bool recursive) {
  TreeNodeIterator children(&directory);
  for (TreeNode* child = children.firstNode(); child != nullptr; child = children.nextNode(child)) {
    listEntry(*child, longForm, recursive);
    if (recursive && child->directory() != nullptr) {
      listDirectory(*child->directory(), longForm, true);
    }
  }
}

void ArchiveTool::listEntry(TreeNode& node, bool longForm, bool fullPath) {
  const bool isDirectory = node.directory() != nullptr;
  const std::string name =
      (fullPath ? Archive::pathOf(node) : node.name().str()) + (isDirectory ? "/" : "");
  if (!longForm) {
    out_ << name << '\n';
    return;
  }
  const char kind = kindOf(node);
  const std::string size = isDirectory ? "-" : std::to_string(node.file()->fileSize());
  const char* state = isDirectory ? "-" : (kind == 'f' ? "stored" : "pending");
  const TimeDate& time = isDirectory ? node.timeStamp() : node.file()->creationTime();
  out_ << kind << ' ' << std::setw(12) << size << "  " << std::left << std::setw(8) << state
       << std::right << Format::time(time) << "  " << name << '\n';
}

int ArchiveTool::find(const Arguments& arguments) {
  Archive archive(arguments.archive, openFor(Archive::Access::read));
  DirectoryNode& root = archive.root();
  std::unique_ptr<TreeSearcher> searcher;
  try {
    searcher = std::make_unique<TreeSearcher>(root.name().str() + "/" + arguments.pattern, &root);
  } catch (const VeskException& error) {
    throw ToolError(ToolError::kUser, archive.path() + ": cannot search '" + arguments.pattern +
                                          "': " + error.what() +
                                          " (wildcards go in the last component only)");
  }
  unsigned found = 0;
  for (TreeNode* node = searcher->first(); node != nullptr; node = searcher->next()) {
    out_ << Archive::pathOf(*node) << (node->directory() != nullptr ? "/" : "") << '\n';
    ++found;
  }
  if (found == 0) {
    err_ << "vesk-archive: " << archive.path() << ": nothing matches '" << arguments.pattern
         << "'\n";
    return ToolError::kUser;
  }
  return 0;
}

int ArchiveTool::remove(const Arguments& arguments) {
  Archive archive(arguments.archive, openFor(Archive::Access::write));
  const std::vector<std::string> removed = archive.remove(arguments.paths);
  archive.save();
  for (const std::string& path : removed) {
    out_ << "removed " << path << '\n';
  }
  return 0;
}

// A dry run reads under the shared lock and leaves an interrupted cleanup alone.
int ArchiveTool::cleanup(const Arguments& arguments) {
  Archive::Options options =
      openFor(arguments.dryRun ? Archive::Access::read : Archive::Access::write);
  options.finishCleanup = !arguments.dryRun;
  Archive archive(arguments.archive, options);
  const Compactor::Result result = archive.cleanup(arguments.dryRun);
  const char* verb = arguments.dryRun ? "would remove " : "removed ";
  for (const std::string& path : result.removed) {
    out_ << verb << path << '\n';
  }
  if (result.unnamedBlocks > 0) {
    out_ << verb << result.unnamedBlocks << " blocks no entry named\n";
  }
  if (arguments.dryRun) {
    out_ << "would give back " << result.bytesBefore - result.bytesAfter << " bytes and move "
         << result.bytesMoved << " bytes; the stream would shrink from "
         << Format::bytes(static_cast<std::uint64_t>(result.bytesBefore)) << " to "
         << Format::bytes(static_cast<std::uint64_t>(result.bytesAfter)) << '\n';
    return 0;
  }
  out_ << "stream " << Format::bytes(static_cast<std::uint64_t>(result.bytesBefore)) << " -> "
       << Format::bytes(static_cast<std::uint64_t>(result.bytesAfter)) << '\n';
  return 0;
}

int ArchiveTool::verify(const Arguments& arguments) {
  Archive archive(arguments.archive, openFor(Archive::Access::read));
  const ArchiveCheck check = archive.verify();
  const BlockChain& chain = check.chain();
  out_ << "stream: " << chain.streamSize() << " bytes, " << chain.blocks().size()
       << " blocks on the chain, " << check.liveFiles() << " live files\n";
  for (const WasteRegion& waste : chain.waste()) {
    if (waste.kind != WasteRegion::Kind::unusedBlock) {
      out_ << "note: " << waste.bytes << " bytes at " << waste.position
           << (waste.kind == WasteRegion::Kind::tornTail ? " end in a torn block"
                                                         : " are a prefix without its data")
           << " (no entry uses them; cleanup gives them back)\n";
    }
  }
  bool chainOnly = false;
  try {
    chainOnly = archive.root().verifyCommitted(*archive.openForReading());
  } catch (const VeskException&) {
  }
  out_ << "note: the library's chain check (which refuses empty blocks) "
       << (chainOnly ? "passes" : "does not pass") << '\n';
  for (const std::string& problem : check.problems()) {
    err_ << "vesk-archive: " << archive.path() << ": " << problem << '\n';
  }
  if (!check.sound()) {
    err_ << "vesk-archive: " << archive.path() << ": damaged archive: " << check.problems().size()
         << " problems\n";
    return ToolError::kDamaged;
  }
  out_ << archive.path() << ": the tree matches the stream\n";
  return 0;
}

int ArchiveTool::extract(const Arguments& arguments) {
  Archive archive(arguments.archive, openFor(Archive::Access::read));
  const Extractor::Report report = archive.extract(arguments.paths, arguments.target);
  for (const std::string& path : report.pending) {
    out_ << "not yet committed, passed over: " << path << '\n';
  }
  for (const Extractor::Failure& failure : report.failures) {
    err_ << "vesk-archive: " << failure.reason << '\n';
  }
  out_ << "extracted " << report.files << " files into " << arguments.target << '\n';
  if (report.damaged()) {
    return ToolError::kDamaged;
  }
  return report.failures.empty() ? 0 : ToolError::kUser;
}

int ArchiveTool::info(const Arguments& arguments) {
  Archive archive(arguments.archive, openFor(Archive::Access::read));
  DirectoryNode& root = archive.root();
  const ArchiveCheck check = archive.verify();
  const std::uint64_t pendingBytes = root.totalUncommittedFileSize(true);
  out_ << "archive:      " << archive.path() << '\n'
       << "directories:  " << root.numberOfDirectories(true) << '\n'
       << "files:        " << root.numberOfFiles(true) << " (" << root.numberOfCommittedFiles(true)
       << " stored, " << root.numberOfUncommittedFiles(true) << " pending)\n"
       << "data:         " << Format::bytes(root.totalFileSize(true) - pendingBytes) << " stored, "
       << Format::bytes(pendingBytes) << " pending\n"
       << "deleted:      " << countDeleted(root) << " entries waiting for cleanup\n"
       << "stream:       " << check.chain().streamSize() << " bytes\n";
  if (!check.sound()) {
    err_ << "vesk-archive: " << archive.path()
         << ": the tree does not match the stream; run verify\n";
    return ToolError::kDamaged;
  }
  const Compactor::Result cleanup = archive.cleanup(true);
  out_ << "reclaimable:  " << cleanup.bytesBefore - cleanup.bytesAfter
       << " bytes (what cleanup gives back)\n";
  return 0;
}

int ArchiveTool::demo(const Arguments& arguments) {
  Demo demo(out_, err_, terminal_, width_,
            [](const std::vector<std::string>& command, std::ostream& out, std::ostream& err,
               bool terminal,
               unsigned width) { return ArchiveTool(out, err, terminal, width).run(command); });
  return demo.run(arguments.target);
}

}  // namespace vesk
