#include "cli/batch_cli.h"

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <map>
#include <thread>
#include <vector>

#include "adapters/editor_buffer_impl.h"
#include "adapters/file_probe.h"
#include "adapters/settings_file_service_impl.h"
#include "adapters/text_service_factory.h"
#include "cli/file_walk.h"
#include "cli/progress.h"
#include "cli/unified_diff.h"
#include "engine/batches.h"
#include "filelist/path_parts.h"
#include "rules/rule_set_file.h"
#include "services/file_names.h"
#include "services/service_error.h"

namespace morvelle::cli {

namespace {

// stdio keeps only a stream's error flag: the cause of the first write that failed on each
// stream is kept here for the message the run ends with. Only the thread that runs the command
// writes to the streams.
std::map<std::FILE*, int>& Failures() {
  static std::map<std::FILE*, int> failures;
  return failures;
}

void Put(std::FILE* out, const char* data, std::size_t size) {
  if (size > 0 && std::fwrite(data, 1, size, out) != size) Failures().try_emplace(out, errno);
}

void Flush(std::FILE* out) {
  if (std::fflush(out) != 0) Failures().try_emplace(out, errno);
}

// Text as the terminal takes it; names that are not UTF-8 keep their bytes.
void Write(std::FILE* out, const QString& text) {
  const QByteArray bytes = EncodeFileName(text);
  Put(out, bytes.constData(), size_t(bytes.size()));
}

// A report or a message that did not reach its stream fails the run: a diff or a count cut
// short is no answer. Said on standard error while that still takes it.
int Finished(int status, const Streams& s) {
  Flush(s.out);
  const std::map<std::FILE*, int>& failures = Failures();
  if (std::ferror(s.out) || failures.contains(s.out)) {
    const auto failure = failures.find(s.out);
    const int error = failure != failures.end() ? failure->second : EIO;
    Write(s.err, QStringLiteral("morvelle-batch: ") +
                     QCoreApplication::translate("BatchCli", "標準出力に書き込めません (%1)")
                         .arg(SystemErrorText(error)) +
                     u'\n');
    status = std::max(status, 1);
  }
  Flush(s.err);
  if (std::ferror(s.err) || failures.contains(s.err)) status = std::max(status, 1);
  return status;
}

class StderrSink : public engine::MessageSink {
 public:
  StderrSink(std::FILE* err, ProgressBar* progress) : err_(err), progress_(progress) {}
  // One line per message, named after the program, so that scripts can grep and tell it apart.
  void ShowError(const QString& description) override {
    if (progress_) progress_->Clear();
    QString line = description;
    line.replace(u'\n', u' ');
    Write(err_, QStringLiteral("morvelle-batch: ") + line + u'\n');
    Flush(err_);
  }

 private:
  std::FILE* err_;
  ProgressBar* progress_;
};

class ArgumentTargets : public TargetSource {
 public:
  explicit ArgumentTargets(const QStringList& files) {
    targets_.reserve(size_t(files.size()));
    for (const QString& f : files) targets_.push_back(TargetOfArgument(f));
  }
  qsizetype TargetCount() const override { return qsizetype(targets_.size()); }
  BatchTarget TargetAt(qsizetype index) const override { return targets_[size_t(index)]; }

 private:
  std::vector<BatchTarget> targets_;
};

// Throws ServiceError for a file that cannot be read or checked.
QStringList RulesOf(const Invocation& inv) {
  QStringList rules;
  std::unique_ptr<SettingsFileService> files;
  for (const QString& path : inv.ruleSets) {
    if (!files) files = MakeSettingsFileService();
    rules << engine::EnabledRulesOf(rules::ParseRuleSetLines(path, files->ReadLines(path)));
  }
  for (const QString& e : inv.expressions) {
    if (!e.isEmpty()) rules << e;
  }
  return rules;
}

int Threads(const Invocation& inv) {
  if (inv.jobs > 0) return inv.jobs;
  return int(std::max(1u, std::thread::hardware_concurrency()));
}

void Report(std::FILE* out, const QStringList& rules, const engine::FileReport& report) {
  QString text = report.target.sourcePath + u'\n';
  for (qsizetype r = 0; r < rules.size(); ++r) {
    QString count = QStringLiteral("-");  // not applied: an earlier rule failed
    if (r < qsizetype(report.replacements.size())) {
      count = QString::number(report.replacements[size_t(r)]);
    } else if (r == qsizetype(report.replacements.size()) && report.ruleFailed && !report.binary) {
      count = QCoreApplication::translate("BatchCli", "失敗");
    }
    text += u'\t' + count + u'\t' + rules[r] + u'\n';
  }
  Write(out, text);
}

int Status(const engine::BatchResult& result) { return result.failures == 0 ? 0 : 1; }

// The files of the run; with -v, what a walk left out, on standard error.
QStringList Files(const Invocation& inv, const Streams& s) {
  const WalkedFiles walked = FilesOf(inv);
  const QString skipped = walked.SkippedSummary();
  if (inv.verbose && !skipped.isEmpty()) {
    Write(s.err,
          QStringLiteral("morvelle-batch: ") +
              QCoreApplication::translate("BatchCli", "対象外にしたファイル: %1").arg(skipped) +
              u'\n');
  }
  return walked.files;
}

engine::Preview DiffOf(const Invocation& inv, const Streams& s) {
  const DiffStyle style{inv.color == Color::Always || (inv.color == Color::Auto && s.autoColor)};
  return [style](const BatchTarget& target, const EditorBuffer& buffer) {
    return UnifiedDiff(target.sourcePath, target.outputPath, buffer.LoadedText(), buffer.Changes(),
                       style);
  };
}

int RunReplace(const Invocation& inv, const Streams& s) {
  const QStringList files = Files(inv, s);
  ProgressBar progress(s.err, files.size(), s.errIsTerminal);
  StderrSink sink(s.err, &progress);
  QStringList rules;
  try {
    rules = RulesOf(inv);
  } catch (const ServiceError& e) {
    sink.ShowError(e.description());
    return 1;
  }
  const ArgumentTargets targets(files);
  long long done = 0;
  engine::ParallelOptions options;
  options.threads = Threads(inv);
  options.dryRun = inv.dryRun || inv.diff;
  options.ruleSets = inv.ruleSets;
  if (inv.diff) options.preview = DiffOf(inv, s);
  options.fileDone = [&](const engine::FileReport& report) {
    if (inv.dryRun || inv.verbose || inv.diff) progress.Clear();
    if (inv.dryRun || inv.verbose) Report(s.out, rules, report);
    Put(s.out, report.preview.constData(), size_t(report.preview.size()));
    progress.Update(++done);
  };
  engine::EditorBufferFactory makeBuffer = MakeEditorBuffer;
  if (inv.from) makeBuffer = [code = *inv.from] { return MakeEditorBufferReading(code); };
  const engine::BatchResult result =
      engine::ReplaceAllParallel(rules, targets, makeBuffer, MakeTextServiceFactory, sink, options);
  progress.Clear();
  return Status(result);
}

int RunConvert(const Invocation& inv, const Streams& s) {
  const QStringList files = Files(inv, s);
  ProgressBar progress(s.err, files.size(), s.errIsTerminal);
  StderrSink sink(s.err, &progress);
  const ArgumentTargets targets(files);
  long long done = 0;
  engine::ParallelOptions options;
  options.threads = Threads(inv);
  options.convert = {inv.from, inv.lineEnds, inv.bom};
  options.fileDone = [&](const engine::FileReport& report) {
    if (inv.verbose) {
      progress.Clear();
      Write(s.out, report.target.sourcePath + u'\t' + report.target.outputPath + u'\n');
    }
    progress.Update(++done);
  };
  const engine::BatchResult result =
      engine::ConvertAllParallel(targets, *inv.to, MakeTextServiceFactory, sink, options);
  progress.Clear();
  return Status(result);
}

// Not a batch: an unreadable file is reported and the others are still read.
int RunDetect(const Invocation& inv, const Streams& s) {
  int status = 0;
  for (const QString& path : Files(inv, s)) {
    try {
      Write(s.out, CodeNameOf(path, inv.from) + u'\t' + path + u'\n');
    } catch (const ServiceError& e) {
      Flush(s.out);
      StderrSink(s.err, nullptr).ShowError(e.description());
      status = 1;
    }
  }
  return status;
}

}  // namespace

BatchTarget TargetOfArgument(const QString& path) { return {path, OutputPathOf(path)}; }

int Run(const Invocation& inv, const Streams& streams) {
  switch (inv.command) {
    case Command::Help:
      Write(streams.out, HelpText());
      return Finished(0, streams);
    case Command::Version:
      Write(streams.out, VersionText());
      return Finished(0, streams);
    case Command::Replace:
      return Finished(RunReplace(inv, streams), streams);
    case Command::Convert:
      return Finished(RunConvert(inv, streams), streams);
    case Command::Detect:
      return Finished(RunDetect(inv, streams), streams);
  }
  return 2;
}

}  // namespace morvelle::cli
