#pragma once
// Rows of two variant values: column 0 the enable flag (any integer; shown as a check box,
// checked when non-zero), column 1 the expression text. A loaded flag such as 5 keeps its
// value until the user toggles the box.
//
// The table ends in exactly one blank row, the spare row, after every change setData() and
// remove() make: filling the spare row appends a new one [1, ""], and blank rows that come to
// end the table (an emptied rule, a deleted one) leave one of them. clear() and append() build
// a table row by row; whoever builds it ends it with the spare row.

#include <QAbstractTableModel>
#include <QVariant>
#include <array>
#include <vector>

namespace morvelle::rulegrid {

class RuleGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using Row = std::array<QVariant, 2>;

  explicit RuleGridModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  const Row& row(int index) const { return rows_.at(static_cast<size_t>(index)); }
  void clear();
  int append(const Row& values);
  void remove(int index);

 private:
  // Keeps row `keep` if it is one of the blank rows at the end (the editor that emptied it may
  // still be open on it), otherwise the last row.
  void keepOneSpareRow(int keep);
  void eraseRows(int from, int to);

  std::vector<Row> rows_;
};

}  // namespace morvelle::rulegrid
