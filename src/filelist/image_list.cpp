#include "filelist/image_list.h"

namespace morvelle {

ImageList::ImageList(QPixmap folderPicture) { images_.push_back(std::move(folderPicture)); }

int ImageList::Add(const QPixmap& picture) {
  images_.push_back(picture);
  return Count();
}

QPixmap ImageList::At(int index) const {
  if (index < 1 || index > Count()) return {};
  return images_[static_cast<size_t>(index - 1)];
}

}  // namespace morvelle
