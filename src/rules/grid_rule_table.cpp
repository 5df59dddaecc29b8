#include "rules/grid_rule_table.h"

namespace morvelle::rules {

// The grid's flag column holds an int, the one it was given or 1 and 0 from the check box.
Rule GridRuleTable::RuleAt(int row) const {
  const rulegrid::RuleGridModel::Row values = grid_.rowValues(row);
  return {values[0].toInt(), values[1].toString()};
}

int GridRuleTable::AppendRow(const Rule& rule) {
  return grid_.appendRow({QVariant(rule.flag), QVariant(rule.expression)});
}

}  // namespace morvelle::rules
