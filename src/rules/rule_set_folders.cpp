#include "rules/rule_set_folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>

#include "services/file_names.h"

namespace morvelle::rules {

QString UserRuleSetFolder(const QString& xdgDataHome, const QString& home) {
  const QString data =
      QDir::isAbsolutePath(xdgDataHome) ? xdgDataHome : home + QStringLiteral("/.local/share");
  return QDir::cleanPath(data + QStringLiteral("/morvelle/ExpFile"));
}

RuleSetFolders ChooseRuleSetFolders(const QString& appDir, const QString& xdgDataHome,
                                    const QString& home, const FolderProbes& probes) {
  const QString shipped = appDir + QStringLiteral("ExpFile");
  if (probes.writable(shipped)) return {shipped, shipped, {}};

  const QString own = UserRuleSetFolder(xdgDataHome, home);
  return {own, probes.holdsRuleSets(own) ? own : shipped, {own, shipped}};
}

FolderProbes SystemFolderProbes() {
  return {[](const QString& folder) {
            const QByteArray name = EncodeFileName(folder);
            struct stat st {};
            // The effective user's rights, not the real one's as access() would test; a read-only
            // file system or an immutable folder refuses root too.
            return ::stat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
                   ::faccessat(AT_FDCWD, name.constData(), W_OK | X_OK, AT_EACCESS) == 0;
          },
          [](const QString& folder) {
            return !QDir(folder).entryList({QStringLiteral("*.exp")}, QDir::Files).isEmpty();
          }};
}

RuleSetFolders CurrentRuleSetFolders(const QString& appDir) {
  // As QDir::homePath() reads them, but keeping bytes that are not UTF-8.
  const QByteArray home = qgetenv("HOME");
  return ChooseRuleSetFolders(appDir, DecodeFileName(qgetenv("XDG_DATA_HOME")),
                              home.isEmpty() ? QDir::rootPath() : DecodeFileName(home),
                              SystemFolderProbes());
}

}  // namespace morvelle::rules
