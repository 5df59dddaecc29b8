#pragma once
// The rows of the target list as a table model: four read-only, left-aligned columns in
// the order name, size, date, folder; the name column carries the row's small image. The
// model is also what both batches iterate, in list order.

#include <QAbstractTableModel>
#include <vector>

#include "filelist/image_list.h"
#include "filelist/target_entry.h"
#include "services/target_source.h"

namespace morvelle {

class TargetListModel : public QAbstractTableModel, public TargetSource {
  Q_OBJECT

 public:
  enum Column { NameColumn = 0, SizeColumn, ModifiedColumn, FolderColumn, ColumnCount };

  explicit TargetListModel(const ImageList* images, QObject* parent = nullptr);

  // Header texts and design widths in pixels.
  static QString HeaderText(int column);
  static int DesignWidth(int column);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  const std::vector<TargetEntry>& Entries() const { return entries_; }
  const TargetEntry& Entry(qsizetype row) const { return entries_.at(static_cast<size_t>(row)); }

  // Appends the rows at the end, in order, as one insertion.
  void Append(std::vector<TargetEntry> rows);
  // Removes `count` rows starting at `row` (0-based).
  void RemoveRows(int row, int count);
  void Clear();

  // TargetSource
  qsizetype TargetCount() const override { return static_cast<qsizetype>(entries_.size()); }
  BatchTarget TargetAt(qsizetype index) const override;

 private:
  const ImageList* images_;
  std::vector<TargetEntry> entries_;
};

}  // namespace morvelle
