#include "filelist/file_details.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "filelist/path_parts.h"

namespace morvelle {

QString FormatSizeText(qint64 size, const QLocale& locale) {
  if (size == 0) return {};
  QLocale grouping = locale;
  // The C locale omits group separators by default; the pattern always groups.
  grouping.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
  return grouping.toString(static_cast<qlonglong>(size));
}

QString FormatModifiedText(std::time_t secondsSinceEpoch) {
  std::tm local{};
  if (localtime_r(&secondsSinceEpoch, &local) == nullptr) return {};
  return QStringLiteral("%1/%2/%3 %4:%5:%6")
      .arg(local.tm_year + 1900)
      .arg(local.tm_mon + 1)
      .arg(local.tm_mday)
      .arg(local.tm_hour)
      .arg(local.tm_min)
      .arg(local.tm_sec);
}

void FillFileDetails(TargetEntry& entry, const QString& path, ImageList& images, FileIcons& icons,
                     const QLocale& locale) {
  // Non-blocking, so that a dropped FIFO or device cannot hang the window in open().
  const int fd =
      ::open(EncodeFileName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return;
  struct stat info {};
  const bool haveInfo = ::fstat(fd, &info) == 0;
  ::close(fd);
  if (haveInfo) {
    entry.ModifiedText = FormatModifiedText(info.st_mtim.tv_sec);
    entry.SizeText = FormatSizeText(static_cast<qint64>(info.st_size), locale);
  }
  entry.IconIndex = images.Add(icons.PictureForFile(path));
}

}  // namespace morvelle
