#include "rules/grid_rule_table.h"

namespace morvelle::rules {

GridRuleTable::GridRuleTable(rulegrid::RuleGrid& grid) : grid_(grid) {
  QObject::connect(&grid_, &rulegrid::RuleGrid::rowEntered, &grid_, [this](int row) {
    if (events_) events_->RowEntered(row);
  });
  QObject::connect(&grid_, &rulegrid::RuleGrid::beforeRowAction, &grid_,
                   [this](int row, int* cancel) {
                     if (events_) events_->BeforeRowAction(row, *cancel);
                   });
  QObject::connect(&grid_, &rulegrid::RuleGrid::mouseDown, &grid_,
                   [this](int b, int s, int x, int y) {
                     if (events_) events_->MouseDown(b, s, x, y);
                   });
}

// The grid's flag column holds an int, the one it was given or 1 and 0 from the check box.
Rule GridRuleTable::RuleAt(int row) const {
  const rulegrid::RuleGridModel::Row values = grid_.rowValues(row);
  return {values[0].toInt(), values[1].toString()};
}

int GridRuleTable::AppendRow(const Rule& rule) {
  return grid_.appendRow({QVariant(rule.flag), QVariant(rule.expression)});
}

}  // namespace morvelle::rules
