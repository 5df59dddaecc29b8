#pragma once
// Scripted answers for message boxes and file dialogs; records every message shown.

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "services/user_prompts.h"

namespace morvelle::testing {

class FakePrompts : public UserPrompts {
 public:
  struct Message {
    QString text;
    MessageIcon icon;
  };
  struct Dialog {
    bool save;
    QString filter;
    QString initialFolder;
    QString fileName;
    QStringList places;
  };

  std::vector<Message> messages;
  std::vector<Dialog> dialogs;
  std::deque<QString> answers;  // file names the dialogs return, in order; "" = cancel

  void ShowMessage(const QString& text, MessageIcon icon) override {
    messages.push_back({text, icon});
  }
  QString GetSaveFileName(const QString& filter, const QString& initialFolder,
                          const QString& fileName) override {
    return Answer({true, filter, initialFolder, fileName, {}});
  }
  QString GetOpenFileName(const QString& filter, const QString& initialFolder,
                          const QString& fileName, const QStringList& places) override {
    return Answer({false, filter, initialFolder, fileName, places});
  }

 private:
  QString Answer(Dialog dialog) {
    dialogs.push_back(std::move(dialog));
    if (answers.empty()) return {};
    QString answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace morvelle::testing
