#include "rulegrid/rule_grid_model.h"

namespace morvelle::rulegrid {

namespace {

bool IsBlank(const RuleGridModel::Row& row) { return row[1].toString().isEmpty(); }

}  // namespace

RuleGridModel::RuleGridModel(QObject* parent) : QAbstractTableModel(parent) {}

int RuleGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RuleGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant RuleGridModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
  const Row& r = row(index.row());
  if (index.column() == 0) {
    if (role == Qt::CheckStateRole) return r[0].toLongLong() != 0 ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::UserRole) return r[0];
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    return {};
  }
  if (role == Qt::DisplayRole || role == Qt::EditRole || role == Qt::UserRole) return r[1];
  return {};
}

bool RuleGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return false;
  Row& r = rows_[static_cast<size_t>(index.row())];
  if (index.column() == 0 && role == Qt::CheckStateRole) {
    r[0] = QVariant(value.toInt() == Qt::Checked ? 1 : 0);
  } else if (index.column() == 1 && role == Qt::EditRole) {
    r[1] = QVariant(value.toString());
  } else {
    return false;
  }
  Q_EMIT dataChanged(index, index, {role});
  keepOneSpareRow(index.row());
  return true;
}

Qt::ItemFlags RuleGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  return f | (index.column() == 0 ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable);
}

QVariant RuleGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  return section == 0 ? QStringLiteral("有効") : QStringLiteral("置換文字/条件");
}

void RuleGridModel::clear() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

int RuleGridModel::append(const Row& values) {
  const int at = static_cast<int>(rows_.size());
  beginInsertRows({}, at, at);
  rows_.push_back(values);
  endInsertRows();
  return at;
}

void RuleGridModel::remove(int index) {
  beginRemoveRows({}, index, index);
  rows_.erase(rows_.begin() + index);
  endRemoveRows();
  keepOneSpareRow(-1);
}

void RuleGridModel::keepOneSpareRow(int keep) {
  const int count = rowCount();
  int first = count;  // of the blank rows at the end
  while (first > 0 && IsBlank(rows_[static_cast<size_t>(first - 1)])) --first;
  if (first == count) {
    append({QVariant(1), QVariant(QString())});
    return;
  }
  if (keep < first) keep = count - 1;
  eraseRows(keep + 1, count - 1);
  eraseRows(first, keep - 1);
}

void RuleGridModel::eraseRows(int from, int to) {
  if (from > to) return;
  beginRemoveRows({}, from, to);
  rows_.erase(rows_.begin() + from, rows_.begin() + to + 1);
  endRemoveRows();
}

}  // namespace morvelle::rulegrid
