#pragma once
// The file-system service of the rule-set file: text lines in the ANSI code page (CP932),
// CR LF line ends, no byte-order mark. A file that other editors wrote in UTF-8 with a BOM is
// read as UTF-8.

#include <QString>
#include <QStringList>
#include <optional>

namespace morvelle {

class SettingsFileService {
 public:
  virtual ~SettingsFileService() = default;

  // All lines, without their line ends (CR LF, LF or CR). Throws ServiceError naming the file
  // and the cause, also for bytes that are not CP932 (naming the line).
  virtual QStringList ReadLines(const QString& path) = 0;

  // Writes every line followed by CR LF, atomically (temporary file, then rename); a failure
  // leaves an earlier file as it was. Throws ServiceError naming the file and the cause, also
  // for a line that would not read back as written (naming the line and the character).
  virtual void WriteLines(const QString& path, const QStringList& lines) = 0;

  // Makes `folder` and the missing folders above it, each private to the user (0700, as the
  // XDG base directories ask of a user's data); returns the folders it made, the outermost
  // first, none when it was there. Throws ServiceError naming `folder` and the cause, having
  // removed what it made.
  virtual QStringList MakeFolder(const QString& folder) = 0;
  // Removes those of `folders` that are empty, the innermost first; one that holds anything
  // stays.
  virtual void RemoveEmptyFolders(const QStringList& folders) = 0;

  // A character that the file would not give back as it was written.
  struct Unstorable {
    char32_t codePoint = 0;
    // What it reads back as when the code holds it only one way (U+301C is written as 81 60,
    // which reads as U+FF5E); absent when the code cannot hold it at all.
    std::optional<char32_t> readsBackAs;
  };
  // The first character of `text` that would not read back as itself, if any.
  virtual std::optional<Unstorable> FirstUnstorable(const QString& text) const = 0;
};

}  // namespace morvelle
