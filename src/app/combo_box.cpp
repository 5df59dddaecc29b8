#include "app/combo_box.h"

#include <QLineEdit>

namespace morvelle {

CodeComboBox::CodeComboBox(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  setCompleter(nullptr);
  // QComboBox would pick the entry matching the typed text when editing finishes (Return or
  // focus loss); here only choosing from the list selects.
  disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
  disconnect(lineEdit(), &QLineEdit::returnPressed, this, nullptr);
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
