#include "rules/rule_rows.h"

namespace morvelle::rules {

void AddSpareRow(RuleTable& table) { table.AppendRow(Rule()); }

std::vector<Rule> RulesOf(const RuleTable& table) {
  std::vector<Rule> rules;
  const int count = table.RowCount();
  rules.reserve(size_t(count));
  for (int row = 0; row < count; ++row) rules.push_back(table.RuleAt(row));
  return rules;
}

void ResetRules(RuleTable& table) {
  table.ClearRows();
  AddSpareRow(table);
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
