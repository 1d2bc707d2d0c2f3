/// \class vesk::MediaPrompt MediaPrompt.h <vesk/MediaPrompt.h>
/// MediaPrompt: the modal question that asks the user to insert a missing medium. It keeps
/// the contract of a message box: an owner window, a text, a caption and a style, answered by
/// the number of the button pressed. The answerer is replaceable for the whole process; the
/// default one asks on the controlling terminal when the process is interactive (its standard
/// input is a terminal) and answers Cancel otherwise, so a commit run from a script or a
/// service never waits for an answer.
///
/// An application with a window, or one that knows where its media are, puts in its own
/// answerer before it commits, and may put the previous one back afterwards (or gives one
/// for a single commit in Committer::Options::answerer):
///
/// \code
/// MediaPrompt::Answerer previous = MediaPrompt::answerer(
///     [](void* owner, const char* text, const char* caption, unsigned style) {
///       return showDialog(owner, text, caption) ? MediaPrompt::kAnswerRetry
///                                               : MediaPrompt::kAnswerCancel;
///     });
/// \endcode
///
/// Retry makes the commit look for the medium again; Cancel leaves the file out.
#ifndef VESK_MEDIAPROMPT_H
#define VESK_MEDIAPROMPT_H

#include <cstdio>
#include <functional>

namespace vesk {

class MediaPrompt {
 public:
  /// Styles.
  static constexpr unsigned kOk = 0;
  /// \copydoc kOk
  static constexpr unsigned kRetryCancel = 5;
  /// Answers.
  static constexpr int kAnswerOk = 1;
  /// \copydoc kAnswerOk
  static constexpr int kAnswerCancel = 2;
  /// \copydoc kAnswerOk
  static constexpr int kAnswerRetry = 4;

  /// What answers a prompt: owner, text, caption and style in, the answer out.
  using Answerer =
      std::function<int(void* owner, const char* text, const char* caption, unsigned style)>;

  /// Shows `text` under `caption` and waits for the answer (kAnswerRetry or kAnswerCancel for
  /// kRetryCancel, kAnswerOk otherwise).
  static int messageBox(void* owner, const char* text, const char* caption, unsigned style);

  /// The window in front, the owner of a prompt; a terminal program has none.
  static void* foregroundWindow();

  /// Puts `answerer` in place and answers the one it replaces; an empty one puts the terminal
  /// default back.
  static Answerer answerer(Answerer replacement);

  /// The default answerer: asks on /dev/tty when standard input is a terminal; answers Cancel
  /// (kAnswerOk for a plain message) when it is not or there is no controlling terminal.
  static int askOnTerminal(void* owner, const char* text, const char* caption, unsigned style);

  /// Asks through the given streams: shows caption and text, then reads lines until one
  /// starts with r (Retry) or c (Cancel); the end of input is Cancel.
  static int ask(std::FILE* in, std::FILE* out, const char* text, const char* caption,
                 unsigned style);
};

}  // namespace vesk

#endif  // VESK_MEDIAPROMPT_H
