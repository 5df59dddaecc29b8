#pragma once
// The two batches over the target list, free of windows: both front ends (the buttons and
// morvelle-batch) plug their list, rules and message sink into these functions.
//
// Replacement: every enabled rule, in order, on the whole text of every file; a failed rule is
// reported for its file, which is still written with the rules applied before it, and the run
// goes on. Any other failure (load, save) is reported and ends the run.
// Conversion: every file to one code; any failure is reported and ends the run.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "services/editor_buffer.h"
#include "services/rule_table.h"
#include "services/target_source.h"
#include "services/text_service.h"

namespace morvelle::engine {

// Where a batch's messages go: a message box in the window, standard error in a shell.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void ShowError(const QString& description) = 0;
};

// The expressions of the enabled rows (flag non-zero, expression non-empty) in row order, the
// spare row included; unchanged, untrimmed, unvalidated.
QStringList EnabledRulesOf(const RuleTable& table);

struct BatchResult {
  qsizetype written = 0;   // outputs written
  qsizetype failures = 0;  // messages reported
  bool stopped = false;    // a fatal failure ended the run
};

// Applies `rules` in turn to `text` on a text service made by `makeService` when the first rule
// is applied. Each rule's edits are appended to `edits` (positions in the text before that
// rule). Returns false after reporting a failed rule, or a service that cannot be made; the
// remaining rules are then skipped, and `text` holds the rules applied before it.
bool ApplyRules(const QStringList& rules, QString& text, std::vector<std::vector<TextEdit>>& edits,
                const TextServiceFactory& makeService, MessageSink& sink, const QString& file);

struct ReplaceOptions {
  // Runs between two files (the window lets paint and timer events through).
  std::function<void()> betweenFiles;
};

BatchResult ReplaceAll(const QStringList& rules, const TargetSource& targets, EditorBuffer& buffer,
                       const TextServiceFactory& makeService, MessageSink& sink,
                       const ReplaceOptions& options = {});

// Converts every target to `code` (1..5) on the shared service.
BatchResult ConvertAll(const TargetSource& targets, int code, TextService& service,
                       MessageSink& sink, const ReplaceOptions& options = {});

}  // namespace morvelle::engine
