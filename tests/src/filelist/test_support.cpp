#include "test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

namespace morvelle::testing {

namespace {

void MakeFile(const QByteArray& path, qint64 size, std::time_t modified) {
  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << path.constData();
  ASSERT_EQ(::ftruncate(fd, size), 0);
  ::close(fd);
  if (modified != 0) {
    const timespec times[2] = {{modified, 0}, {modified, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.constData(), times, 0), 0);
  }
}

}  // namespace

Scratch::~Scratch() {
  for (const QByteArray& path : rawFiles_) ::unlink(path.constData());
}

QString Scratch::File(const QString& name, qint64 size, std::time_t modified) const {
  QString path = At(name);
  MakeFile(QFile::encodeName(path), size, modified);
  return path;
}

QString Scratch::Folder(const QString& name) const {
  QString path = At(name);
  QDir().mkpath(path);
  return path;
}

QString Scratch::DanglingLink(const QString& name) const {
  QString path = At(name);
  const QByteArray target = QFile::encodeName(At(QStringLiteral("gone-") + name));
  EXPECT_EQ(::symlink(target.constData(), QFile::encodeName(path).constData()), 0);
  return path;
}

QByteArray Scratch::RawFile(const QByteArray& name, qint64 size) const {
  QByteArray path = QFile::encodeName(dir_.path()) + '/' + name;
  MakeFile(path, size, 0);
  rawFiles_.append(path);
  return path;
}

std::unique_ptr<QMimeData> UrlsOf(const QStringList& paths) {
  QList<QUrl> urls;
  for (const QString& path : paths) urls.append(QUrl::fromLocalFile(path));
  auto data = std::make_unique<QMimeData>();
  data->setUrls(urls);
  return data;
}

}  // namespace morvelle::testing
