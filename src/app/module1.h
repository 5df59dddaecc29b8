#pragma once
// The program-wide values that live beside the main window for the life of the process.

#include <QString>
#include <QStringList>
#include <memory>

#include "services/text_service.h"

namespace morvelle {

class Module1 {
 public:
  explicit Module1(TextServiceFactory textServiceFactory)
      : textServiceFactory_(std::move(textServiceFactory)) {}

  QString AppDir;
  QStringList EnabledRules;  // rebuilt by each "置換" run

  // The one instance shared by the rule validation and the code conversion, created on first
  // use; a failure to create it is thrown to that first user, and the next use tries again.
  TextService& SharedTextService() {
    if (!sharedTextService_) sharedTextService_ = textServiceFactory_();
    return *sharedTextService_;
  }
  bool HasSharedTextService() const { return sharedTextService_ != nullptr; }

  // The batch replacement makes a fresh instance per file.
  std::unique_ptr<TextService> NewTextService() const { return textServiceFactory_(); }

 private:
  TextServiceFactory textServiceFactory_;
  std::unique_ptr<TextService> sharedTextService_;
};

}  // namespace morvelle
