#pragma once
// morvelle-batch's texts, and those of the engine and the components it reports, are written in
// Japanese, as the window shows them; English comes from a translation compiled into the
// program (i18n/morvelle-batch_en.ts), so the installed program and the one in the build tree
// both have it.

#include <QTranslator>

namespace morvelle::cli {

// Loads the English translation into `translator`, installs it in the application (one must
// exist) and routes the components' texts through it. False if it cannot be loaded, and then
// everything stays Japanese.
bool SpeakEnglish(QTranslator& translator);

}  // namespace morvelle::cli
