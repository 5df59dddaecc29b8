#pragma once
// Message boxes and file dialogs. The program shows them through this interface so that
// tests answer them; the Qt implementation is QtUserPrompts.

#include <QString>

namespace morvelle {

enum class MessageIcon { None, Critical };

class UserPrompts {
 public:
  virtual ~UserPrompts() = default;

  // OK button only, no title of the program's own.
  virtual void ShowMessage(const QString& text, MessageIcon icon) = 0;

  // `filter` in the classic "Text|pattern|Text|pattern" form; each Text is shown as it is.
  // The dialog opens on `fileName` (the file chosen last) when given, else in `initialFolder`,
  // or in the folder above it when that folder does not exist; no folder is created.
  // Returns the chosen path, or an empty string when the user cancelled.
  virtual QString GetSaveFileName(const QString& filter, const QString& initialFolder,
                                  const QString& fileName) = 0;
  virtual QString GetOpenFileName(const QString& filter, const QString& initialFolder,
                                  const QString& fileName) = 0;
};

}  // namespace morvelle
