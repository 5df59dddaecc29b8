#include "filelist/file_icons.h"

#include <QFileInfo>
#include <QIcon>
#include <QPainter>
#include <QStandardPaths>

#include "filelist/image_list.h"

namespace morvelle {

namespace {

constexpr int kSize = ImageList::kImageSize;

QPixmap Blank(QColor background) {
  QPixmap canvas(kSize, kSize);
  canvas.fill(background);
  return canvas;
}

}  // namespace

void EnsureIconTheme() {
  // hicolor is only the freedesktop fallback and holds next to no MIME-type icons; a bare
  // X session reports it when no desktop chose a theme.
  const QString current = QIcon::themeName();
  if (!current.isEmpty() && current != QLatin1String("hicolor")) return;
  QStringList paths = QIcon::themeSearchPaths();
  const QStringList dataDirs =
      QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                QStandardPaths::LocateDirectory);
  for (const QString& dir : dataDirs) {
    if (!paths.contains(dir)) paths.append(dir);
  }
  QIcon::setThemeSearchPaths(paths);
  for (const QString& theme : {QStringLiteral("Adwaita"), QStringLiteral("hicolor")}) {
    for (const QString& dir : paths) {
      if (QFileInfo::exists(dir + QStringLiteral("/") + theme + QStringLiteral("/index.theme"))) {
        QIcon::setThemeName(theme);
        return;
      }
    }
  }
}

FileIcons::FileIcons(QColor background) : background_(background) { EnsureIconTheme(); }

void FileIcons::SetBackground(QColor background) {
  if (background == background_) return;
  background_ = background;
  byMimeType_.clear();
  folder_ = QPixmap();
}

QPixmap FileIcons::FolderPicture() {
  if (folder_.isNull()) {
    folder_ = Render(QStringLiteral("folder"), QStringLiteral("inode-directory"), true);
  }
  return folder_;
}

QPixmap FileIcons::PictureForFile(const QString& path) {
  const QMimeType mime = mimes_.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
  const QString key = mime.name();
  const auto cached = byMimeType_.constFind(key);
  if (cached != byMimeType_.cend()) return *cached;
  QPixmap picture = Render(mime.iconName(), mime.genericIconName(), false);
  byMimeType_.insert(key, picture);
  return picture;
}

QPixmap FileIcons::Render(const QString& iconName, const QString& genericName, bool folder) {
  QIcon icon = QIcon::fromTheme(iconName);
  if (icon.isNull() && !genericName.isEmpty()) icon = QIcon::fromTheme(genericName);
  if (icon.isNull()) return folder ? DrawnFolder(background_) : DrawnDocument(background_);
  QPixmap canvas = Blank(background_);
  QPainter painter(&canvas);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  // Scaled into the 16 x 16 cell; a theme may only ship larger sizes.
  painter.drawPixmap(QRect(0, 0, kSize, kSize), icon.pixmap(QSize(kSize, kSize)));
  return canvas;
}

QPixmap FileIcons::DrawnFolder(QColor background) {
  QPixmap canvas = Blank(background);
  QPainter p(&canvas);
  const QColor edge(0x9c, 0x7a, 0x10);
  p.setPen(edge);
  p.setBrush(QColor(0xf0, 0xc8, 0x40));
  p.drawRect(1, 3, 6, 2);  // tab
  p.setBrush(QColor(0xfc, 0xdc, 0x60));
  p.drawRect(1, 4, 13, 9);
  return canvas;
}

QPixmap FileIcons::DrawnDocument(QColor background) {
  QPixmap canvas = Blank(background);
  QPainter p(&canvas);
  p.setPen(QColor(0x60, 0x60, 0x60));
  p.setBrush(Qt::white);
  const QPoint page[] = {{3, 1}, {10, 1}, {13, 4}, {13, 14}, {3, 14}};
  p.drawPolygon(page, 5);
  p.drawLine(10, 1, 10, 4);
  p.drawLine(10, 4, 13, 4);
  p.setPen(QColor(0x90, 0x90, 0x90));
  for (int y = 6; y <= 12; y += 2) p.drawLine(5, y, 11, y);
  return canvas;
}

}  // namespace morvelle
