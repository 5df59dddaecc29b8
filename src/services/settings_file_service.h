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
  // leaves an earlier file as it was. Throws ServiceError naming the file and the cause.
  virtual void WriteLines(const QString& path, const QStringList& lines) = 0;

  // The first character of `text` that the file's code cannot hold, if any.
  virtual std::optional<char32_t> FirstUnstorable(const QString& text) const = 0;
};

}  // namespace morvelle
