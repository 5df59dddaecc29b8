#pragma once
// The target list behind ListView1: what a drop adds, what the pop-up menu's "削除" and
// the reset button remove. The main window's handlers forward here, one call each. The
// selection lives in a QItemSelectionModel owned here, which the view shares, so that all
// of this works and is tested without widgets.

#include <QItemSelectionModel>
#include <QMimeData>

#include "filelist/file_icons.h"
#include "filelist/image_list.h"
#include "filelist/target_list_model.h"

namespace morvelle {

class TargetList {
 public:
  static constexpr int kRightButton = 2;

  // `background` is the colour icons are drawn on; by default transparent, so each row
  // shows its icon on the list's own background.
  explicit TargetList(QColor background = Qt::transparent);
  TargetList(const TargetList&) = delete;
  TargetList& operator=(const TargetList&) = delete;

  // A drop: one row per local file URL, in the order the data lists them; folders get the
  // folder image, files their details. Anything that is not a file URL list is ignored.
  void DropData(const QMimeData* data);

  bool HasSelection() const;
  // Whether a press of `button` (1 left, 2 right, 4 middle) opens the pop-up menu: a right
  // press while some row is selected, wherever the pointer is.
  bool WantsPopupMenu(int button) const;
  // Removes every selected row; the others keep their order.
  void RemoveSelected();
  // Removes all rows; the images stay.
  void Clear();

  TargetListModel& Model() { return model_; }
  const TargetListModel& Model() const { return model_; }
  QItemSelectionModel& Selection() { return selection_; }
  const ImageList& Images() const { return images_; }
  FileIcons& Icons() { return icons_; }

 private:
  FileIcons icons_;
  ImageList images_;
  TargetListModel model_;
  QItemSelectionModel selection_;
};

}  // namespace morvelle
