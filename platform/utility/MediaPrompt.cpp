#include "MediaPrompt.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <mutex>

#include "FileDescriptor.h"

namespace vesk {

namespace {

std::mutex answererMutex;

MediaPrompt::Answerer& currentAnswerer() {
  static auto* const answerer = new MediaPrompt::Answerer;
  return *answerer;
}

// The first character of the next line that is not blank, lowered; 0 for a blank line and
// EOF at the end of the input.
int readChoice(std::FILE* in) {
  int first = 0;
  int c = std::fgetc(in);
  for (; c != EOF && c != '\n'; c = std::fgetc(in)) {
    if (first == 0 && !std::isspace(c)) {
      first = std::tolower(c);
    }
  }
  return (c == EOF && first == 0) ? EOF : first;
}

}  // namespace

int MediaPrompt::messageBox(void* owner, const char* text, const char* caption, unsigned style) {
  Answerer answerer;
  {
    std::lock_guard lock(answererMutex);
    answerer = currentAnswerer();
  }
  return answerer ? answerer(owner, text, caption, style)
                  : askOnTerminal(owner, text, caption, style);
}

void* MediaPrompt::foregroundWindow() {
  return nullptr;
}

MediaPrompt::Answerer MediaPrompt::answerer(Answerer replacement) {
  std::lock_guard lock(answererMutex);
  Answerer previous = std::move(currentAnswerer());
  currentAnswerer() = std::move(replacement);
  return previous;
}

int MediaPrompt::askOnTerminal(void* /*owner*/, const char* text, const char* caption,
                               unsigned style) {
  // A program run from a script, a service or a pipe must not stop to ask: only one whose
  // input is the terminal is asked on it.
  FileDescriptor terminal;
  if (::isatty(STDIN_FILENO) != 0) {
    terminal = FileDescriptor::open("/dev/tty", O_RDWR | O_NOCTTY);
  }
  std::FILE* stream = terminal.valid() ? ::fdopen(terminal.get(), "r+") : nullptr;
  if (!stream) {
    return style == kRetryCancel ? kAnswerCancel : kAnswerOk;
  }
  terminal.release();  // the stream owns it now
  const int answer = ask(stream, stream, text, caption, style);
  std::fclose(stream);
  return answer;
}

int MediaPrompt::ask(std::FILE* in, std::FILE* out, const char* text, const char* caption,
                     unsigned style) {
  std::fprintf(out, "\n%s\n%s\n", caption ? caption : "", text ? text : "");
  if (style != kRetryCancel) {
    std::fputs("[press Enter] ", out);
    std::fflush(out);
    readChoice(in);
    return kAnswerOk;
  }
  for (;;) {
    std::fputs("[r]etry or [c]ancel? ", out);
    std::fflush(out);
    const int choice = readChoice(in);
    if (choice == 'r') {
      return kAnswerRetry;
    }
    if (choice == 'c' || choice == EOF) {
      return kAnswerCancel;
    }
  }
}

}  // namespace vesk
