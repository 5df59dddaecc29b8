#pragma once
// Small pictures for the list, looked up by the file's name only (its MIME type by
// extension), never by reading the file: a drop of thousands of files must not read each
// one. A picture is drawn once per MIME type on a background colour and then shared; the
// list uses a transparent one, so that its own background shows around the icon in every
// row state (plain, selected, alternating).
//
// The icon theme of the desktop is used when it has the icon; a session without a theme
// (an offscreen or bare X session) falls back to an installed freedesktop theme, and
// failing that to pictures drawn here.

#include <QColor>
#include <QHash>
#include <QMimeDatabase>
#include <QPixmap>
#include <QString>

namespace morvelle {

class FileIcons {
 public:
  explicit FileIcons(QColor background);

  QColor Background() const { return background_; }
  // Later pictures are drawn on the new colour; pictures already handed out stay as drawn.
  void SetBackground(QColor background);

  QPixmap FolderPicture();
  QPixmap PictureForFile(const QString& path);

  // Drawn stand-ins, used when the theme has no icon.
  static QPixmap DrawnFolder(QColor background);
  static QPixmap DrawnDocument(QColor background);

 private:
  QPixmap Render(const QString& iconName, const QString& genericName, bool folder);

  QColor background_;
  QMimeDatabase mimes_;
  QHash<QString, QPixmap> byMimeType_;
  QPixmap folder_;
};

// Makes an installed freedesktop icon theme current when the platform named none (or only
// the bare hicolor fallback). Idempotent; a theme the desktop chose is left alone.
void EnsureIconTheme();

}  // namespace morvelle
