#pragma once
// ListView1: the report view of the target list. It reports drops and mouse presses to
// whoever listens (the main window's handlers) and does nothing else on its own: no item
// moving, no sorting, no editing. Only a file URL list may be dropped.

#include <QMimeData>
#include <QTreeView>

#include "filelist/target_list.h"

namespace morvelle {

class ListView1 : public QTreeView {
  Q_OBJECT

 public:
  explicit ListView1(TargetList& list, QWidget* parent = nullptr);

  // Whether a drag carries at least one local file URL.
  static bool CarriesLocalFiles(const QMimeData* data);

 Q_SIGNALS:
  // Emitted for each drop of a file URL list; `data` lives until the handler returns.
  void OLEDragDrop(const QMimeData* data);
  // Emitted for each press, before the view acts on it, with the classic button and shift
  // codes (mousecodes/mouse_codes.h); x and y in viewport pixels.
  void MouseDown(int button, int shift, int x, int y);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  TargetList& list_;
};

}  // namespace morvelle
