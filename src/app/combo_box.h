#pragma once
// The character-code list: an editable combination of text field and list in which typing
// never selects or inserts an entry; only choosing one from the list does.

#include <QComboBox>

namespace morvelle {

class CodeComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit CodeComboBox(QWidget* parent = nullptr);
};

}  // namespace morvelle
