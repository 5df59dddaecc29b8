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

}  // namespace morvelle::rules
