// Drops a generated folder of files onto a shown list and reports how long the drop takes
// (rows, details, icons and the repaint) and how much heap each row costs.
//
//   filelist_drop_bench [--files N] [--runs R] [--dir FOLDER]

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QSet>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "filelist/list_view.h"

namespace {

// The kinds of file a user drops, so that the icon cache meets several MIME types.
const char* const kSuffixes[] = {".txt", ".TXT", ".csv", ".html", ".cpp",  ".h", ".md",
                                 ".xml", ".png", ".log", ".ini",  ".json", ""};

QStringList Generate(const QString& folder, int count) {
  QStringList paths;
  paths.reserve(count);
  for (int i = 0; i < count; ++i) {
    const QString path = QStringLiteral("%1/File_%2%3")
                             .arg(folder)
                             .arg(i, 5, 10, QLatin1Char('0'))
                             .arg(QLatin1String(kSuffixes[i % std::size(kSuffixes)]));
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
      std::perror("open");
      std::exit(1);
    }
    if (::ftruncate(fd, (i * 7919) % 300000) != 0) std::perror("ftruncate");
    ::close(fd);
    paths << path;
  }
  return paths;
}

size_t HeapInUse() { return mallinfo2().uordblks; }

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int files = 10000;
  int runs = 5;
  QString dir;
  const QStringList args = app.arguments();
  for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
    if (args[i] == QLatin1String("--files")) files = args[i + 1].toInt();
    if (args[i] == QLatin1String("--runs")) runs = args[i + 1].toInt();
    if (args[i] == QLatin1String("--dir")) dir = args[i + 1];
  }
  QTemporaryDir scratch;
  if (dir.isEmpty()) dir = scratch.path();
  QDir().mkpath(dir);
  const QStringList paths = Generate(dir, files);
  QList<QUrl> urls;
  for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
  QMimeData data;
  data.setUrls(urls);

  std::vector<double> millis;
  std::vector<double> dropMillis;
  double bytesPerRow = 0;
  int sharedPictures = 0;
  for (int run = 0; run < runs; ++run) {
    morvelle::TargetList list;
    morvelle::ListView1 view(list);
    view.resize(561, 385);
    view.show();
    QApplication::processEvents();
    const size_t heapBefore = HeapInUse();
    QElapsedTimer timer;
    timer.start();
    list.DropData(&data);
    dropMillis.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    view.repaint();  // the rows are on screen, not just in the model
    QApplication::processEvents();
    millis.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    bytesPerRow = static_cast<double>(HeapInUse() - heapBefore) / files;
    QSet<qint64> keys;
    for (int i = 2; i <= list.Images().Count(); ++i) keys.insert(list.Images().At(i).cacheKey());
    sharedPictures = static_cast<int>(keys.size());
    if (list.Model().rowCount() != files) {
      std::fprintf(stderr, "expected %d rows, got %d\n", files, list.Model().rowCount());
      return 1;
    }
  }
  std::sort(millis.begin(), millis.end());
  std::sort(dropMillis.begin(), dropMillis.end());
  std::printf("drop of %d files, %d runs (platform %s)\n", files, runs,
              qPrintable(QGuiApplication::platformName()));
  std::printf("  time: min %.1f ms, median %.1f ms, max %.1f ms\n", millis.front(),
              millis[millis.size() / 2], millis.back());
  std::printf("  of which the drop handler (rows, details, icons): median %.1f ms\n",
              dropMillis[dropMillis.size() / 2]);
  std::printf("  heap per row: %.0f bytes (rows, texts, image slots)\n", bytesPerRow);
  std::printf("  distinct pictures behind %d images: %d\n", files, sharedPictures);
  return 0;
}
