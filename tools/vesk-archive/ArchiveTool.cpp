#include "ArchiveTool.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <functional>
#include <iomanip>
#include <memory>

#include "Archive.h"
#include "ArchiveCheck.h"
#include "ByteOrder.h"
#include "CommitProgress.h"
#include "Compactor.h"
#include "ConCommittedFiles.h"
#include "Demo.h"
#include "DiskDriveAccessor.h"
#include "Extractor.h"
#include "FileNode.h"
#include "Format.h"
#include "MediaPrompt.h"
#include "ToolError.h"
#include "TreeAdder.h"
#include "TreeNodeIterator.h"
#include "TreePath.h"
#include "TreeSearcher.h"
#include "UncommittedArchiveNode.h"
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
  unsigned saveEvery = CommitMeter::SaveEvery().files;
};

namespace {

constexpr const char* kRemoveHelp =
    "Marks entries deleted; they vanish from listings at once. A deleted directory is saved "
    "without its contents, so the files below it are no longer named anywhere in the tree: "
    "their data stays in the stream, as blocks no entry names, until 'cleanup' gives back "
    "every such block. Pending files just leave the tree.";

// While it lives, the missing-media prompt takes the progress bar off the terminal before
// it asks; it asks through the answerer that was in place (the terminal by default). Once
// the commit is interrupted it answers Cancel without asking.
class PromptAfterProgress {
 public:
  PromptAfterProgress(CommitProgress& progress, const CommitMeter& meter)
      : previous_(MediaPrompt::answerer({})) {
    MediaPrompt::answerer([this, &progress, &meter](void* owner, const char* text,
                                                    const char* caption, unsigned style) {
      if (meter.interrupted()) {
        return MediaPrompt::kAnswerCancel;
      }
      progress.clear();
      return previous_ ? previous_(owner, text, caption, style)
                       : MediaPrompt::askOnTerminal(owner, text, caption, style);
    });
  }
  PromptAfterProgress(const PromptAfterProgress&) = delete;
  PromptAfterProgress& operator=(const PromptAfterProgress&) = delete;
  ~PromptAfterProgress() { MediaPrompt::answerer(previous_); }

 private:
  MediaPrompt::Answerer previous_;
};

std::vector<CommitMeter::Pending> pendingFiles(DirectoryNode& root) {
  std::vector<CommitMeter::Pending> pending;
  TreePath::eachLive(root, [&](TreeNode& node) {
    if (UncommittedNode* file = node.uncommittedFile()) {
      pending.push_back({file, TreePath::of(node), file->fileSize()});
    }
  });
  return pending;
}

// A slice of another archive is copied by position; when that archive was cleaned up since,
// its block is elsewhere. The block's prefix must still announce the slice's size.
void checkSlice(const std::string& archive, const CommitMeter::Pending& pending) {
  const auto& slice = static_cast<const UncommittedArchiveNode&>(*pending.node);
  const FileString source =
      DiskDriveAccessor().volumeFileNameToDriveFileName(slice.archive(), "||");
  if (source.empty()) {
    return;  // not mounted: the commit passes it over
  }
  std::array<char, 8> prefix{};
  try {
    BinVeskStream other(source.c_str(), 0x01, false);
    other.seekg(slice.offset() - 8);
    other.read(prefix.data(), static_cast<unsigned>(prefix.size()));
  } catch (const VeskException& error) {
    throw ToolError(ToolError::kUser, archive + ": cannot read the source of '" + pending.path +
                                          "' in " + source.str() + ": " + error.what());
  }
  if (loadLittle64(prefix.data()) != slice.fileSize()) {
    throw ToolError(ToolError::kUser, archive + ": '" + pending.path + "' no longer lies at " +
                                          std::to_string(slice.offset()) + " in " + source.str() +
                                          " (cleaned up since add-from?); remove and add it again");
  }
}

std::uint32_t nextArchiveCount(DirectoryNode& root) {
  std::uint32_t last = 0;
  TreePath::eachLive(root, [&](TreeNode& node) {
    if (TreePath::isCommittedFile(node) && node.file()->archiveCount() != UINT32_MAX) {
      last = std::max(last, node.file()->archiveCount());
    }
  });
  return last + 1;
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
  app.footer(
      "Exit status: 0 done, 1 wrong use or unreadable file, 2 damaged archive, 130 "
      "interrupted.\nTree paths use '/'; '/' alone is the top of the tree.");

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
  } catch (const std::exception& error) {
    err_ << "vesk-archive: " << context_ << ": " << error.what() << '\n';
    return ToolError::kUser;
  }
}

std::vector<TreeNode*> ArchiveTool::resolveAll(Archive& archive,
                                               const std::vector<std::string>& paths) {
  std::vector<TreeNode*> nodes;
  for (const std::string& path : paths) {
    TreeNode* node = TreePath::resolve(archive.root(), path);
    if (node == nullptr) {
      throw ToolError(ToolError::kUser, archive.path() + ": no entry '" + path + "'");
    }
    nodes.push_back(node);
  }
  return nodes;
}

DirectoryNode& ArchiveTool::directoryFor(Archive& archive, const std::string& path) {
  TreeNode* node = TreePath::resolve(archive.root(), path);
  if (node == nullptr) {
    archive.root().addTree(path);
    node = TreePath::resolve(archive.root(), path);
  }
  if (node == nullptr || node->directory() == nullptr) {
    throw ToolError(ToolError::kUser, archive.path() + ": '" + path + "' is not a directory");
  }
  return *node->directory();
}

int ArchiveTool::add(const Arguments& arguments) {
  Archive archive(arguments.archive);
  archive.load(true);
  TreeAdder adder(directoryFor(archive, arguments.to), out_, err_);
  for (const std::string& path : arguments.paths) {
    adder.addPath(path);
  }
  archive.save();
  out_ << "added " << adder.added() << " pending files to " << archive.path();
  if (adder.passedOver() > 0) {
    out_ << ", passed over " << adder.passedOver();
  }
  out_ << '\n';
  return adder.passedOver() > 0 ? ToolError::kUser : 0;
}

int ArchiveTool::addFrom(const Arguments& arguments) {
  Archive archive(arguments.archive);
  archive.load(true);
  Archive other(arguments.other);
  other.load(false);
  const std::unique_ptr<BinStream> otherStream = other.openForReading();
  ArchiveCheck(other.root(), *otherStream).requireSound(other.path());
  const std::vector<TreeNode*> entries = resolveAll(other, arguments.paths);
  const std::string source = std::filesystem::absolute(other.path()).lexically_normal().string();
  TreeAdder adder(directoryFor(archive, arguments.to), out_, err_);
  for (TreeNode* entry : entries) {
    adder.addFromArchive(*entry, source);
  }
  archive.save();
  out_ << "added " << adder.added() << " pending slices of " << other.path() << " to "
       << archive.path() << '\n';
  return adder.passedOver() > 0 ? ToolError::kUser : 0;
}

int ArchiveTool::commit(const Arguments& arguments) {
  Archive archive(arguments.archive);
  archive.load(false);
  return storeAll(archive, CommitMeter::SaveEvery{arguments.saveEvery});
}

int ArchiveTool::storeAll(Archive& archive, CommitMeter::SaveEvery every) {
  std::int64_t cut = 0;
  const std::unique_ptr<BinVeskStream> stream = archive.openForWriting(cut);
  if (cut > 0) {
    out_ << "cut " << Format::bytes(static_cast<std::uint64_t>(cut))
         << " that an interrupted commit left behind\n";
  }
  std::vector<CommitMeter::Pending> pending = pendingFiles(archive.root());
  std::uint64_t bytes = 0;
  for (const CommitMeter::Pending& file : pending) {
    bytes += file.size;
    if (file.node->nodeType() == TreeNode::UNCOMMITTED_ARCHIVE_NODE) {
      checkSlice(archive.path(), file);
    }
  }
  if (pending.empty()) {
    out_ << "nothing to commit\n";
    return 0;
  }
  const auto files = static_cast<unsigned>(pending.size());
  CommitProgress progress(out_, terminal_, width_);
  progress.begin(files, bytes);
  ConCommittedFiles committed;
  CommitMeter meter(
      *stream, committed, std::move(pending), progress, [&archive] { archive.save(); }, every);
  const PromptAfterProgress prompt(progress, meter);
  try {
    archive.root().commit(*stream, committed, meter, nextArchiveCount(archive.root()));
  } catch (const std::exception& error) {
    meter.settle();
    meter.checkpoint();
    progress.end();
    throw ToolError(ToolError::kUser, archive.path() + ": commit stopped at '" +
                                          meter.lastStarted() + "': " + error.what() +
                                          "; what was stored before is saved");
  }
  meter.settle();
  meter.checkpoint();
  progress.end();
  out_ << "stored " << meter.stored() << " of " << files << " files in " << archive.path() << '\n';
  for (const std::string& path : meter.skipped()) {
    err_ << "vesk-archive: " << archive.path() << ": not stored, still pending: " << path << '\n';
  }
  if (meter.interrupted()) {
    err_ << "vesk-archive: " << archive.path() << ": interrupted; what was stored is saved\n";
    return ToolError::kInterrupted;
  }
  return meter.skipped().empty() ? 0 : ToolError::kUser;
}

int ArchiveTool::list(const Arguments& arguments) {
  Archive archive(arguments.archive);
  archive.load(false);
  TreeNode* node = resolveAll(archive, {arguments.directory}).front();
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
      (fullPath ? TreePath::of(node) : node.name().str()) + (isDirectory ? "/" : "");
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
  Archive archive(arguments.archive);
  archive.load(false);
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
    out_ << TreePath::of(*node) << (node->directory() != nullptr ? "/" : "") << '\n';
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
  Archive archive(arguments.archive);
  archive.load(false);
  const std::vector<TreeNode*> nodes = resolveAll(archive, arguments.paths);
  for (TreeNode* node : nodes) {
    if (node->parent() == nullptr) {
      throw ToolError(ToolError::kUser, archive.path() + ": the top of the tree cannot be removed");
    }
  }
  for (TreeNode* node : nodes) {
    if (!node->deleted()) {
      node->parent()->remove(node);
      out_ << "removed " << TreePath::of(*node) << (node->directory() != nullptr ? "/" : "")
           << '\n';
    }
  }
  archive.save();
  return 0;
}

int ArchiveTool::cleanup(const Arguments& arguments) {
  Archive archive(arguments.archive);
  archive.load(false);
  std::unique_ptr<ArchiveCheck> check;
  if (!arguments.dryRun) {
    std::int64_t cut = 0;
    archive.openForWriting(cut);
  }
  {
    const std::unique_ptr<BinStream> stream = archive.openForReading();
    check = std::make_unique<ArchiveCheck>(archive.root(), *stream);
    check->requireSound(archive.path());
  }
  const Compactor::Result result = Compactor(archive, *check).run(arguments.dryRun);
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
  Archive archive(arguments.archive);
  archive.load(false);
  const std::unique_ptr<BinStream> stream = archive.openForReading();
  const ArchiveCheck check(archive.root(), *stream);
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
    chainOnly = archive.root().verifyCommitted(*stream);
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
  Archive archive(arguments.archive);
  archive.load(false);
  const std::vector<TreeNode*> nodes = resolveAll(archive, arguments.paths);
  const std::unique_ptr<BinStream> stream = archive.openForReading();
  Extractor extractor(*stream, archive.path(), out_, err_);
  for (TreeNode* node : nodes) {
    extractor.extract(*node, arguments.target);
  }
  out_ << "extracted " << extractor.files() << " files into " << arguments.target << '\n';
  return extractor.refused() > 0 ? ToolError::kUser : 0;
}

namespace {

// The bytes a cleanup of `archive` would give back.
std::int64_t reclaimable(Archive& archive, const ArchiveCheck& check) {
  const Compactor::Result result = Compactor(archive, check).run(true);
  return result.bytesBefore - result.bytesAfter;
}

}  // namespace

int ArchiveTool::info(const Arguments& arguments) {
  Archive archive(arguments.archive);
  archive.load(false);
  DirectoryNode& root = archive.root();
  const std::unique_ptr<BinStream> stream = archive.openForReading();
  const ArchiveCheck check(root, *stream);
  const std::uint64_t pendingBytes = root.totalUncommittedFileSize(true);
  out_ << "archive:      " << archive.path() << '\n'
       << "directories:  " << root.numberOfDirectories(true) << '\n'
       << "files:        " << root.numberOfFiles(true) << " (" << root.numberOfCommittedFiles(true)
       << " stored, " << root.numberOfUncommittedFiles(true) << " pending)\n"
       << "data:         " << Format::bytes(root.totalFileSize(true) - pendingBytes) << " stored, "
       << Format::bytes(pendingBytes) << " pending\n"
       << "deleted:      " << countDeleted(root) << " entries waiting for cleanup\n"
       << "stream:       " << check.chain().streamSize() << " bytes\n"
       << "reclaimable:  " << reclaimable(archive, check) << " bytes (what cleanup gives back)\n";
  if (!check.sound()) {
    err_ << "vesk-archive: " << archive.path()
         << ": the tree does not match the stream; run verify\n";
    return ToolError::kDamaged;
  }
  return 0;
}

int ArchiveTool::demo(const Arguments& arguments) {
  Demo demo(out_, err_, terminal_, width_);
  return demo.run(arguments.target);
}

}  // namespace vesk
