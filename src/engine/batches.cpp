#include "engine/batches.h"

#include <QCoreApplication>

#include "engine/collisions.h"
#include "engine/replace_file.h"
#include "services/service_error.h"

namespace morvelle::engine {

QStringList EnabledRulesOf(const std::vector<Rule>& rules) {
  QStringList enabled;
  for (const Rule& rule : rules) {
    if (rule.flag != 0 && !rule.expression.isEmpty()) enabled << rule.expression;
  }
  return enabled;
}

namespace {

// The text service of one file, made when first needed: a file that needs none makes none.
class FileService {
 public:
  explicit FileService(const TextServiceFactory& make) : make_(make) {}
  TextService& operator*() {
    if (!made_) made_ = make_();
    return *made_;
  }

 private:
  const TextServiceFactory& make_;
  std::unique_ptr<TextService> made_;
};

// Applies `rules` in turn to the buffer's text; each rule's edits reach the buffer before the
// next rule reads its text. Returns false after reporting a failed rule, or a service that cannot
// be made; the remaining rules are then skipped, and the buffer holds the rules applied before
// it. A failure of the buffer itself is no rule's: its ServiceError comes out of the call.
// `counts` receives the number of spans each applied rule changed.
bool ApplyRules(const QStringList& rules, EditorBuffer& buffer, FileService& service,
                MessageSink& sink, const QString& file, std::vector<qsizetype>& counts) {
  for (const QString& expression : rules) {
    TextEdits edits;
    const QStringView text = buffer.Text();
    try {
      edits = (*service).SubstituteWithEdits(expression, text);
    } catch (const ServiceError& e) {
      sink.ShowError(
          QCoreApplication::translate("Batches", "%1\n(ファイル: %2)").arg(e.description(), file));
      return false;
    }
    counts.push_back(edits.size());
    buffer.ApplyEdits(edits);
  }
  return true;
}

// Whether every rule needs a text the file does not hold, the file reading without an
// unreadable byte: it is then copied as it is, never decoded. An expression that cannot be used
// is left to ApplyRules, which says why.
bool NoRuleCanChange(const QStringList& rules, const EditorBuffer& buffer, FileService& service) {
  QStringList needed;
  try {
    for (const QString& expression : rules) {
      std::optional<QString> text = (*service).RequiredText(expression);
      if (!text) return false;
      needed << *text;
    }
  } catch (const ServiceError&) {
    return false;
  }
  return !buffer.MayHold(needed);
}

// Applies the rules straight to the file's bytes when each replaces a text with a text and the
// buffer can go by bytes (EditorBuffer::ReplaceLiterals): the file is never decoded. An
// expression that cannot be used is left to ApplyRules, which says why.
bool ReplacedOnBytes(const QStringList& rules, EditorBuffer& buffer, FileService& service,
                     std::vector<qsizetype>& counts) {
  std::vector<LiteralRule> literals;
  literals.reserve(size_t(rules.size()));
  try {
    for (const QString& expression : rules) {
      std::optional<LiteralRule> literal = (*service).Literal(expression);
      if (!literal) return false;
      literals.push_back(std::move(*literal));
    }
  } catch (const ServiceError&) {
    return false;
  }
  std::optional<std::vector<qsizetype>> replaced = buffer.ReplaceLiterals(literals);
  if (!replaced) return false;
  counts = std::move(*replaced);
  return true;
}

void Between(const ReplaceOptions& options, qsizetype index, qsizetype count) {
  if (options.betweenFiles && index + 1 < count) options.betweenFiles();
}

// What rules cannot reach in the file, said as a failed rule is: a file read as binary data,
// which no rule edits, or the unreadable bytes the rules go around.
void ReportUnreadable(const UnreadableBytes& unreadable, MessageSink& sink, const QString& file) {
  if (unreadable.binary) {
    sink.ShowError(
        QCoreApplication::translate(
            "Batches", "バイナリファイルとして読んだので置換しません (出力は元のままです): %1")
            .arg(file));
    return;
  }
  if (unreadable.count == 0) return;
  const QString more =
      unreadable.count > 1
          ? QCoreApplication::translate("Batches", " ほか、全 %1 バイト").arg(unreadable.count)
          : QString();
  sink.ShowError(QCoreApplication::translate(
                     "Batches", "読めないバイトは置換せず元のまま残します: %1 の %2%3 (%4 として)")
                     .arg(file, unreadable.first, more, unreadable.code));
}

}  // namespace

std::function<void()> ReplaceFile(const QStringList& rules, const BatchTarget& target,
                                  EditorBuffer& buffer, const TextServiceFactory& makeService,
                                  MessageSink& sink, Save save, FileReport& report,
                                  const Preview& preview) {
  buffer.LoadFile(target.sourcePath);
  // Without rules the file is only copied, and its text is never needed. With them, what they
  // cannot reach is told as a failed rule is, and the rules still apply to the rest.
  FileService service(makeService);
  // A check shows what changed against the file as loaded, which bytes replaced in place are not.
  if (!rules.isEmpty() && save != Save::Check &&
      ReplacedOnBytes(rules, buffer, service, report.replacements)) {
  } else if (!rules.isEmpty() && NoRuleCanChange(rules, buffer, service)) {
    report.replacements.assign(size_t(rules.size()), 0);
  } else if (!rules.isEmpty()) {
    const UnreadableBytes unreadable = buffer.Unreadable();
    ReportUnreadable(unreadable, sink, target.sourcePath);
    if (unreadable.binary) {
      report.ruleFailed = true;
      report.binary = true;
    } else {
      // Bytes left unread fail the file as a rule would, even when every rule applied.
      const bool applied =
          ApplyRules(rules, buffer, service, sink, target.sourcePath, report.replacements);
      report.ruleFailed = !applied || unreadable.count > 0;
    }
  }
  switch (save) {
    case Save::Stage:
      return buffer.StageSave(target.outputPath);
    case Save::Check:
      buffer.CheckSave(target.outputPath);
      if (preview) report.preview = preview(target, buffer);
      return {};
    case Save::Direct:
      buffer.SaveFile(target.outputPath);
      return {};
  }
  return {};
}

std::vector<BatchTarget> TargetsOf(const TargetSource& targets) {
  std::vector<BatchTarget> list;
  const qsizetype count = targets.TargetCount();
  list.reserve(size_t(count));
  for (qsizetype i = 0; i < count; ++i) list.push_back(targets.TargetAt(i));
  return list;
}

bool RefuseCollisions(const std::vector<BatchTarget>& list, MessageSink& sink,
                      const QStringList& ruleSets) {
  const std::optional<QString> collision = FindCollision(list, ruleSets);
  if (collision) sink.ShowError(*collision);
  return !collision;
}

BatchResult ReplaceAll(const QStringList& rules, const TargetSource& targets, EditorBuffer& buffer,
                       const TextServiceFactory& makeService, MessageSink& sink,
                       const ReplaceOptions& options) {
  const std::vector<BatchTarget> list = TargetsOf(targets);
  if (!RefuseCollisions(list, sink)) return {0, 1, true};
  return ReplaceListed(rules, list, buffer, makeService, sink, options);
}

BatchResult ReplaceListed(const QStringList& rules, const std::vector<BatchTarget>& list,
                          EditorBuffer& buffer, const TextServiceFactory& makeService,
                          MessageSink& sink, const ReplaceOptions& options) {
  BatchResult result;
  const qsizetype count = qsizetype(list.size());
  for (qsizetype i = 0; i < count; ++i) {
    FileReport report{i, list[size_t(i)], {}, false, false, {}, false};
    try {
      ReplaceFile(rules, report.target, buffer, makeService, sink,
                  options.dryRun ? Save::Check : Save::Direct, report, options.preview);
    } catch (const ServiceError& e) {
      if (report.ruleFailed) ++result.failures;
      sink.ShowError(e.description());
      ++result.failures;
      result.stopped = true;
      return result;
    }
    if (report.ruleFailed) ++result.failures;
    if (!options.dryRun) {
      report.written = true;
      ++result.written;
    }
    if (options.fileDone) options.fileDone(report);
    Between(options, i, count);
  }
  return result;
}

BatchResult ConvertAll(const TargetSource& targets, CharacterCode code, TextService& service,
                       MessageSink& sink, const ReplaceOptions& options) {
  const std::vector<BatchTarget> list = TargetsOf(targets);
  if (!RefuseCollisions(list, sink)) return {0, 1, true};
  return ConvertListed(list, code, service, sink, options);
}

BatchResult ConvertListed(const std::vector<BatchTarget>& list, CharacterCode code,
                          TextService& service, MessageSink& sink, const ReplaceOptions& options) {
  BatchResult result;
  const qsizetype count = qsizetype(list.size());
  for (qsizetype i = 0; i < count; ++i) {
    const BatchTarget& target = list[size_t(i)];
    try {
      service.ConvertFile(target.sourcePath, target.outputPath, code, options.convert);
      ++result.written;
    } catch (const ServiceError& e) {
      sink.ShowError(e.description());
      ++result.failures;
      result.stopped = true;
      return result;
    }
    if (options.fileDone) options.fileDone({i, target, {}, false, true, {}, false});
    Between(options, i, count);
  }
  return result;
}

}  // namespace morvelle::engine
