#include "program_icon.h"

#include <QDir>

// Outside any namespace: Q_INIT_RESOURCE declares a global function.
static void InitAssets() { Q_INIT_RESOURCE(assets); }

namespace morvelle {

QIcon ProgramIcon() {
  InitAssets();
  return QIcon(QString::fromLatin1(kProgramIconResource));
}

}  // namespace morvelle
