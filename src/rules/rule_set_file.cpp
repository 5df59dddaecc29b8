#include "rules/rule_set_file.h"

#include <QCoreApplication>

#include "rules/rule_rows.h"
#include "services/service_error.h"

namespace morvelle::rules {

namespace {

const QString kProbe = QStringLiteral("\n");

QString RowMessage(int row, const QString& expression, const QString& reason,
                   const QString& detail) {
  return QString::number(row + 1) + QStringLiteral(":  ") + expression + QStringLiteral("\r\n") +
         reason + QStringLiteral("\r\n") + detail;
}

QString CodePoint(char32_t c) {
  return QStringLiteral("U+") + QString::number(uint(c), 16).toUpper().rightJustified(4, u'0');
}

// A character the file holds only one way would load back as another rule; written as \x{...}
// it is plain ASCII in the file and means the same in a pattern and in a replacement.
QString UnstorableDetail(const SettingsFileService::Unstorable& bad) {
  if (!bad.readsBackAs) {
    return QStringLiteral("%1 は Shift_JIS で表せません。").arg(CodePoint(bad.codePoint));
  }
  const char32_t from[] = {bad.codePoint};
  const char32_t to[] = {*bad.readsBackAs};
  return QStringLiteral(
             "%1 (%2) は Shift_JIS で保存すると %3 (%4) として読み込まれます。"
             "\\x{%5} と書いてください。")
      .arg(CodePoint(bad.codePoint), QString::fromUcs4(from, 1), CodePoint(*bad.readsBackAs),
           QString::fromUcs4(to, 1), CodePoint(bad.codePoint).mid(2));
}

// The first row whose expression is not usable, or cannot be stored in the file.
bool ReportBadRow(RuleSetContext& c) {
  const std::vector<Rule> rules = RulesOf(c.table);
  for (int i = 0; i < int(rules.size()); ++i) {
    const QString& expression = rules[size_t(i)].expression;
    if (expression.isEmpty()) continue;

    QString result;
    try {
      result = c.textService().Substitute(expression, kProbe);
    } catch (const ServiceError& e) {
      result = e.description();
    }
    QString reason = QStringLiteral("正規表現の設定が正しくありません。");
    if (result == kProbe) {
      // The file has no escaping, and it is written in CP932.
      reason = QStringLiteral("この条件は設定ファイルに保存できません。");
      if (expression.contains(u'\t') || expression.contains(u'\r') || expression.contains(u'\n')) {
        result = QStringLiteral("タブや改行を含む条件は保存できません。");
      } else if (const auto bad = c.files().FirstUnstorable(expression)) {
        result = UnstorableDetail(*bad);
      } else {
        continue;
      }
    }
    c.prompts.ShowMessage(RowMessage(i, expression, reason, result), MessageIcon::Critical);
    c.table.SetCurrentRow(i);
    return true;
  }
  return false;
}

void WriteRuleSet(RuleSetContext& c, const QString& path) {
  QStringList lines;
  for (const Rule& rule : RulesOf(c.table)) {
    lines << rule.expression + u'\t' + QString::number(rule.flag);
  }
  try {
    c.files().WriteLines(path, lines);
  } catch (const ServiceError& e) {
    c.prompts.ShowMessage(e.description(), MessageIcon::None);
  }
}

}  // namespace

void SaveRuleSet(RuleSetContext& c) {
  if (ReportBadRow(c)) return;

  const RuleSetFolders folders = c.folders();
  // A dialog opens only in a folder that exists, so the user's own folder is made for it (a
  // dialog on the last chosen file does not need it); whatever of it stays empty, because the
  // rule set went elsewhere or nowhere, is removed again after the save.
  QStringList made;
  if (c.fileName.isEmpty()) {
    try {
      made = c.files().MakeFolder(folders.save);
    } catch (const ServiceError& e) {
      c.prompts.ShowMessage(e.description(), MessageIcon::None);
      return;
    }
  }

  const QString chosen =
      c.prompts.GetSaveFileName(QString::fromUtf16(kRuleSetFilter), folders.save, c.fileName);
  // A cancelled dialog leaves no name, so the next one starts without one.
  c.fileName = chosen;
  if (!chosen.isEmpty()) WriteRuleSet(c, chosen);
  c.files().RemoveEmptyFolders(made);
}

std::optional<qint32> ParseFlag(QStringView text) {
  const QStringView t = text.trimmed();
  qsizetype i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) negative = t[i++] == u'-';
  if (i == t.size()) return std::nullopt;
  qint64 value = 0;
  for (; i < t.size(); ++i) {
    const char16_t c = t[i].unicode();
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
    if (value > qint64(1) << 31) return std::nullopt;
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<qint32>(value);
}

std::vector<Rule> ParseRuleSetLines(const QString& path, const QStringList& lines) {
  std::vector<Rule> rules;
  for (qsizetype n = 0; n < lines.size(); ++n) {
    if (lines[n].isEmpty()) continue;
    const QStringList pieces = lines[n].split(u'\t');
    if (pieces[0].isEmpty()) continue;
    const std::optional<qint32> flag = pieces.size() > 1 ? ParseFlag(pieces[1]) : 1;
    if (!flag) {
      throw ServiceError(QCoreApplication::translate("RuleSetFile",
                                                     "設定ファイルを読み込めません: %1 (%2 行目の"
                                                     "有効フラグ \"%3\" が整数ではありません)")
                             .arg(path, QString::number(n + 1), pieces[1]));
    }
    rules.push_back({*flag, pieces[0]});
  }
  return rules;
}

void LoadRuleSet(RuleSetContext& c) {
  const RuleSetFolders folders = c.folders();
  const QString chosen = c.prompts.GetOpenFileName(QString::fromUtf16(kRuleSetFilter), folders.load,
                                                   c.fileName, folders.places);
  c.fileName = chosen;
  if (chosen.isEmpty()) return;

  std::vector<Rule> rules;
  try {
    rules = ParseRuleSetLines(chosen, c.files().ReadLines(chosen));
  } catch (const ServiceError& e) {
    // Nothing has touched the table yet.
    c.prompts.ShowMessage(e.description(), MessageIcon::None);
    return;
  }
  c.table.ClearRows();
  for (const Rule& rule : rules) c.table.AppendRow(rule);
  AddSpareRow(c.table);
}

}  // namespace morvelle::rules
