/// \class vesk::FileString FileString.h <vesk/FileString.h>
/// FileString: a file or path name. Names compare without regard to letter case (see
/// ICharTraits). Both '/' and '\' separate the components of a path. A volume file name
/// names a file by the volume that holds it: "VOLUME>" + separator + path inside the volume,
/// as DiskDriveAccessor makes it.
#ifndef VESK_FILESTRING_H
#define VESK_FILESTRING_H

#include "StdString.h"

namespace vesk {

class FileString : public StdString {
 public:
  FileString() = default;
  /// A copy of the name `text`; null is empty. Names convert implicitly.
  FileString(const char* text);  // NOLINT: names convert implicitly
  /// The first `length` bytes of `text`.
  FileString(const char* text, size_type length);
  /// A copy of the name `text`.
  FileString(std::string_view text);  // NOLINT
  /// \copydoc FileString(std::string_view)
  FileString(const std::string& text);  // NOLINT
  /// \copydoc FileString(std::string_view)
  FileString(const TraitsString& text);  // NOLINT
  /// \copydoc FileString(std::string_view)
  FileString(const StdString& text);  // NOLINT
  /// Copies and moves are plain value copies.
  FileString(const FileString&) = default;
  /// \copydoc FileString(const FileString&)
  FileString(FileString&&) noexcept = default;
  /// \copydoc FileString(const FileString&)
  FileString& operator=(const FileString&) = default;
  /// \copydoc FileString(const FileString&)
  FileString& operator=(FileString&&) noexcept = default;
  ~FileString() override;

  /// Equal names, ignoring letter case.
  bool operator==(const FileString& other) const noexcept {
    return size() == other.size() && compare(other) == 0;
  }

  /// The last component: the text after the last separator (the whole text without one).
  FileString fileName() const;
  /// The text before the last separator; empty when there is none.
  FileString directoryName() const;
  /// The whole text.
  FileString pathName() const;
  /// The volume of a volume file name (the text before its '>'); empty for any other name.
  FileString volumeName() const;

  /// Changes the name to its next variant: "photo.jpg" becomes "photo(1).jpg", then
  /// "photo(2).jpg"; a name without extension gets the counter at its end. The counter is
  /// decimal text of any length, so repeated calls never give a name seen before.
  void increment();

  /// The position of the last separator, or npos.
  size_type lastSeparator() const noexcept;
};

}  // namespace vesk

#endif  // VESK_FILESTRING_H
