#include "app/qt_user_prompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace morvelle {

namespace {

QString StartPath(const QString& initialFolder, const QString& fileName) {
  if (fileName.isEmpty()) return initialFolder;
  if (QDir::isAbsolutePath(fileName)) return fileName;
  return initialFolder + u'/' + fileName;
}

}  // namespace

QString QtNameFilters(const QString& classicFilter) {
  const QStringList parts = classicFilter.split(u'|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(u';', u' ');
    filters << parts[i] + QStringLiteral(" (") + patterns + u')';
  }
  return filters.join(QStringLiteral(";;"));
}

void QtUserPrompts::ShowMessage(const QString& text, MessageIcon icon) {
  QMessageBox box(icon == MessageIcon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon,
                  QCoreApplication::applicationName(), text, QMessageBox::Ok, parent_);
  box.exec();
}

QString QtUserPrompts::GetSaveFileName(const QString& filter, const QString& initialFolder,
                                       const QString& fileName) {
  // An existing file is overwritten without a question, as the user chose it.
  return QFileDialog::getSaveFileName(parent_, QString(), StartPath(initialFolder, fileName),
                                      QtNameFilters(filter), nullptr,
                                      QFileDialog::DontConfirmOverwrite);
}

QString QtUserPrompts::GetOpenFileName(const QString& filter, const QString& initialFolder,
                                       const QString& fileName) {
  return QFileDialog::getOpenFileName(parent_, QString(), StartPath(initialFolder, fileName),
                                      QtNameFilters(filter));
}

}  // namespace morvelle
