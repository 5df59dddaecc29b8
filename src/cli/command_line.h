#pragma once
// The arguments of morvelle-batch, parsed apart from running them so that every usage error is
// found before a file is touched.

#include <QString>
#include <QStringList>
#include <optional>
#include <stdexcept>

#include "services/file_code.h"

namespace morvelle::cli {

enum class Command { Help, Version, Replace, Convert, Detect };
enum class Color { Auto, Always, Never };

struct Invocation {
  Command command = Command::Help;
  QStringList ruleSets;             // -r, in the order given
  QStringList expressions;          // -e, in the order given
  std::optional<CharacterCode> to;  // --to: what convert writes
  std::optional<FileCode> from;     // --from: the sources' code, not recognised
  LineEnds lineEnds = LineEnds::Keep;
  bool bom = false;  // convert to UTF-8 with a byte-order mark
  int jobs = 0;      // 0: one per core
  bool dryRun = false;
  bool diff = false;  // replace: print what would change as a unified diff, write nothing
  Color color = Color::Auto;
  bool verbose = false;
  bool recursive = false;  // walk folders among the files
  bool hidden = false;     // walk hidden names too
  QStringList includes;    // globs on the file name; none: every name
  QStringList excludes;
  QStringList files;
};

// Carries the message of a usage error (exit status 2).
class UsageError : public std::runtime_error {
 public:
  explicit UsageError(QString message)
      : std::runtime_error("usage"), message_(std::move(message)) {}
  const QString& message() const noexcept { return message_; }

 private:
  QString message_;
};

// `arguments` without the program name. Throws UsageError.
Invocation ParseCommandLine(const QStringList& arguments);

QString HelpText();
QString VersionText();

}  // namespace morvelle::cli
