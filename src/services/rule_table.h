#pragma once
// The rule table as the program sees it: the operations and notifications of the grid that
// holds it, nothing more. Its rows are Rules, whatever the grid keeps them in. Row indexes are
// 0-based; CurrentRow() is -1 without a current cell.

#include "services/rule.h"

namespace morvelle {

class RuleTableEvents {
 public:
  virtual ~RuleTableEvents() = default;
  virtual void RowEntered(int row) = 0;
  virtual void BeforeRowAction(int row, int& cancel) = 0;
  virtual void MouseDown(int button, int shift, int x, int y) = 0;
};

class RuleTable {
 public:
  virtual ~RuleTable() = default;

  virtual int RowCount() const = 0;
  virtual Rule RuleAt(int row) const = 0;
  // Neither raises a notification.
  virtual void ClearRows() = 0;
  virtual int AppendRow(const Rule& rule) = 0;

  virtual int CurrentRow() const = 0;
  virtual void SetCurrentRow(int row) = 0;
  virtual bool HasCurrentCell() const = 0;
  virtual void CommitEdit() = 0;

  virtual void SetEvents(RuleTableEvents* events) = 0;
};

}  // namespace morvelle
