#include "ArchiveTool.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <functional>
#include <iomanip>
#include <memory>
#include <optional>

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>

#include "Archive.h"
#include "ArchiveMount.h"
#include "BinStream.h"
#include "CommitProgress.h"
#include "Demo.h"
#include "FileNode.h"
#include "Format.h"
#include "MediaPrompt.h"
#include "ToolError.h"
#include "TreeNodeIterator.h"
#include "TreeSearcher.h"
#include "TreeWalker.h"
#include "VeskException.h"
#include "WildString.h"

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
  bool json = false;
  bool human = false;
  bool keep = false;
  bool overwrite = false;
  bool update = false;
  bool noFollow = false;
  bool commitAfter = false;
  bool foreground = false;
  std::vector<std::string> exclude;
  unsigned saveEvery = Committer::Options().saveEveryFiles;
};

namespace {

constexpr const char* kRemoveHelp =
    "Marks entries deleted; they vanish from listings at once. A deleted directory is saved "
    "without its contents, so the files below it are no longer named anywhere in the tree: "
    "their data stays in the stream, as blocks no entry names, until 'cleanup' gives back "
    "every such block. Pending files just leave the tree.";

constexpr std::size_t kProblemsShown = 20;

volatile std::sig_atomic_t interrupted = 0;
volatile std::sig_atomic_t resized = 0;

void onInterrupt(int /*number*/) {
  interrupted = 1;
}

void onResize(int /*number*/) {
  resized = 1;
}

// While it lives, SIGINT and SIGTERM stop a commit after the current file instead of ending
// the process. Without SA_RESTART, so that a prompt waiting for an answer gives up. SIGWINCH
// tells that the terminal changed its width.
class InterruptTrap {
 public:
  InterruptTrap() {
    interrupted = 0;
    struct sigaction action {};
    action.sa_handler = &onInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &oldInterrupt_);
    ::sigaction(SIGTERM, &action, &oldTerminate_);
    resized = 0;
    action.sa_handler = &onResize;
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGWINCH, &action, &oldResize_);
  }
  InterruptTrap(const InterruptTrap&) = delete;
  InterruptTrap& operator=(const InterruptTrap&) = delete;
  ~InterruptTrap() {
    ::sigaction(SIGINT, &oldInterrupt_, nullptr);
    ::sigaction(SIGTERM, &oldTerminate_, nullptr);
    ::sigaction(SIGWINCH, &oldResize_, nullptr);
  }

 private:
  struct sigaction oldInterrupt_ {};
  struct sigaction oldTerminate_ {};
  struct sigaction oldResize_ {};
};

// The progress of a commit, which an interrupt stops and which fits itself to the terminal
// when it is resized.
class CommitDisplay : public CommitProgress {
 public:
  using CommitProgress::CommitProgress;
  bool cancelled() override {
    fitToTerminal();
    return interrupted != 0;
  }
  void fileProgress(std::uint64_t copied) override {
    fitToTerminal();
    CommitProgress::fileProgress(copied);
  }

 private:
  void fitToTerminal() {
    if (resized != 0) {
      resized = 0;
      struct winsize size {};
      if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        resize(size.ws_col);
      }
    }
  }
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

const char* typeOf(TreeNode& node) {
  switch (kindOf(node)) {
    case 'd':
      return "directory";
    case 'f':
      return "file";
    case 's':
      return "slice";
    default:
      return "pending";
  }
}

// One entry as the JSON output of ls and find gives it; see the README.
nlohmann::json entryJson(TreeNode& node) {
  nlohmann::json entry = {
      {"path", Archive::pathOf(node)}, {"type", typeOf(node)}, {"readOnly", node.readOnly()}};
  if (const FileNode* file = node.file()) {
    entry["size"] = file->fileSize();
    entry["time"] = Format::isoTime(file->creationTime());
  } else {
    entry["time"] = Format::isoTime(node.timeStamp());
  }
  return entry;
}

// Names are bytes; JSON wants UTF-8, so bytes that are not become U+FFFD.
std::string dump(const nlohmann::json& document) {
  return document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

void addArchiveOption(CLI::App& command, std::string& archive) {
  command.add_option("archive", archive, "The archive: its stream; the tree is beside it in .toc")
      ->required();
}

void addJsonFlag(CLI::App& command, bool& json) {
  command.add_flag("--json", json, "Print one JSON document instead (see the README)");
}

void addSaveEveryOption(CLI::App& command, unsigned& saveEvery, const std::string& when = "") {
  command
      .add_option("--save-every", saveEvery,
                  "Saves the tree after this many stored files, and at least every second" + when)
      ->check(CLI::PositiveNumber)
      ->capture_default_str();
}

// The first argument that is not an option, when it names no command.
std::string unknownCommand(CLI::App& app, int argc, const char* const* argv) {
  for (int at = 1; at < argc; ++at) {
    const std::string argument = argv[at];
    if (!argument.empty() && argument[0] != '-') {
      const std::vector<CLI::App*> named = app.get_subcommands(
          [&argument](CLI::App* command) { return command->check_name(argument); });
      return named.empty() ? argument : std::string();
    }
  }
  return {};
}

// What cleanup would give back, found with one walk of the stream's chain; nothing when the
// tree does not match the stream.
std::optional<Compactor::Result> cleanupPlan(Archive& archive) {
  try {
    return archive.cleanup(true);
  } catch (const ArchiveError& error) {
    if (error.kind() != ArchiveError::Kind::damaged) {
      throw;
    }
    return std::nullopt;
  }
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
  app.set_version_flag("--version", std::string("vesk-archive ") + VESK_ARCHIVE_VERSION);
  app.add_flag("--no-wait", noWait_,
               "When another process holds the archive, fail at once (status 75) instead of "
               "waiting for it");
  app.add_flag("-q,--quiet", quiet_, "Print only errors and the data asked for");
  app.add_flag("-v,--verbose", verbose_, "Tell each entry added, every problem found");
  app.footer(
      "Exit status: 0 done, 1 wrong use or unreadable file, 2 damaged archive, 75 archive in "
      "use by another process (with --no-wait), 130 interrupted.\nMany processes may work on "
      "one archive: those that only read share it, one that writes has it to itself; the others "
      "wait, and say after a second which process they wait for.\nTree paths use '/'; '/' alone "
      "is the top of the tree; names ignore letter case. Names are shown with control "
      "characters and '\\' escaped as in C ('\\n', '\\x1b', '\\\\').\nEvery command takes "
      "--help, -q, -v and --no-wait.");

  CLI::App* add = app.add_subcommand("add", "Adds files and folders (recursively) as pending");
  add->footer(
      "Symbolic links are followed (a folder is never entered twice, so loops end); links "
      "passed over (with --no-follow, broken, or looping) are counted in one line and do not "
      "make the status 1. A file whose name is taken in the tree gets the next free name "
      "(name(1).txt), unless --update is given. With --commit, every pending file of the "
      "archive is then stored, as 'commit' stores them, without reading the tree again.");
  addArchiveOption(*add, a.archive);
  add->add_option("paths", a.paths, "Files and folders on disk")->required();
  add->add_option("--to", a.to, "Tree directory to add to (made when missing)");
  add->add_flag("-u,--update", a.update,
                "Replace an entry whose source changed in size or time, leave out unchanged ones");
  add->add_option("-x,--exclude", a.exclude,
                  "Leave out files and folders whose name matches this wildcard pattern "
                  "(repeatable)");
  add->add_flag("--no-follow", a.noFollow, "Pass over symbolic links instead of following them");
  add->add_flag("--commit", a.commitAfter,
                "Then store the pending files, as 'commit' does, in the same run");
  addSaveEveryOption(*add, a.saveEvery, " (with --commit)");

  CLI::App* addFrom =
      app.add_subcommand("add-from", "Adds entries of another archive as pending files");
  addArchiveOption(*addFrom, a.archive);
  addFrom->add_option("other", a.other, "The archive to take the entries from")->required();
  addFrom->add_option("treepaths", a.paths, "Entries of the other archive")->required();
  addFrom->add_option("--to", a.to, "Tree directory to add to (made when missing)");

  CLI::App* commit = app.add_subcommand("commit", "Stores the data of the pending files");
  commit->footer(
      "Shows progress (share stored, rate, time to go), asks for missing media on the terminal "
      "and saves its work as it goes. Ctrl-C stops it after the current file, keeping what was "
      "stored. Files it cannot store (medium missing, source unreadable) stay pending.");
  addArchiveOption(*commit, a.archive);
  addSaveEveryOption(*commit, a.saveEvery);

  CLI::App* ls = app.add_subcommand("ls", "Lists the entries of a tree directory");
  ls->set_help_flag("--help", "Print this help message and exit");
  addArchiveOption(*ls, a.archive);
  ls->add_option("treedir", a.directory, "Tree directory or file (default: the top)");
  ls->add_flag("-R,--recursive", a.recursive, "Lists everything below, with full paths");
  ls->add_flag("-l,--long", a.longForm,
               "Kind (d directory, f file, p pending file, s pending slice), size in bytes, "
               "state, time");
  ls->add_flag("-h,-H,--human", a.human, "Sizes in KiB, MiB, GiB (with -l)");
  addJsonFlag(*ls, a.json);

  CLI::App* find = app.add_subcommand("find", "Wildcard search in a tree directory");
  find->footer(
      "'*' matches any run, '?' one character, letters ignoring case; wildcards only "
      "in the last component, e.g. 'docs/*.txt'. With -R the last component is matched "
      "against the names of all entries below the directory. Status 1 when nothing matches.");
  addArchiveOption(*find, a.archive);
  find->add_option("pattern", a.pattern, "[TREEDIR/]PATTERN")->required();
  find->add_flag("-R,--recursive", a.recursive, "Search below every directory too");
  addJsonFlag(*find, a.json);

  CLI::App* cat = app.add_subcommand("cat", "Writes the data of stored files to standard output");
  addArchiveOption(*cat, a.archive);
  cat->add_option("treepaths", a.paths, "Stored files, written one after the other")->required();

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

  CLI::App* verify = app.add_subcommand("verify", "Checks that every file's data is whole");
  verify->footer(
      "Status 0 only when the data of every stored file lies whole in the stream, where the "
      "tree says, of the size it says, and no two files overlap (copies may share their data). "
      "Bytes no file uses, such as those an interrupted commit left, are counted, not faulted. "
      "Shows the first 20 problems and how many there are (-v: all of them).");
  addArchiveOption(*verify, a.archive);
  addJsonFlag(*verify, a.json);

  CLI::App* extract = app.add_subcommand("extract", "Writes entries out into a folder");
  extract->footer(
      "Directories are written recursively, each entry under its own name in DIR. An existing "
      "file is left alone and reported (status 1) unless --overwrite or --keep is given. Names "
      "that could lead outside DIR ('..', '.', empty, with '/' or '\\') are refused and "
      "reported (status 1). Modification times come from the entries' creation times.");
  addArchiveOption(*extract, a.archive);
  extract->add_option("treepaths", a.paths, "Entries to write; '/' for everything")->required();
  extract->add_option("-C,--directory", a.target, "The folder to write into (default: here)");
  CLI::Option* keep =
      extract->add_flag("-k,--keep", a.keep, "Keep existing files, quietly, never overwrite");
  extract->add_flag("-o,--overwrite", a.overwrite, "Replace existing files")->excludes(keep);

  CLI::App* info = app.add_subcommand("info", "Counts, totals, sizes, what cleanup gives back");
  addArchiveOption(*info, a.archive);
  addJsonFlag(*info, a.json);

  CLI::App* mount = app.add_subcommand("mount", "Shows the archive as a read-only file system");
  mount->footer(
      "Folders and stored files appear with their sizes, times and read-only marks; pending "
      "files are not shown. Every write fails (read-only file system). The archive is held as "
      "by a reading command until the folder is unmounted ('fusermount3 -u DIR', or Ctrl-C "
      "with -f), so commands that write wait until then.");
  addArchiveOption(*mount, a.archive);
  mount->add_option("folder", a.target, "An empty folder to mount on")->required();
  mount->add_flag("-f,--foreground", a.foreground, "Stay in the foreground until unmounted");

  CLI::App* demo = app.add_subcommand("demo", "The whole cycle on generated sample data");
  demo->add_option("folder", a.target, "Where to work (default: a temporary folder, removed)");

  const std::string unknown = unknownCommand(app, argc, argv);
  if (!unknown.empty()) {
    err_ << "vesk-archive: unknown command '" << Format::name(unknown) << "' (try --help)\n";
    return ToolError::kUser;
  }
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
  static const std::array<std::pair<const char*, Handler>, 13> kCommands = {{
      {"add", &ArchiveTool::add},
      {"add-from", &ArchiveTool::addFrom},
      {"commit", &ArchiveTool::commit},
      {"ls", &ArchiveTool::list},
      {"find", &ArchiveTool::find},
      {"cat", &ArchiveTool::cat},
      {"rm", &ArchiveTool::remove},
      {"cleanup", &ArchiveTool::cleanup},
      {"verify", &ArchiveTool::verify},
      {"extract", &ArchiveTool::extract},
      {"info", &ArchiveTool::info},
      {"mount", &ArchiveTool::mount},
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

std::ostream& ArchiveTool::say() {
  return quiet_ ? silent_ : out_;
}

int ArchiveTool::reportAdded(const Archive& archive, const TreeAdder::Report& report,
                             const std::string& what) {
  for (const TreeAdder::Renamed& renamed : report.renamed) {
    if (renamed.holder != renamed.wanted &&
        FileString(renamed.holder.c_str()) == FileString(renamed.wanted.c_str())) {
      say() << "'" << Format::name(renamed.wanted) << "' differs only in letter case from '"
            << Format::name(renamed.holder) << "', which is there (names ignore case): added as "
            << Format::name(renamed.path) << '\n';
    } else {
      say() << "'" << Format::name(renamed.wanted) << "' is taken: added as "
            << Format::name(renamed.path) << '\n';
    }
  }
  for (const TreeAdder::PassedOver& passed : report.passedOver) {
    err_ << "vesk-archive: passed over '" << Format::name(passed.what) << "': " << passed.why
         << '\n';
  }
  if (verbose_) {
    for (const std::string& path : report.addedPaths) {
      out_ << "added " << Format::name(path) << '\n';
    }
  }
  reportLinks(report);
  say() << "added " << report.added << ' ' << what << " to " << archive.path();
  if (report.replaced > 0) {
    say() << " (" << report.replaced << " replacing changed entries)";
  }
  if (report.unchanged > 0) {
    say() << ", " << report.unchanged << " unchanged";
  }
  if (report.excluded > 0) {
    say() << ", " << report.excluded << " excluded";
  }
  if (!report.passedOver.empty()) {
    say() << ", passed over " << report.passedOver.size();
  }
  say() << '\n';
  return report.passedOver.empty() ? 0 : ToolError::kUser;
}

// Links passed over are expected on real folders: one line, each one only with -v.
void ArchiveTool::reportLinks(const TreeAdder::Report& report) {
  if (report.links.empty()) {
    return;
  }
  if (verbose_) {
    for (const TreeAdder::PassedOver& link : report.links) {
      err_ << "vesk-archive: passed over link '" << Format::name(link.what) << "': " << link.why
           << '\n';
    }
  }
  if (!quiet_) {
    err_ << "vesk-archive: passed over " << report.links.size()
         << (report.links.size() == 1 ? " symbolic link" : " symbolic links")
         << " (not followed, broken or leading to a folder added already)"
         << (verbose_ ? "" : "; -v names them") << '\n';
  }
}

// With --commit, the archive stays open for the commit, which then needs no loading of the
// tree that was just saved. The status is the commit's when it was interrupted, else 1 when
// either part left something out.
int ArchiveTool::add(const Arguments& arguments) {
  Archive archive(arguments.archive, openFor(Archive::Access::write, true));
  TreeAdder::Options options;
  options.update = arguments.update;
  options.followLinks = !arguments.noFollow;
  options.exclude = arguments.exclude;
  const TreeAdder::Report report = archive.add(arguments.paths, arguments.to, options);
  archive.save();
  const int added = reportAdded(archive, report, "pending files");
  if (!arguments.commitAfter) {
    return added;
  }
  const int committed = commitPending(archive, arguments);
  return committed != 0 ? committed : added;
}

int ArchiveTool::addFrom(const Arguments& arguments) {
  Archive archive(arguments.archive, openFor(Archive::Access::write, true));
  const TreeAdder::Report report = archive.addFrom(arguments.other, arguments.paths, arguments.to);
  archive.save();
  return reportAdded(archive, report, "pending slices of " + arguments.other);
}

int ArchiveTool::commit(const Arguments& arguments) {
  Archive archive(arguments.archive, openFor(Archive::Access::write));
  return commitPending(archive, arguments);
}

int ArchiveTool::commitPending(Archive& archive, const Arguments& arguments) {
  const InterruptTrap trap;
  CommitDisplay progress(say(), terminal_ && !quiet_, width_);
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
    say() << "cut " << Format::bytes(static_cast<std::uint64_t>(report.cut))
          << " that an interrupted commit left behind\n";
  }
  if (report.files == 0) {
    say() << "nothing to commit\n";
    return 0;
  }
  progress.end();
  say() << "stored " << report.stored << " of " << report.files << " files in " << archive.path()
        << '\n';
  for (const Committer::Skipped& skipped : report.skipped) {
    err_ << "vesk-archive: " << archive.path()
         << ": not stored, still pending: " << Format::name(skipped.path) << " (" << skipped.reason
         << ")\n";
  }
  if (report.cancelled || interrupted != 0) {
    err_ << "vesk-archive: " << archive.path() << ": interrupted; what was stored is saved\n";
    return ToolError::kInterrupted;
  }
  return report.skipped.empty() ? 0 : ToolError::kUser;
}

int ArchiveTool::list(const Arguments& arguments) {
  Archive archive(arguments.archive, openFor(Archive::Access::read));
  TreeNode& node = archive.entry(arguments.directory);
  std::vector<TreeNode*> nodes;
  if (DirectoryNode* directory = node.directory()) {
    TreeWalker::walk(*directory, [&](TreeNode& entry, unsigned /*depth*/) {
      nodes.push_back(&entry);
      return arguments.recursive;
    });
  } else {
    nodes.push_back(&node);
  }
  printEntries(archive, nodes, arguments, arguments.recursive || node.directory() == nullptr);
  return 0;
}

void ArchiveTool::printEntries(const Archive& archive, const std::vector<TreeNode*>& nodes,
                               const Arguments& arguments, bool fullPaths) {
  if (!arguments.json) {
    for (TreeNode* node : nodes) {
      printEntry(*node, arguments, fullPaths);
    }
    return;
  }
  nlohmann::json entries = nlohmann::json::array();
  for (TreeNode* node : nodes) {
    entries.push_back(entryJson(*node));
  }
  out_ << dump({{"archive", archive.path()}, {"entries", std::move(entries)}});
}

void ArchiveTool::printEntry(TreeNode& node, const Arguments& arguments, bool fullPath) {
  const bool isDirectory = node.directory() != nullptr;
  const std::string name =
      Format::name(fullPath ? Archive::pathOf(node) : node.name().str()) + (isDirectory ? "/" : "");
  if (!arguments.longForm) {
    out_ << name << '\n';
    return;
  }
  const char kind = kindOf(node);
  std::string size = "-";
  if (!isDirectory) {
    const std::uint64_t bytes = node.file()->fileSize();
    size = arguments.human ? Format::bytes(bytes) : std::to_string(bytes);
  }
  const char* state = isDirectory ? "-" : (kind == 'f' ? "stored" : "pending");
  const TimeDate& time = isDirectory ? node.timeStamp() : node.file()->creationTime();
  out_ << kind << ' ' << std::setw(12) << size << "  " << std::left << std::setw(8) << state
       << std::right << Format::time(time) << "  " << name << '\n';
}

int ArchiveTool::find(const Arguments& arguments) {
  Archive archive(arguments.archive, openFor(Archive::Access::read));
  std::vector<TreeNode*> found;
  if (arguments.recursive) {
    found = findEverywhere(archive, arguments.pattern);
  } else {
    DirectoryNode& root = archive.root();
    std::unique_ptr<TreeSearcher> searcher;
    try {
      searcher = std::make_unique<TreeSearcher>(root.name().str() + "/" + arguments.pattern, &root);
    } catch (const VeskException& error) {
      throw ToolError(ToolError::kUser, archive.path() + ": cannot search '" + arguments.pattern +
                                            "': " + error.what() +
                                            " (wildcards go in the last component only)");
    }
    for (TreeNode* node = searcher->first(); node != nullptr; node = searcher->next()) {
      found.push_back(node);
    }
  }
  if (found.empty() && !arguments.json) {
    err_ << "vesk-archive: " << archive.path() << ": nothing matches '"
         << Format::name(arguments.pattern) << "'\n";
    return ToolError::kUser;
  }
  printEntries(archive, found, arguments, true);
  return found.empty() ? ToolError::kUser : 0;
}

// The entries below the pattern's directory, at any depth, whose names match its last
// component.
std::vector<TreeNode*> ArchiveTool::findEverywhere(Archive& archive, const std::string& pattern) {
  const std::size_t slash = pattern.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? "" : pattern.substr(0, slash);
  const WildString wildcard(pattern.substr(slash == std::string::npos ? 0 : slash + 1).c_str());
  DirectoryNode* start = archive.entry(folder).directory();
  if (start == nullptr) {
    throw ToolError(ToolError::kUser,
                    archive.path() + ": '" + Format::name(folder) + "' is not a directory");
  }
  std::vector<TreeNode*> found;
  TreeWalker::walkAll(*start, [&](TreeNode& node) {
    if (wildcard.match(node.name().str().c_str())) {
      found.push_back(&node);
    }
  });
  return found;
}

int ArchiveTool::cat(const Arguments& arguments) {
  Archive archive(arguments.archive, openFor(Archive::Access::read));
  for (const std::string& path : arguments.paths) {
    archive.extractFile(path, out_);
  }
  out_.flush();
  return 0;
}

int ArchiveTool::remove(const Arguments& arguments) {
  Archive archive(arguments.archive, openFor(Archive::Access::write));
  const std::vector<std::string> removed = archive.remove(arguments.paths);
  archive.save();
  for (const std::string& path : removed) {
    say() << "removed " << Format::name(path) << '\n';
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
    say() << verb << Format::name(path) << '\n';
  }
  if (result.unnamedBlocks > 0) {
    say() << verb << result.unnamedBlocks << " blocks no entry named\n";
  }
  const auto before = static_cast<std::uint64_t>(result.bytesBefore);
  const auto after = static_cast<std::uint64_t>(result.bytesAfter);
  if (arguments.dryRun) {
    say() << "would give back " << Format::bytes(before - after) << " and move "
          << Format::bytes(static_cast<std::uint64_t>(result.bytesMoved)) << " (stream "
          << Format::change(before, after) << ")\n";
    return 0;
  }
  say() << "gave back " << Format::bytes(before - after) << " (stream "
        << Format::change(before, after) << ")\n";
  return 0;
}

int ArchiveTool::verify(const Arguments& arguments) {
  Archive archive(arguments.archive, openFor(Archive::Access::read));
  const ArchiveCheck check = archive.verify();
  const BlockChain& chain = check.chain();
  if (arguments.json) {
    nlohmann::json waste = nlohmann::json::array();
    for (const WasteRegion& region : chain.waste()) {
      waste.push_back({{"position", region.position}, {"bytes", region.bytes}});
    }
    out_ << dump({{"archive", archive.path()},
                  {"sound", check.sound()},
                  {"streamBytes", chain.streamSize()},
                  {"liveFiles", check.liveFiles()},
                  {"unusedBytes", check.reclaimable()},
                  {"unused", std::move(waste)},
                  {"problems", check.problems()}});
    return check.sound() ? 0 : ToolError::kDamaged;
  }
  if (verbose_) {
    for (const WasteRegion& waste : chain.waste()) {
      out_ << waste.bytes << " bytes at " << waste.position << " are used by no file\n";
    }
  }
  if (!check.sound()) {
    printProblems(archive, check);
    return ToolError::kDamaged;
  }
  say() << archive.path() << ": sound: " << check.liveFiles() << " files, "
        << Format::bytes(static_cast<std::uint64_t>(chain.streamSize())) << " of data";
  if (check.reclaimable() > 0) {
    say() << ", " << Format::bytes(static_cast<std::uint64_t>(check.reclaimable()))
          << " used by no file";
  }
  say() << '\n';
  return 0;
}

void ArchiveTool::printProblems(const Archive& archive, const ArchiveCheck& check) {
  const std::vector<std::string>& problems = check.problems();
  const std::size_t shown = verbose_ ? problems.size() : std::min(problems.size(), kProblemsShown);
  for (std::size_t at = 0; at < shown; ++at) {
    err_ << "vesk-archive: " << archive.path() << ": " << Format::name(problems[at]) << '\n';
  }
  err_ << "vesk-archive: " << archive.path() << ": damaged: " << problems.size() << " problems";
  if (shown < problems.size()) {
    err_ << " (the first " << shown << " shown; -v shows all)";
  }
  err_ << '\n';
}

int ArchiveTool::extract(const Arguments& arguments) {
  Archive archive(arguments.archive, openFor(Archive::Access::read));
  Extractor::Options options;
  options.keepExisting = !arguments.overwrite;
  const std::string target = arguments.target.empty() ? "." : arguments.target;
  const Extractor::Report report = archive.extract(arguments.paths, target, options);
  for (const std::string& path : report.pending) {
    say() << "not yet committed, passed over: " << Format::name(path) << '\n';
  }
  for (const Extractor::Failure& failure : report.failures) {
    err_ << "vesk-archive: " << Format::name(failure.reason) << '\n';
  }
  const bool refused = !arguments.keep && !report.kept.empty();
  if (refused) {
    for (const std::string& path : report.kept) {
      err_ << "vesk-archive: " << Format::name(path)
           << " exists, left as it is (--overwrite replaces, --keep keeps quietly)\n";
    }
  }
  say() << "extracted " << report.files << " files into " << target;
  if (!report.kept.empty()) {
    say() << ", kept " << report.kept.size() << " existing";
  }
  say() << '\n';
  if (report.damaged()) {
    return ToolError::kDamaged;
  }
  return report.failures.empty() && !refused ? 0 : ToolError::kUser;
}

int ArchiveTool::info(const Arguments& arguments) {
  Archive archive(arguments.archive, openFor(Archive::Access::read));
  DirectoryNode& root = archive.root();
  const std::optional<Compactor::Result> plan = cleanupPlan(archive);
  const bool sound = plan.has_value();
  const std::uint64_t pendingBytes = root.totalUncommittedFileSize(true);
  const std::uint64_t storedBytes = root.totalFileSize(true) - pendingBytes;
  unsigned deleted = 0;
  TreeWalker::walk(
      root,
      [&deleted](TreeNode& node, unsigned /*depth*/) {
        deleted += node.deleted() ? 1 : 0;
        return true;
      },
      true);
  const auto stream =
      static_cast<std::uint64_t>(sound ? plan->bytesBefore : archive.verify().chain().streamSize());
  const auto reclaimable =
      static_cast<std::uint64_t>(sound ? plan->bytesBefore - plan->bytesAfter : 0);
  if (arguments.json) {
    out_ << dump({{"archive", archive.path()},
                  {"directories", root.numberOfDirectories(true)},
                  {"files", root.numberOfFiles(true)},
                  {"storedFiles", root.numberOfCommittedFiles(true)},
                  {"pendingFiles", root.numberOfUncommittedFiles(true)},
                  {"storedBytes", storedBytes},
                  {"pendingBytes", pendingBytes},
                  {"deleted", deleted},
                  {"streamBytes", stream},
                  {"reclaimableBytes", reclaimable},
                  {"sound", sound}});
    return sound ? 0 : ToolError::kDamaged;
  }
  out_ << "archive:      " << archive.path() << '\n'
       << "directories:  " << root.numberOfDirectories(true) << '\n'
       << "files:        " << root.numberOfFiles(true) << " (" << root.numberOfCommittedFiles(true)
       << " stored, " << root.numberOfUncommittedFiles(true) << " pending)\n"
       << "data:         " << Format::bytes(storedBytes) << " stored, "
       << Format::bytes(pendingBytes) << " pending\n"
       << "deleted:      " << deleted << " entries waiting for cleanup\n"
       << "stream:       " << Format::bytes(stream) << '\n';
  if (!sound) {
    err_ << "vesk-archive: " << archive.path()
         << ": the tree does not match the stream; run verify\n";
    return ToolError::kDamaged;
  }
  out_ << "reclaimable:  " << Format::bytes(reclaimable) << " (what cleanup gives back)\n";
  return 0;
}

int ArchiveTool::mount(const Arguments& arguments) {
  Archive archive(arguments.archive, openFor(Archive::Access::read));
  ArchiveMount mount(archive);
  out_.flush();
  if (mount.serve(arguments.target, arguments.foreground) != 0) {
    throw ToolError(ToolError::kUser, archive.path() + ": cannot mount it on " + arguments.target);
  }
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
