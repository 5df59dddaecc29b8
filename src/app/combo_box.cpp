#include "app/combo_box.h"

#include <QLineEdit>

namespace morvelle {

CodeComboBox::CodeComboBox(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  // With duplicates allowed, Return does not look the text up among the entries.
  setDuplicatesEnabled(true);
  setCompleter(nullptr);
  connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
    if (currentIndex() < 0) return;
    // Typed text no longer names the chosen entry; keep the text, drop the selection.
    const int cursor = lineEdit()->cursorPosition();
    setCurrentIndex(-1);
    lineEdit()->setText(text);
    lineEdit()->setCursorPosition(cursor);
  });
}

}  // namespace morvelle
