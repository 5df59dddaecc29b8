#pragma once
// The rule table as the program sees it: the operations and notifications of the grid that
// holds it, nothing more. Row indexes are 0-based; CurrentRow() is -1 without a current cell.

#include <QVariant>
#include <array>

namespace morvelle {

using RuleValues = std::array<QVariant, 2>;  // 0 = enable flag, 1 = expression

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
  virtual RuleValues RowValues(int row) const = 0;
  virtual QVariant CellValue(int row, int column) const = 0;
  // Neither raises a notification.
  virtual void ClearRows() = 0;
  virtual int AppendRow(const RuleValues& values) = 0;

  virtual int CurrentRow() const = 0;
  virtual void SetCurrentRow(int row) = 0;
  virtual bool HasCurrentCell() const = 0;
  virtual void CommitEdit() = 0;

  virtual void SetEvents(RuleTableEvents* events) = 0;
};

}  // namespace morvelle
