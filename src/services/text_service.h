#pragma once
// The text service applies one Perl substitution to a whole text and converts files between
// Japanese character codes. Besides the plain result it can report exactly which spans a
// rule replaced, so that the file buffer keeps every byte outside them.

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "services/file_code.h"
#include "services/text_edits.h"

namespace morvelle {

// One replaced span, in UTF-16 units of the text it applies to.
struct TextEdit {
  qsizetype start = 0;
  qsizetype length = 0;
  QString replacement;

  friend bool operator==(const TextEdit&, const TextEdit&) = default;
};

// A rule that replaces one text with another, as perl's s/PATTERN/REPLACEMENT/ does when the
// pattern has no metacharacter and the replacement nothing to expand: every occurrence, leftmost
// first and never overlapping (only the first without /g).
struct LiteralRule {
  QString pattern;  // never empty
  QString replacement;
  bool global = false;
};

// What the window's conversion never asks for: the defaults are its behaviour.
struct ConvertOptions {
  std::optional<FileCode> from;  // the sources' code, not recognised; bytes invalid in it fail
  LineEnds lineEnds = LineEnds::Keep;
  bool bom = false;  // UTF-8 with a byte-order mark (UCS2 always has one)
};

class TextService {
 public:
  virtual ~TextService() = default;

  // Throws ServiceError when the expression cannot be used or the match exceeds its bound.
  virtual QString Substitute(const QString& expression, const QString& text) = 0;
  // The spans the rule changes and what replaces each; empty when nothing changes. `text` is
  // read during the call only, so it may be a view of a buffer's own text.
  virtual TextEdits SubstituteWithEdits(const QString& expression, QStringView text) = 0;
  // Text every match of the expression consumes, character for character: a text without it
  // is left as it is. None when a match may do without one (or the service cannot tell).
  // Throws ServiceError as Substitute does for an expression that cannot be used.
  virtual std::optional<QString> RequiredText(const QString& expression) {
    (void)expression;
    return std::nullopt;
  }

  // The rule as a text replaced by a text, when it is one. Throws ServiceError as Substitute
  // does for an expression that cannot be used.
  virtual std::optional<LiteralRule> Literal(const QString& expression) {
    (void)expression;
    return std::nullopt;
  }

  // Reads sourcePath, writes it converted to `code` at destinationPath (atomically).
  // Throws ServiceError naming the file and the cause; nothing is written then.
  // The window's conversion passes the default options.
  virtual void ConvertFile(const QString& sourcePath, const QString& destinationPath,
                           CharacterCode code, const ConvertOptions& option = {}) = 0;
  // ConvertFile in two halves, as EditorBuffer::StageSave: reads and converts now (throwing as
  // ConvertFile would), and the returned function writes the result (throwing as ConvertFile
  // would). It holds its own copy of the bytes.
  virtual std::function<void()> StageConvert(const QString& sourcePath,
                                             const QString& destinationPath, CharacterCode code,
                                             const ConvertOptions& options = {}) = 0;
};

// Creating an instance may fail (throws ServiceError), like any of its operations.
using TextServiceFactory = std::function<std::unique_ptr<TextService>()>;

}  // namespace morvelle
