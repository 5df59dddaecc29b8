#pragma once

#include <QStringList>

#include "services/user_prompts.h"

class QWidget;

namespace morvelle {

// Message boxes and file dialogs of the running program.
class QtUserPrompts : public UserPrompts {
 public:
  explicit QtUserPrompts(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }

  void ShowMessage(const QString& text, MessageIcon icon) override;
  QString GetSaveFileName(const QString& filter, const QString& initialFolder,
                          const QString& fileName) override;
  QString GetOpenFileName(const QString& filter, const QString& initialFolder,
                          const QString& fileName, const QStringList& places) override;

 private:
  QWidget* parent_;
};

// "Text|pattern|Text|pattern" → Qt's name filters, one "Text (pattern)" per entry; "*.*"
// becomes "*", which lists names without a dot as well.
QStringList QtNameFilters(const QString& classicFilter);

}  // namespace morvelle
