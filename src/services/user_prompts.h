#pragma once
// Message boxes and file dialogs. The program shows them through this interface so that
// tests answer them; the Qt implementation is QtUserPrompts.

#include <QString>
#include <QStringList>

namespace morvelle {

enum class MessageIcon { None, Critical };

class UserPrompts {
 public:
  virtual ~UserPrompts() = default;

  // OK button only, no title of the program's own.
  virtual void ShowMessage(const QString& text, MessageIcon icon) = 0;

  // `filter` in the classic "Text|pattern|Text|pattern" form; each Text is shown as it is.
  // The dialog opens on `fileName` (the file chosen last) when given, else in `initialFolder`,
  // or in the nearest folder above it that exists when it does not; no folder is created.
  // Returns the chosen path, or an empty string when the user cancelled.
  virtual QString GetSaveFileName(const QString& filter, const QString& initialFolder,
                                  const QString& fileName) = 0;
  // `places`: folders offered beside the initial one, those that exist.
  virtual QString GetOpenFileName(const QString& filter, const QString& initialFolder,
                                  const QString& fileName, const QStringList& places) = 0;
};

}  // namespace morvelle
