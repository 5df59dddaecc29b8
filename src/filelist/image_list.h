#pragma once
// ImageList1: the list's small images. It only grows, so the index a row holds stays valid
// after rows are deleted or the list is reset. Image 1 is the folder picture. Rows of files
// of the same type get their own index each, yet the pixmaps share their pixel data.

#include <QPixmap>
#include <vector>

namespace morvelle {

class ImageList {
 public:
  static constexpr int kFolderImage = 1;
  static constexpr int kImageSize = 16;

  explicit ImageList(QPixmap folderPicture);

  // Appends one image and returns its 1-based index.
  int Add(const QPixmap& picture);
  // The image at a 1-based index; a null pixmap for 0 or an index out of range.
  QPixmap At(int index) const;
  int Count() const { return static_cast<int>(images_.size()); }

 private:
  std::vector<QPixmap> images_;
};

}  // namespace morvelle
