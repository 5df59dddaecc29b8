#pragma once
// The two batches over the target list, free of windows: both front ends (the buttons and
// morvelle-batch) plug their list, rules and message sink into these functions.
//
// Replacement: every enabled rule, in order, on the whole text of every file; a failed rule is
// reported for its file, which is still written with the rules applied before it, and the run
// goes on. Any other failure (load, save) is reported and ends the run.
// Conversion: every file to one code; any failure is reported and ends the run.
// Both first refuse a run whose outputs would write over one of its rows or write one output
// twice (collisions.h): one message, nothing written. A dry run makes every check a write makes.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "services/editor_buffer.h"
#include "services/rule.h"
#include "services/target_source.h"
#include "services/text_service.h"

namespace morvelle::engine {

// Where a batch's messages go: a message box in the window, standard error in a shell.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void ShowError(const QString& description) = 0;
};

// The expressions of the enabled rules (flag non-zero, expression non-empty) in order, so a
// table's spare row adds nothing; unchanged, untrimmed, unvalidated.
QStringList EnabledRulesOf(const std::vector<Rule>& rules);

struct BatchResult {
  qsizetype written = 0;   // outputs written
  qsizetype failures = 0;  // messages reported
  bool stopped = false;    // a fatal failure ended the run
};

// What one file of a batch did, for front ends that report per file.
struct FileReport {
  qsizetype index = 0;
  BatchTarget target;
  // Replacement only: the spans each applied rule changed, in rule order; shorter than the
  // rules when a rule failed (the rest were skipped).
  std::vector<qsizetype> replacements;
  bool ruleFailed = false;  // or bytes no rule could reach were reported
  bool written = false;     // false in a dry run
  QByteArray preview;       // what ReplaceOptions::preview made of it
  bool binary = false;      // read as binary data: no rule was applied
};

// Made after the rules and the save's checks, from the loaded buffer (a diff, say).
using Preview = std::function<QByteArray(const BatchTarget&, const EditorBuffer&)>;

struct ReplaceOptions {
  // A constructor rather than an aggregate, so that callers naming only the first member
  // stay warning-free as members are added.
  ReplaceOptions(std::function<void()> between = {}, bool dry = false,
                 std::function<void(const FileReport&)> done = {}, Preview look = {})
      : betweenFiles(std::move(between)),
        dryRun(dry),
        fileDone(std::move(done)),
        preview(std::move(look)) {}

  // Runs between two files (the window lets paint and timer events through).
  std::function<void()> betweenFiles;
  // Loads and applies the rules but writes nothing.
  bool dryRun = false;
  // After each file that did not end the run, in list order.
  std::function<void(const FileReport&)> fileDone;
  // Dry runs only: fills each file's FileReport::preview.
  Preview preview;
  // Conversion only.
  ConvertOptions convert;
};

BatchResult ReplaceAll(const QStringList& rules, const TargetSource& targets, EditorBuffer& buffer,
                       const TextServiceFactory& makeService, MessageSink& sink,
                       const ReplaceOptions& options = {});

// Converts every target to `code` on the shared service.
BatchResult ConvertAll(const TargetSource& targets, CharacterCode code, TextService& service,
                       MessageSink& sink, const ReplaceOptions& options = {});

// The same batches on several threads, for front ends without a window. Workers load, apply
// the rules and encode (each with its own buffer and its own text services); outputs are
// written, messages shown and a fatal failure honoured in list order, so outputs, messages and
// the result are those of the single-threaded batch. A fatal failure at file k discards what
// was prepared after k. At most `window` files are prepared ahead of the next one written.
struct ParallelOptions {
  int threads = 1;
  qsizetype window = 0;  // 0: four per thread
  bool dryRun = false;   // replacement only
  std::function<void(const FileReport&)> fileDone;
  Preview preview;         // dry runs of the replacement only; runs on the workers
  ConvertOptions convert;  // conversion only
  QStringList ruleSets;    // read by the run besides its rows: no output may replace them
};

using EditorBufferFactory = std::function<std::unique_ptr<EditorBuffer>()>;
// One text service factory per thread (a factory serves one thread).
using TextServiceFactoryMaker = std::function<TextServiceFactory()>;

BatchResult ReplaceAllParallel(const QStringList& rules, const TargetSource& targets,
                               const EditorBufferFactory& makeBuffer,
                               const TextServiceFactoryMaker& makeServices, MessageSink& sink,
                               const ParallelOptions& options);

BatchResult ConvertAllParallel(const TargetSource& targets, CharacterCode code,
                               const TextServiceFactoryMaker& makeServices, MessageSink& sink,
                               const ParallelOptions& options);

}  // namespace morvelle::engine
