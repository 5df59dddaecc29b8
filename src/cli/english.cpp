#include "cli/english.h"

#include <QCoreApplication>
#include <string>

#include "translation/translate.h"

namespace morvelle::cli {

bool SpeakEnglish(QTranslator& translator) {
  if (!translator.load(QStringLiteral(":/i18n/morvelle-batch_en.qm"))) return false;
  QCoreApplication::installTranslator(&translator);
  translation::InstallTranslator([](const char* context, const char* text) -> std::string {
    return QCoreApplication::translate(context, text).toStdString();
  });
  return true;
}

}  // namespace morvelle::cli
