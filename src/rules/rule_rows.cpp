#include "rules/rule_rows.h"

#include "services/service_error.h"

namespace morvelle::rules {

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

void AddRuleRow(RuleTable& table, const QVariant& values) {
  RuleValues row{QVariant(1), QVariant(QString())};
  if (values.typeId() == QMetaType::QStringList) {
    const QStringList fields = values.toStringList();
    row[1] = fields.value(0);
    if (fields.size() > 1) {
      const std::optional<qint32> flag = ParseFlag(fields[1]);
      if (!flag) {
        throw ServiceError(QStringLiteral("有効フラグが整数ではありません: \"%1\"").arg(fields[1]));
      }
      row[0] = QVariant(*flag);
    }
  }
  table.AppendRow(row);
}

void ResetRules(RuleTable& table) {
  table.ClearRows();
  AddRuleRow(table, QString());
}

void RowEntered(RuleTable&, int) {}

void BeforeRowAction(const RuleTable& table, int row, int& cancel) {
  if (row == table.RowCount() - 1) cancel = 1;
}

void RowDeleted(RuleTable& table) {
  const int current = table.CurrentRow();
  if (current == table.RowCount() - 1) table.SetCurrentRow(current - 1);
}

bool WantsPopupMenu(const RuleTable& table, int button) {
  return button == 2 && table.CurrentRow() < table.RowCount() - 1;
}

}  // namespace morvelle::rules
