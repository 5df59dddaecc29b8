#include "app/main_window_app.h"

#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/app_dir.h"
#include "app/frm_main.h"
#include "app/module1.h"

namespace morvelle {

void SetUpJapaneseUi(QApplication& app) {
  app.setApplicationName(QStringLiteral("Morvelle"));
  QFont font(QStringLiteral("Noto Sans CJK JP"), 9);
  // Japanese glyph forms even where the font's default would be Chinese.
  font.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP")});
  app.setFont(font);

  const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  for (const char16_t* name : {u"qtbase_ja", u"qt_ja"}) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QString::fromUtf16(name), dir)) {
      QCoreApplication::installTranslator(translator);
    } else {
      delete translator;
    }
  }
}

frmMain* Main(Module1& module1, UserPrompts& prompts) {
  module1.AppDir = AppDirFrom(QCoreApplication::applicationDirPath());
  auto* window = new frmMain(module1, prompts);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->show();
  return window;
}

}  // namespace morvelle
