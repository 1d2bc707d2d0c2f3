// Demo: the whole cycle of vesk-archive on generated sample data, each step shown as the
// command it runs and a few lines of what it printed. Part of the data lies on a simulated
// memory card: a volume table of the demo's own names a folder as the card, so the archive
// keeps those files by volume name; the card is "taken out" before the commit and the
// demo answers the missing-media prompt by "inserting" it into another folder. It needs
// no terminal and no input. It replaces the process's volume table and prompt answerer
// while it runs, and works in the current folder it sets: one Demo at a time.
#ifndef VESK_DEMO_H
#define VESK_DEMO_H

#include <functional>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace vesk {

class Demo {
 public:
  // Runs one command line of vesk-archive (without the program's name) with output to `out`
  // and `err`, and answers its exit status.
  using Runner = std::function<int(const std::vector<std::string>& command, std::ostream& out,
                                   std::ostream& err, bool terminal, unsigned width)>;

  Demo(std::ostream& out, std::ostream& err, bool terminal, unsigned width, Runner runner);
  Demo(const Demo&) = delete;
  Demo& operator=(const Demo&) = delete;
  ~Demo();

  // Works in `folder` (made when missing; it must be empty), or with an empty `folder` in a
  // new temporary folder removed at the end. Answers 0 when every step did what it should.
  int run(const std::string& folder);

 private:
  class CardVolume;

  void steps();
  void makeData();
  void commitWithCardOut();
  void compareRestored();
  // Runs one command, showing it and an abridged copy of its output; throws when its exit
  // status is not `expected`.
  void tool(const std::vector<std::string>& arguments, int expected = 0, bool live = false);
  int answerPrompt(const char* text);
  void show(const std::string& text) const;

  std::ostream& out_;
  std::ostream& err_;
  bool terminal_;
  unsigned width_;
  Runner runner_;
  std::shared_ptr<CardVolume> card_;
  std::ostringstream* capture_ = nullptr;
  unsigned sampleFiles_ = 0;
};

}  // namespace vesk

#endif  // VESK_DEMO_H
