// The file dialogs as the user meets them: the entry names exactly as the program writes them,
// "すべて (*.*)" listing every file, and the folder and name each dialog opens with.
#include "app/qt_user_prompts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "rules/rule_set_file.h"

namespace morvelle {
namespace {

struct Seen {
  QStringList entries;
  QString folder;
  QString name;
  QStringList listed[2];  // the files each entry lists, in order
};

QStringList Listed(QFileDialog& dialog) {
  auto* view = dialog.findChild<QListView*>(QStringLiteral("listView"));
  QStringList names;
  for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
    names << view->model()->index(row, 0, view->rootIndex()).data().toString();
  }
  names.sort();
  return names;
}

// Opens a dialog through the prompts, looks at it once it shows, and cancels it.
Seen LookAt(bool save, const QString& initialFolder, const QString& fileName) {
  Seen seen;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    poll.stop();
    auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    for (int i = 0; i < types->count(); ++i) seen.entries << types->itemText(i);
    seen.folder = dialog->directory().absolutePath();
    seen.name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
    for (int entry = 0; entry < 2; ++entry) {
      dialog->selectNameFilter(dialog->nameFilters().value(entry));
      // The folder is read in the background; it holds three files.
      static_cast<void>(
          QTest::qWaitFor([&] { return Listed(*dialog).size() >= (entry == 0 ? 1 : 3); }, 5000));
      seen.listed[entry] = Listed(*dialog);
    }
    dialog->reject();
  });
  poll.start();
  QtUserPrompts prompts;
  const QString filter = QString::fromUtf16(rules::kRuleSetFilter);
  const QString chosen = save ? prompts.GetSaveFileName(filter, initialFolder, fileName)
                              : prompts.GetOpenFileName(filter, initialFolder, fileName, {});
  EXPECT_TRUE(chosen.isEmpty());
  return seen;
}

TEST(FileDialog, ShowsTheEntriesAsWrittenAndOpensWhereTheFolderIs) {
  QTemporaryDir appDir;
  const QString expFile = appDir.filePath(QStringLiteral("ExpFile"));
  struct Case {
    const char* what;
    bool save;
    bool folderExists;
    QString fileName;
    QString folder;  // where the dialog opens
    QString name;    // the name typed in
  };
  const Case cases[] = {
      {"save, folder present", true, true, {}, expFile, {}},
      // Not "ExpFile" as the name to save to.
      {"save, folder missing", true, false, {}, appDir.path(), {}},
      {"open, folder missing", false, false, {}, appDir.path(), {}},
      {"save, a name chosen before", true, true, expFile + QStringLiteral("/set.exp"), expFile,
       QStringLiteral("set.exp")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QDir(expFile).removeRecursively();
    const QString listedFolder = c.folderExists ? expFile : appDir.path();
    if (c.folderExists) {
      ASSERT_TRUE(QDir().mkdir(expFile));
    }
    for (const char* name : {"set.exp", "README", "memo.txt"}) {
      QFile f(listedFolder + u'/' + QString::fromUtf8(name));
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const Seen seen = LookAt(c.save, expFile, c.fileName);
    EXPECT_EQ(seen.entries,
              (QStringList{QStringLiteral("設定ﾌｧｲﾙ(*.exp)"), QStringLiteral("すべて (*.*)")}));
    EXPECT_EQ(seen.folder, c.folder);
    EXPECT_EQ(seen.name, c.name);
    EXPECT_EQ(QFileInfo::exists(expFile), c.folderExists) << "the folder is never created";
    EXPECT_EQ(seen.listed[0], QStringList{QStringLiteral("set.exp")});
    EXPECT_EQ(seen.listed[1], (QStringList{QStringLiteral("README"), QStringLiteral("memo.txt"),
                                           QStringLiteral("set.exp")}));
    for (const QString& f : QDir(appDir.path()).entryList(QDir::Files))
      QFile::remove(appDir.filePath(f));
  }
}

}  // namespace
}  // namespace morvelle
