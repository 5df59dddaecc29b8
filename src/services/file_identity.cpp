#include "services/file_identity.h"

#include <sys/stat.h>

#include <QDir>

#include "services/file_names.h"

namespace morvelle {

namespace {

std::optional<FileId> IdOf(int (*statFunction)(const char*, struct stat*), const QByteArray& name) {
  struct stat st;
  if (statFunction(name.constData(), &st) != 0) return std::nullopt;
  return FileId{static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino)};
}

}  // namespace

PathIdentity IdentifyPath(const QString& path) {
  // The folder as the kernel resolves it ("a/link/.." is not "a"), so split, never clean.
  const qsizetype slash = path.lastIndexOf(u'/');
  const QString folder = slash < 0    ? QStringLiteral(".")
                         : slash == 0 ? QStringLiteral("/")
                                      : path.left(slash);
  const QString name = path.mid(slash + 1);

  PathIdentity identity;
  const QByteArray bytes = EncodeFileName(path);
  identity.self = IdOf(::lstat, bytes);
  identity.target = IdOf(::stat, bytes);
  const std::optional<FileId> parent = IdOf(::stat, EncodeFileName(folder));
  identity.entry = parent ? QStringLiteral("%1:%2/").arg(parent->device).arg(parent->inode) + name
                          : QDir::cleanPath(QDir::current().absoluteFilePath(path));
  return identity;
}

}  // namespace morvelle
