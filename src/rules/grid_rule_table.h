#pragma once
// RuleTable over the grid widget: the program reaches the grid only through this adapter.

#include "rulegrid/rule_grid.h"
#include "services/rule_table.h"

namespace morvelle::rules {

class GridRuleTable : public RuleTable {
 public:
  explicit GridRuleTable(rulegrid::RuleGrid& grid);

  int RowCount() const override { return grid_.rowCountValue(); }
  Rule RuleAt(int row) const override;
  void ClearRows() override { grid_.clearRows(); }
  int AppendRow(const Rule& rule) override;
  int CurrentRow() const override { return grid_.currentRowIndex(); }
  void SetCurrentRow(int row) override { grid_.setCurrentRowIndex(row); }
  bool HasCurrentCell() const override { return grid_.hasCurrentCell(); }
  void CommitEdit() override { grid_.commitEdit(); }
  void SetEvents(RuleTableEvents* events) override { events_ = events; }

 private:
  rulegrid::RuleGrid& grid_;
  RuleTableEvents* events_ = nullptr;
};

}  // namespace morvelle::rules
