#include "filelist/target_list.h"

#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "filelist/file_details.h"
#include "filelist/path_parts.h"

namespace morvelle {

namespace {

bool IsDirectory(const QString& path) {
  struct stat info {};
  return ::stat(EncodeFileName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

TargetList::TargetList(QColor background)
    : icons_(background), images_(icons_.FolderPicture()), model_(&images_), selection_(&model_) {}

void TargetList::DropData(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return;
  const QList<QUrl> urls = data->urls();
  const QString separator = PathSeparator();
  const QLocale locale;
  std::vector<TargetEntry> rows;
  rows.reserve(static_cast<size_t>(urls.size()));
  QString lastFolder;
  for (const QUrl& url : urls) {
    const std::optional<QString> path = LocalPathOfUrl(url);
    if (!path) continue;
    TargetEntry entry;
    entry.DroppedName = NamePart(*path, separator);
    entry.FileName = LowerCaseName(entry.DroppedName);
    entry.Folder = FolderPart(*path, separator);
    // Files dropped from one folder share the folder's text instead of a copy per row.
    if (entry.Folder == lastFolder) {
      entry.Folder = lastFolder;
    } else {
      lastFolder = entry.Folder;
    }
    if (IsDirectory(*path)) {
      entry.IconIndex = ImageList::kFolderImage;
    } else {
      FillFileDetails(entry, *path, images_, icons_, locale);
    }
    rows.push_back(std::move(entry));
  }
  // One insertion for the whole drop; nothing can observe the rows in between.
  model_.Append(std::move(rows));
}

bool TargetList::HasSelection() const { return selection_.hasSelection(); }

bool TargetList::WantsPopupMenu(int button) const {
  return button == kRightButton && HasSelection();
}

void TargetList::RemoveSelected() {
  const int count = model_.rowCount();
  std::vector<bool> selected(static_cast<size_t>(count), false);
  for (const QItemSelectionRange& range : selection_.selection()) {
    for (int row = std::max(range.top(), 0); row <= std::min(range.bottom(), count - 1); ++row) {
      selected[static_cast<size_t>(row)] = true;
    }
  }
  // Same result as removing selected rows one by one from the top, but one removal per
  // run of selected rows, from the bottom up so the earlier row numbers stay put.
  int row = count - 1;
  while (row >= 0) {
    if (!selected[static_cast<size_t>(row)]) {
      --row;
      continue;
    }
    const int last = row;
    while (row >= 0 && selected[static_cast<size_t>(row)]) --row;
    model_.RemoveRows(row + 1, last - row);
  }
}

void TargetList::Clear() { model_.Clear(); }

}  // namespace morvelle
