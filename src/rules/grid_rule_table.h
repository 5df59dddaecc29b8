#pragma once
// RuleTable over the grid widget: the program reads and writes the grid's rules only through this
// adapter. The grid's notifications are the view's, and go to the window straight from the grid.

#include "rulegrid/rule_grid.h"
#include "services/rule_table.h"

namespace morvelle::rules {

class GridRuleTable : public RuleTable {
 public:
  explicit GridRuleTable(rulegrid::RuleGrid& grid) : grid_(grid) {}

  int RowCount() const override { return grid_.rowCountValue(); }
  Rule RuleAt(int row) const override;
  void ClearRows() override { grid_.clearRows(); }
  int AppendRow(const Rule& rule) override;
  int CurrentRow() const override { return grid_.currentRowIndex(); }
  void SetCurrentRow(int row) override { grid_.setCurrentRowIndex(row); }
  bool HasCurrentCell() const override { return grid_.hasCurrentCell(); }
  void CommitEdit() override { grid_.commitEdit(); }

 private:
  rulegrid::RuleGrid& grid_;
};

}  // namespace morvelle::rules
