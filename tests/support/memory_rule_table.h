#pragma once
// A rule table in memory, for the units that only need RuleTable's operations.

#include <vector>

#include "services/rule_table.h"

namespace morvelle::testing {

class MemoryRuleTable : public RuleTable {
 public:
  std::vector<Rule> rows;
  int current = -1;
  int commits = 0;

  int RowCount() const override { return int(rows.size()); }
  Rule RuleAt(int row) const override { return rows.at(size_t(row)); }
  void ClearRows() override {
    rows.clear();
    current = -1;
  }
  int AppendRow(const Rule& rule) override {
    rows.push_back(rule);
    return int(rows.size()) - 1;
  }
  int CurrentRow() const override { return current; }
  void SetCurrentRow(int row) override { current = row; }
  bool HasCurrentCell() const override { return current >= 0; }
  void CommitEdit() override { ++commits; }
};

}  // namespace morvelle::testing
