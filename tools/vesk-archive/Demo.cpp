#include "Demo.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "DiskDriveAccessor.h"
#include "MediaPrompt.h"
#include "SampleData.h"
#include "ToolError.h"
#include "VeskException.h"
#include "VolumeSource.h"

namespace vesk {

namespace {

namespace fs = std::filesystem;

constexpr const char* kCardName = "VESK-CARD";
constexpr unsigned kHeadLines = 4;
constexpr unsigned kTailLines = 2;

// The first and last lines of `text`, with a count of those left out between.
std::string abridged(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  std::string shown;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i == kHeadLines && lines.size() > kHeadLines + kTailLines + 1) {
      shown += "    ... " + std::to_string(lines.size() - kHeadLines - kTailLines) + " more\n";
      i = lines.size() - kTailLines;
    }
    shown += "    " + lines[i] + "\n";
  }
  return shown;
}

std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Sets the current folder for its lifetime.
class CurrentFolder {
 public:
  explicit CurrentFolder(const fs::path& folder) : previous_(fs::current_path()) {
    fs::current_path(folder);
  }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;
  ~CurrentFolder() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
  }

 private:
  fs::path previous_;
};

}  // namespace

// The volume table of the demo: at most the memory card, mounted at some folder.
class Demo::CardVolume : public VolumeSource {
 public:
  std::shared_ptr<const VolumeTable> volumes() override {
    auto table = std::make_shared<VolumeTable>();
    if (!mountPoint.empty()) {
      table->push_back(MountedVolume{kCardName, mountPoint, "/"});
    }
    return table;
  }
  std::string mountPoint;  // empty while the card is out
};

Demo::Demo(std::ostream& out, std::ostream& err, bool terminal, unsigned width, Runner runner)
    : out_(out), err_(err), terminal_(terminal), width_(width), runner_(std::move(runner)) {}

Demo::~Demo() = default;

int Demo::run(const std::string& folder) {
  fs::path place = folder;
  if (place.empty()) {
    std::string pattern = (fs::temp_directory_path() / "vesk-demo-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw ToolError::system("Cannot make a temporary folder in", fs::temp_directory_path(),
                              errno);
    }
    place = pattern;
  } else if (fs::exists(place) && !fs::is_empty(place)) {
    throw ToolError(ToolError::kUser, "demo: the folder '" + folder + "' is not empty");
  }
  fs::create_directories(place);
  out_ << "vesk-archive demo in " << fs::absolute(place).string() << "\n\n";
  card_ = std::make_shared<CardVolume>();
  const std::shared_ptr<VolumeSource> volumes = DiskDriveAccessor::volumeSource(card_);
  const MediaPrompt::Answerer answerer = MediaPrompt::answerer(
      [this](void*, const char* text, const char*, unsigned) { return answerPrompt(text); });
  int status = 0;
  try {
    const CurrentFolder inside(place);
    steps();
    out_ << "The demo went through every step.\n";
  } catch (const ToolError& error) {
    err_ << "vesk-archive: demo: " << error.what() << '\n';
    status = error.status();
  } catch (const VeskException& error) {
    err_ << "vesk-archive: demo: " << error.message() << '\n';
    status = ToolError::kUser;
  } catch (const std::exception& error) {
    err_ << "vesk-archive: demo: " << error.what() << '\n';
    status = ToolError::kUser;
  }
  MediaPrompt::answerer(answerer);
  DiskDriveAccessor::volumeSource(volumes);
  if (folder.empty()) {
    fs::remove_all(place);
  }
  return status;
}

void Demo::steps() {
  makeData();
  tool({"add", "demo.vesk", "samples"});
  tool({"add", "demo.vesk", "media/card"});
  commitWithCardOut();
  tool({"ls", "demo.vesk"});
  tool({"ls", "-l", "demo.vesk", "samples/music/album-1"});
  tool({"find", "demo.vesk", "samples/photos/2024/img-01?.jpg"});
  show("Deleting marks entries; the data stays in the stream until cleanup.");
  tool({"rm", "demo.vesk", "samples/music", "samples/docs/report-007.txt", "samples/empty.txt"});
  tool({"info", "demo.vesk"});
  tool({"cleanup", "demo.vesk"});
  tool({"verify", "demo.vesk"});
  tool({"extract", "demo.vesk", "/", "-C", "restored"});
  compareRestored();
}

void Demo::makeData() {
  SampleData data(2024);
  sampleFiles_ = data.writeCollection("samples");
  const unsigned cardFiles = data.writeCard("media/card", 40);
  card_->mountPoint = fs::absolute("media/card").string();
  show("Made " + std::to_string(sampleFiles_) + " files in samples/ and " +
       std::to_string(cardFiles) + " photos on a simulated memory card '" + kCardName +
       "', mounted at media/card (a volume table of the demo's own says so).\nThe archive keeps "
       "the card's files by volume name, so it finds them wherever the card is mounted.");
}

void Demo::commitWithCardOut() {
  card_->mountPoint.clear();
  show("The card is taken out before the commit: it asks for it when it reaches its files.");
  tool({"commit", "demo.vesk"}, 0, terminal_);
}

int Demo::answerPrompt(const char* text) {
  std::ostream& shown = capture_ != nullptr ? *capture_ : out_;
  shown << "prompt: " << text << '\n';
  fs::rename("media/card", "media/reader2");
  card_->mountPoint = fs::absolute("media/reader2").string();
  shown << "the demo inserts the card into another reader (media/reader2) and answers Retry\n";
  return MediaPrompt::kAnswerRetry;
}

// Every file of samples/ and of the card must come back equal, except those removed.
void Demo::compareRestored() {
  unsigned compared = 0;
  unsigned absent = 0;
  const std::vector<std::pair<fs::path, fs::path>> pairs = {
      {"samples", "restored/samples"}, {"media/reader2/DCIM", "restored/card/DCIM"}};
  for (const auto& [original, restored] : pairs) {
    for (const auto& entry : fs::recursive_directory_iterator(original)) {
      if (!entry.is_regular_file()) {
        continue;
      }
      const fs::path copy = restored / fs::relative(entry.path(), original);
      const std::string name = entry.path().generic_string();
      const bool removed = name.find("samples/music/") == 0 ||
                           name == "samples/docs/report-007.txt" || name == "samples/empty.txt";
      if (removed ? fs::exists(copy) : contents(entry.path()) != contents(copy)) {
        throw ToolError(ToolError::kUser, "restored file differs from its original: " + name);
      }
      removed ? ++absent : ++compared;
    }
  }
  show("Compared " + std::to_string(compared) + " restored files with their originals byte " +
       "for byte: all equal; the " + std::to_string(absent) + " removed ones are absent.");
}

void Demo::tool(const std::vector<std::string>& arguments, int expected, bool live) {
  std::string line = "$ vesk-archive";
  for (const std::string& argument : arguments) {
    line += " " + argument;
  }
  out_ << line << '\n';
  std::ostringstream captured;
  capture_ = live ? nullptr : &captured;
  const int status =
      runner_(arguments, live ? out_ : captured, captured, live && terminal_, width_);
  capture_ = nullptr;
  out_ << abridged(captured.str()) << '\n';
  if (status != expected) {
    throw ToolError(ToolError::kUser,
                    "'" + line.substr(2) + "' ended with status " + std::to_string(status));
  }
}

void Demo::show(const std::string& text) const {
  out_ << text << "\n\n";
}

}  // namespace vesk
