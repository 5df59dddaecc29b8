#pragma once
// The program-wide values that live beside the main window for the life of the process.

#include <QString>
#include <QStringList>
#include <memory>

#include "services/settings_file_service.h"
#include "services/text_service.h"

namespace morvelle {

using SettingsFileFactory = std::function<std::unique_ptr<SettingsFileService>()>;

class Module1 {
 public:
  Module1(TextServiceFactory textServiceFactory, SettingsFileFactory settingsFileFactory)
      : textServiceFactory_(std::move(textServiceFactory)),
        settingsFileFactory_(std::move(settingsFileFactory)) {}

  QString AppDir;
  QStringList EnabledRules;  // rebuilt by each "置換" run

  // The one instance shared by the rule validation and the code conversion, created on first
  // use; a failure to create it is thrown to that first user, and the next use tries again.
  TextService& SharedTextService() {
    if (!sharedTextService_) sharedTextService_ = textServiceFactory_();
    return *sharedTextService_;
  }
  bool HasSharedTextService() const { return sharedTextService_ != nullptr; }

  // The rule-set file's file-system service, created on first use.
  SettingsFileService& SettingsFiles() {
    if (!settingsFiles_) settingsFiles_ = settingsFileFactory_();
    return *settingsFiles_;
  }

  // The batch replacement makes a fresh instance per file.
  std::unique_ptr<TextService> NewTextService() const { return textServiceFactory_(); }

 private:
  TextServiceFactory textServiceFactory_;
  SettingsFileFactory settingsFileFactory_;
  std::unique_ptr<TextService> sharedTextService_;
  std::unique_ptr<SettingsFileService> settingsFiles_;
};

}  // namespace morvelle
