#pragma once
// Start-up: the application folder, the Japanese look (font, Qt's own translations), the main
// window. Used by main() and by the window tests, which build the same window.

#include <QApplication>

namespace morvelle {

// Font and translations for a Japanese user interface; call once after QApplication exists.
void SetUpJapaneseUi(QApplication& app);

// Computes AppDir into module1 and creates and shows the main window; returns at once.
class Module1;
class UserPrompts;
class frmMain;
frmMain* Main(Module1& module1, UserPrompts& prompts);

}  // namespace morvelle
