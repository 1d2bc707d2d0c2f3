/// \class vesk::ProgressMeter ProgressMeter.h <vesk/ProgressMeter.h>
/// ProgressMeter: what a caller gives a commit to follow it and to stop it. Commit calls
/// startFile() when it begins to store a pending file and asks cancelled() before every
/// child of every directory it walks; the other operations are there for the caller's own
/// reporting (a tool announces the work with start(), reports bytes, and closes with
/// finish()). The caller owns the meter; the library never copies or deletes one.
#ifndef VESK_PROGRESSMETER_H
#define VESK_PROGRESSMETER_H

#include <cstdint>

namespace vesk {

class ProgressMeter {
 public:
  ProgressMeter() = default;
  /// Meters hold no state of the library's; copies are the deriving class's affair.
  ProgressMeter(const ProgressMeter&) = default;
  /// \copydoc ProgressMeter(const ProgressMeter&)
  ProgressMeter& operator=(const ProgressMeter&) = default;
  virtual ~ProgressMeter();

  /// The work ahead: this many files of this many bytes.
  virtual void start(unsigned int files, std::uint64_t bytes);
  /// This many bytes of the work are done.
  virtual void bytesDone(std::uint64_t bytes);
  /// A line worth showing the user.
  virtual void note(char const* text);
  /// The file last started is done.
  virtual void fileDone();
  /// The work has ended.
  virtual void finish();
  /// Storing the file `name` begins; the text is valid during the call only.
  virtual void startFile(char const* name) = 0;
  /// Whether the caller wants the work to stop.
  virtual bool cancelled() = 0;
};

}  // namespace vesk

#endif  // VESK_PROGRESSMETER_H
