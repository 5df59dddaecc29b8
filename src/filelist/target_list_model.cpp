#include "filelist/target_list_model.h"

#include "filelist/path_parts.h"

namespace morvelle {

TargetListModel::TargetListModel(const ImageList* images, QObject* parent)
    : QAbstractTableModel(parent), images_(images) {}

QString TargetListModel::HeaderText(int column) {
  switch (column) {
    case NameColumn:
      return QStringLiteral("ﾌｧｲﾙ名");
    case SizeColumn:
      return QStringLiteral("ｻｲｽﾞ");
    case ModifiedColumn:
      return QStringLiteral("更新日");
    case FolderColumn:
      return QStringLiteral("ﾊﾟｽ");
    default:
      return {};
  }
}

int TargetListModel::DesignWidth(int column) {
  static constexpr int kWidths[ColumnCount] = {113, 67, 67, 333};
  return column >= 0 && column < ColumnCount ? kWidths[column] : 0;
}

int TargetListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int TargetListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant TargetListModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
    return {};
  }
  const TargetEntry& entry = entries_[static_cast<size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      switch (index.column()) {
        case NameColumn:
          return DisplayFileName(entry.FileName);
        case SizeColumn:
          return entry.SizeText;
        case ModifiedColumn:
          return entry.ModifiedText;
        case FolderColumn:
          return DisplayFileName(entry.Folder);
      }
      return {};
    case Qt::DecorationRole:
      if (index.column() == NameColumn && entry.IconIndex > 0 && images_ != nullptr) {
        return images_->At(entry.IconIndex);
      }
      return {};
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
  }
  return {};
}

QVariant TargetListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) return {};
  if (role == Qt::DisplayRole) return HeaderText(section);
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
  }
  return {};
}

Qt::ItemFlags TargetListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void TargetListModel::Append(std::vector<TargetEntry> rows) {
  if (rows.empty()) return;
  const int first = static_cast<int>(entries_.size());
  beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
  entries_.insert(entries_.end(), std::make_move_iterator(rows.begin()),
                  std::make_move_iterator(rows.end()));
  endInsertRows();
}

void TargetListModel::RemoveRows(int row, int count) {
  if (count <= 0 || row < 0 || row + count > rowCount()) return;
  beginRemoveRows({}, row, row + count - 1);
  const auto begin = entries_.begin() + row;
  entries_.erase(begin, begin + count);
  endRemoveRows();
}

void TargetListModel::Clear() {
  if (entries_.empty()) return;
  beginResetModel();
  entries_.clear();
  endResetModel();
}

BatchTarget TargetListModel::TargetAt(qsizetype index) const {
  const TargetEntry& entry = Entry(index);
  const QString source = entry.Folder + PathSeparator() + entry.DroppedName;
  return {source, OutputPathOf(source)};
}

}  // namespace morvelle
