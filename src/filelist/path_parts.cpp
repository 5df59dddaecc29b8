#include "filelist/path_parts.h"

#include <QDir>

namespace morvelle {

namespace {

// Position (0-based) of the last occurrence of `separator`, found by repeated forward
// search as the list has always done it; -1 when there is none. An empty separator is
// never "found", so the whole path counts as a name.
qsizetype LastSeparator(const QString& path, const QString& separator) {
  if (separator.isEmpty()) return -1;
  qsizetype last = -1;
  qsizetype from = 0;
  for (;;) {
    const qsizetype found = path.indexOf(separator, from, Qt::CaseSensitive);
    if (found < 0) return last;
    last = found;
    from = found + 1;
  }
}

}  // namespace

QString FolderPart(const QString& path, const QString& separator) {
  const qsizetype p = LastSeparator(path, separator);
  return p < 0 ? QString() : path.left(p);
}

QString NamePart(const QString& path, const QString& separator) {
  const qsizetype p = LastSeparator(path, separator);
  return p < 0 ? path : path.mid(p + separator.size());
}

QString LowerCaseName(const QString& name) { return LowerCaseFileName(name); }

QString OutputPathOf(const QString& sourcePath) {
  const QString separator = PathSeparator();
  QString output = LowerCaseName(NamePart(sourcePath, separator)) + QStringLiteral(".exp");
  if (!sourcePath.contains(separator)) return output;
  return FolderPart(sourcePath, separator) + separator + output;
}

QString PathSeparator() { return QString(QDir::separator()); }

std::optional<QString> LocalPathOfUrl(const QUrl& url) {
  if (!url.isValid() || url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0) {
    return std::nullopt;
  }
  const QString host = url.host();
  if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0) {
    return std::nullopt;
  }
  // The encoded form keeps every byte of the name; the decoded QString form would not.
  const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
  // A NUL would cut the path short at the system call and address another file.
  if (!bytes.startsWith('/') || bytes.contains('\0')) return std::nullopt;
  return DecodeFileName(bytes);
}

}  // namespace morvelle
