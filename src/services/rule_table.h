#pragma once
// The rule table as the program sees it: the rows and the current cell of the grid that holds
// it, nothing more. Its rows are Rules, whatever the grid keeps them in. What the user does in
// the grid (entering a row, a row action, a mouse press) is the view's to tell, so the window
// takes those notifications from the grid itself. Row indexes are 0-based; CurrentRow() is -1
// without a current cell.

#include "services/rule.h"

namespace morvelle {

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
};

}  // namespace morvelle
