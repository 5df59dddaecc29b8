#include "app/app_dir.h"

namespace morvelle {

QString AppDirFrom(const QString& reportedFolder, QChar separator) {
  if (reportedFolder.endsWith(separator)) return reportedFolder;
  return reportedFolder + separator;
}

}  // namespace morvelle
