#include "filelist/list_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <algorithm>

#include "filelist/path_parts.h"
#include "mousecodes/mouse_codes.h"

namespace morvelle {

namespace {

// The source must never take our acceptance as leave to delete its files, so a drop is
// always a copy, whatever the source proposed.
template <typename Event>
bool AcceptAsCopy(Event* event) {
  if (!ListView1::CarriesLocalFiles(event->mimeData()) ||
      !(event->possibleActions() & Qt::CopyAction)) {
    event->ignore();
    return false;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
  return true;
}

}  // namespace

ListView1::ListView1(TargetList& list, QWidget* parent) : QTreeView(parent), list_(list) {
  setModel(&list_.Model());
  QItemSelectionModel* own = selectionModel();
  setSelectionModel(&list_.Selection());
  if (own != &list_.Selection()) delete own;

  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);  // keeps a list of thousands of rows fast to lay out
  setSortingEnabled(false);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setAllColumnsShowFocus(true);
  setIconSize(QSize(ImageList::kImageSize, ImageList::kImageSize));
  setAcceptDrops(true);
  setDragEnabled(false);
  setDragDropMode(QAbstractItemView::DropOnly);
  setDropIndicatorShown(false);

  QHeaderView* head = header();
  head->setStretchLastSection(false);
  head->setSectionsMovable(false);
  head->setSectionsClickable(false);
  head->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (int column = 0; column < TargetListModel::ColumnCount; ++column) {
    head->resizeSection(column, TargetListModel::DesignWidth(column));
  }
}

bool ListView1::CarriesLocalFiles(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return false;
  const QList<QUrl> urls = data->urls();
  return std::any_of(urls.cbegin(), urls.cend(),
                     [](const QUrl& url) { return LocalPathOfUrl(url).has_value(); });
}

void ListView1::dragEnterEvent(QDragEnterEvent* event) { AcceptAsCopy(event); }

void ListView1::dragMoveEvent(QDragMoveEvent* event) { AcceptAsCopy(event); }

void ListView1::dragLeaveEvent(QDragLeaveEvent* event) { event->accept(); }

void ListView1::dropEvent(QDropEvent* event) {
  if (!AcceptAsCopy(event)) return;
  Q_EMIT OLEDragDrop(event->mimeData());
}

void ListView1::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  Q_EMIT MouseDown(mousecodes::ButtonCode(event->button()),
                   mousecodes::ShiftCode(event->modifiers()), at.x(), at.y());
  // A right press leaves the selection alone: the pop-up menu's "削除" acts on the rows
  // that were selected when it opened.
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QTreeView::mousePressEvent(event);
}

}  // namespace morvelle
