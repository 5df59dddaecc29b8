#pragma once
// One row of the target list. The row shows the lower-cased name but keeps the name as
// dropped, so that on a case-sensitive file system the batches read the dropped file.

#include <QString>

namespace morvelle {

struct TargetEntry {
  QString FileName;      // lower-cased last component of the dropped path
  QString SizeText;      // "" for folders, empty files and files that could not be read
  QString ModifiedText;  // "year/month/day hour:minute:second", local time
  QString Folder;        // the dropped path before its last separator
  int IconIndex = 0;     // 1-based index into ImageList1; 0 = no icon
  QString DroppedName;   // last component exactly as dropped
};

}  // namespace morvelle
