#include "services/file_identity.h"

#include <sys/stat.h>

#include <QDir>

#include "services/file_names.h"

namespace morvelle {

namespace {

FileId IdOf(const struct stat& st) {
  return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
}

std::optional<FileId> IdOf(int (*statFunction)(const char*, struct stat*), const QByteArray& name) {
  struct stat st;
  if (statFunction(name.constData(), &st) != 0) return std::nullopt;
  return IdOf(st);
}

}  // namespace

PathIdentity IdentifyPath(const QString& path) { return PathIdentifier().Identify(path); }

qint64 FileSize(const QString& path) {
  struct stat st;
  return ::stat(EncodeFileName(path).constData(), &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : 0;
}

PathIdentity PathIdentifier::Identify(const QString& path) {
  // The folder as the kernel resolves it ("a/link/.." is not "a"), so split, never clean.
  const qsizetype slash = path.lastIndexOf(u'/');
  const QString folder = slash < 0    ? QStringLiteral(".")
                         : slash == 0 ? QStringLiteral("/")
                                      : path.left(slash);
  const QString name = path.mid(slash + 1);

  PathIdentity identity;
  const QByteArray bytes = EncodeFileName(path);
  struct stat st;
  if (::lstat(bytes.constData(), &st) == 0) {
    identity.self = IdOf(st);
    // Only a link reads another file than its entry.
    identity.target = S_ISLNK(st.st_mode) ? IdOf(::stat, bytes) : identity.self;
  } else {
    identity.target = IdOf(::stat, bytes);
  }
  auto known = folders_.constFind(folder);
  if (known == folders_.constEnd()) {
    const std::optional<FileId> parent = IdOf(::stat, EncodeFileName(folder));
    known = folders_.insert(
        folder,
        parent ? QStringLiteral("%1:%2/").arg(parent->device).arg(parent->inode) : QString());
  }
  identity.entry =
      !known->isEmpty() ? *known + name : QDir::cleanPath(QDir::current().absoluteFilePath(path));
  return identity;
}

}  // namespace morvelle
