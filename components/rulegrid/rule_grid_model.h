#pragma once
// Rows of two variant values: column 0 the enable flag (any integer; shown as a check box,
// checked when non-zero), column 1 the expression text. A loaded flag such as 5 keeps its
// value until the user toggles the box.

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
  std::vector<Row> rows_;
};

}  // namespace morvelle::rulegrid
