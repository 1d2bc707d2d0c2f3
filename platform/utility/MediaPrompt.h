// MediaPrompt: the modal question that asks the user to insert a missing medium. It keeps
// the contract of a message box: an owner window, a text, a caption and a style, answered by
// the number of the button pressed. The answerer is replaceable for the whole process; the
// default one asks on the controlling terminal and answers Cancel when there is none.
#ifndef VESK_MEDIAPROMPT_H
#define VESK_MEDIAPROMPT_H

#include <cstdio>
#include <functional>

namespace vesk {

class MediaPrompt {
 public:
  // Styles.
  static constexpr unsigned kOk = 0;
  static constexpr unsigned kRetryCancel = 5;
  // Answers.
  static constexpr int kAnswerOk = 1;
  static constexpr int kAnswerCancel = 2;
  static constexpr int kAnswerRetry = 4;

  using Answerer =
      std::function<int(void* owner, const char* text, const char* caption, unsigned style)>;

  // Shows `text` under `caption` and waits for the answer (kAnswerRetry or kAnswerCancel for
  // kRetryCancel, kAnswerOk otherwise).
  static int messageBox(void* owner, const char* text, const char* caption, unsigned style);

  // The window in front, the owner of a prompt; a terminal program has none.
  static void* foregroundWindow();

  // Puts `answerer` in place and answers the one it replaces; an empty one puts the terminal
  // default back.
  static Answerer answerer(Answerer replacement);

  // The default answerer: asks on /dev/tty, or answers Cancel without a terminal.
  static int askOnTerminal(void* owner, const char* text, const char* caption, unsigned style);

  // Asks through the given streams: shows caption and text, then reads lines until one
  // starts with r (Retry) or c (Cancel); the end of input is Cancel.
  static int ask(std::FILE* in, std::FILE* out, const char* text, const char* caption,
                 unsigned style);
};

}  // namespace vesk

#endif  // VESK_MEDIAPROMPT_H
