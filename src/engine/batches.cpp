#include "engine/batches.h"

#include "services/service_error.h"

namespace morvelle::engine {

QStringList EnabledRulesOf(const RuleTable& table) {
  QStringList rules;
  const int count = table.RowCount();
  for (int row = 0; row < count; ++row) {
    const RuleValues values = table.RowValues(row);
    const QString expression = values[1].toString();
    if (values[0].toLongLong() != 0 && !expression.isEmpty()) rules << expression;
  }
  return rules;
}

bool ApplyRules(const QStringList& rules, QString& text, std::vector<std::vector<TextEdit>>& edits,
                const TextServiceFactory& makeService, MessageSink& sink, const QString& file) {
  std::unique_ptr<TextService> service;
  for (const QString& expression : rules) {
    try {
      if (!service) service = makeService();
      SubstituteOutcome outcome = service->SubstituteWithEdits(expression, text);
      text = std::move(outcome.text);
      if (!outcome.edits.empty()) edits.push_back(std::move(outcome.edits));
    } catch (const ServiceError& e) {
      sink.ShowError(QStringLiteral("%1\n(ファイル: %2)").arg(e.description(), file));
      return false;
    }
  }
  return true;
}

namespace {

void Between(const ReplaceOptions& options, qsizetype index, qsizetype count) {
  if (options.betweenFiles && index + 1 < count) options.betweenFiles();
}

}  // namespace

BatchResult ReplaceAll(const QStringList& rules, const TargetSource& targets, EditorBuffer& buffer,
                       const TextServiceFactory& makeService, MessageSink& sink,
                       const ReplaceOptions& options) {
  BatchResult result;
  const qsizetype count = targets.TargetCount();
  for (qsizetype i = 0; i < count; ++i) {
    const BatchTarget target = targets.TargetAt(i);
    try {
      buffer.LoadFile(target.sourcePath);
      QString text = buffer.Text();
      std::vector<std::vector<TextEdit>> edits;
      if (!ApplyRules(rules, text, edits, makeService, sink, target.sourcePath)) ++result.failures;
      for (const std::vector<TextEdit>& ruleEdits : edits) buffer.ApplyEdits(ruleEdits);
      buffer.SaveFile(target.outputPath);
      ++result.written;
    } catch (const ServiceError& e) {
      sink.ShowError(e.description());
      ++result.failures;
      result.stopped = true;
      return result;
    }
    Between(options, i, count);
  }
  return result;
}

BatchResult ConvertAll(const TargetSource& targets, int code, TextService& service,
                       MessageSink& sink, const ReplaceOptions& options) {
  BatchResult result;
  const qsizetype count = targets.TargetCount();
  for (qsizetype i = 0; i < count; ++i) {
    const BatchTarget target = targets.TargetAt(i);
    try {
      service.ConvertFile(target.sourcePath, target.outputPath, code, 0);
      ++result.written;
    } catch (const ServiceError& e) {
      sink.ShowError(e.description());
      ++result.failures;
      result.stopped = true;
      return result;
    }
    Between(options, i, count);
  }
  return result;
}

}  // namespace morvelle::engine
