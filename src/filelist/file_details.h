#pragma once
// Size, modification time and icon of a dropped file, read once at the drop. The file is
// opened for reading first: a file that cannot be opened keeps empty size, date and icon,
// and nothing is reported. The icon comes from the file's name, not its contents.

#include <QLocale>
#include <QString>
#include <ctime>

#include "filelist/file_icons.h"
#include "filelist/image_list.h"
#include "filelist/target_entry.h"

namespace morvelle {

// "#,###": the locale's digit grouping, always on; "" for 0.
QString FormatSizeText(qint64 size, const QLocale& locale);
// "year/month/day hour:minute:second" in local time, no padding, fixed separators.
QString FormatModifiedText(std::time_t secondsSinceEpoch);

// `path` is the path exactly as dropped. Appends exactly one image to `images` when the
// file could be opened; `locale` formats the size (the user's locale in the program).
void FillFileDetails(TargetEntry& entry, const QString& path, ImageList& images, FileIcons& icons,
                     const QLocale& locale = QLocale());

}  // namespace morvelle
