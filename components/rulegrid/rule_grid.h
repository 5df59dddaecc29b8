#pragma once
// The grid that holds the rule table. It offers exactly what the program drives: row access,
// clear and append (both silent), the current cell, committing an edit in progress, and three
// notifications raised only by the user's work in the grid.

#include <QTableView>

#include "rulegrid/rule_grid_model.h"

namespace morvelle::rulegrid {

class RuleGrid : public QTableView {
  Q_OBJECT

 public:
  explicit RuleGrid(QWidget* parent = nullptr);

  int rowCountValue() const { return model_->rowCount(); }
  RuleGridModel::Row rowValues(int row) const { return model_->row(row); }
  QVariant cellValue(int row, int column) const { return model_->row(row).at(size_t(column)); }
  void clearRows();
  int appendRow(const RuleGridModel::Row& values);

  int currentRowIndex() const;       // -1 without a current cell
  void setCurrentRowIndex(int row);  // -1: no current cell
  bool hasCurrentCell() const { return currentIndex().isValid(); }
  void commitEdit();

  // A user operation on a row, refused when a listener sets *cancel to non-zero. The current
  // cell moves to a neighbouring row without a rowEntered: the user has not entered it.
  bool requestDeleteRow(int row);

  RuleGridModel* gridModel() const { return model_; }

 Q_SIGNALS:
  void rowEntered(int row);
  void beforeRowAction(int row, int* cancel);
  // Button 1 left, 2 right, 4 middle; shift 1 Shift, 2 Ctrl, 4 Alt; x, y in the grid.
  void mouseDown(int button, int shift, int x, int y);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  class Delegate;

  RuleGridModel* model_;
  Delegate* delegate_;
  bool silent_ = false;
};

}  // namespace morvelle::rulegrid
