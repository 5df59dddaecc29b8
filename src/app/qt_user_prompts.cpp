#include "app/qt_user_prompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace morvelle {

namespace {

// The folder itself when it exists, else the nearest one above it that does: a missing folder's
// name must not become the file name the user saves to, nor the dialog fall back to the
// working folder.
QString ExistingFolder(const QString& folder) {
  QString path = QFileInfo(folder).absoluteFilePath();
  while (!QFileInfo(path).isDir()) {
    const QString above = QFileInfo(path).absolutePath();
    if (above == path) break;
    path = above;
  }
  return path;
}

// The dialog opens on the last chosen file when there is one, else in the initial folder.
QString RunFileDialog(QWidget* parent, QFileDialog::AcceptMode mode, const QString& filter,
                      const QString& initialFolder, const QString& fileName,
                      const QStringList& places = {}) {
  QFileDialog dialog(parent);
  // Qt's own dialog shows the entry names exactly; a platform dialog rewrites them.
  dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails |
                    QFileDialog::DontConfirmOverwrite);  // the user chose the file to replace
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                     : QFileDialog::ExistingFile);
  dialog.setNameFilters(QtNameFilters(filter));
  if (!fileName.isEmpty()) {
    const QFileInfo chosen(QDir(initialFolder), fileName);
    dialog.setDirectory(chosen.absolutePath());
    dialog.selectFile(chosen.fileName());
  } else {
    dialog.setDirectory(ExistingFolder(initialFolder));
  }
  QList<QUrl> sidebar = dialog.sidebarUrls();
  for (const QString& place : places) {
    const QUrl url = QUrl::fromLocalFile(place);
    if (QFileInfo(place).isDir() && !sidebar.contains(url)) sidebar << url;
  }
  dialog.setSidebarUrls(sidebar);
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles().value(0);
}

}  // namespace

QStringList QtNameFilters(const QString& classicFilter) {
  const QStringList parts = classicFilter.split(u'|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
    // Qt's "*.*" wants a dot in the name; the classic one lists every file.
    for (QString& pattern : patterns) {
      if (pattern == QStringLiteral("*.*")) pattern = QStringLiteral("*");
    }
    // With HideNameFilterDetails the dialog shows the text before the last parentheses, which
    // is the entry's own name, parentheses and all.
    filters << parts[i] + QStringLiteral(" (") + patterns.join(u' ') + u')';
  }
  return filters;
}

void QtUserPrompts::ShowMessage(const QString& text, MessageIcon icon) {
  QMessageBox box(icon == MessageIcon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon,
                  QCoreApplication::applicationName(), text, QMessageBox::Ok, parent_);
  box.exec();
}

QString QtUserPrompts::GetSaveFileName(const QString& filter, const QString& initialFolder,
                                       const QString& fileName) {
  return RunFileDialog(parent_, QFileDialog::AcceptSave, filter, initialFolder, fileName);
}

QString QtUserPrompts::GetOpenFileName(const QString& filter, const QString& initialFolder,
                                       const QString& fileName, const QStringList& places) {
  return RunFileDialog(parent_, QFileDialog::AcceptOpen, filter, initialFolder, fileName, places);
}

}  // namespace morvelle
