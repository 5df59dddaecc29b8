// Shows the list after dropping a folder, a text file and an image file, the text file
// selected, and saves a picture of it:  filelist_screenshot OUT.png

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <cstdio>

#include "filelist/list_view.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT.png\n", argv[0]);
    return 2;
  }
  QTemporaryDir scratch;
  const QString folder = scratch.path() + QStringLiteral("/Documents");
  QDir().mkpath(folder);
  const QString text = scratch.path() + QStringLiteral("/ReadMe.TXT");
  QFile file(text);
  if (!file.open(QIODevice::WriteOnly)) return 1;
  file.write(QByteArray(1234567, 'x'));
  file.close();
  const QString picture = scratch.path() + QStringLiteral("/Photo.png");
  QImage(32, 32, QImage::Format_RGB32).save(picture);

  morvelle::TargetList list;
  morvelle::ListView1 view(list);
  QObject::connect(&view, &morvelle::ListView1::OLEDragDrop,
                   [&list](const QMimeData* data) { list.DropData(data); });
  view.resize(561, 385);
  view.show();
  QMimeData data;
  data.setUrls(
      {QUrl::fromLocalFile(folder), QUrl::fromLocalFile(text), QUrl::fromLocalFile(picture)});
  list.DropData(&data);
  // One selected row, to show the icons on the highlight as well.
  list.Selection().select(list.Model().index(1, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
  QTimer::singleShot(300, [&] {
    const bool saved = view.grab().save(QString::fromLocal8Bit(argv[1]));
    QApplication::exit(saved ? 0 : 1);
  });
  return QApplication::exec();
}
