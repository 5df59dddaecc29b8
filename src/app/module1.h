#pragma once
// The program-wide values that live beside the main window for the life of the process.

#include <QString>
#include <QStringList>
#include <memory>

#include "services/editor_buffer.h"
#include "services/settings_file_service.h"
#include "services/text_service.h"

namespace morvelle {

using SettingsFileFactory = std::function<std::unique_ptr<SettingsFileService>()>;
using EditorBufferFactory = std::function<std::unique_ptr<EditorBuffer>()>;

// How the program makes the components it reaches through the service interfaces.
struct ComponentFactories {
  TextServiceFactory textService;
  SettingsFileFactory settingsFile;
  EditorBufferFactory editorBuffer;
};

class Module1 {
 public:
  explicit Module1(ComponentFactories factories) : factories_(std::move(factories)) {}

  QString AppDir;
  QStringList EnabledRules;  // rebuilt by each "置換" run

  // The one instance shared by the rule validation and the code conversion, created on first
  // use; a failure to create it is thrown to that first user, and the next use tries again.
  TextService& SharedTextService() {
    if (!sharedTextService_) sharedTextService_ = factories_.textService();
    return *sharedTextService_;
  }
  bool HasSharedTextService() const { return sharedTextService_ != nullptr; }

  // The rule-set file's file-system service, created on first use.
  SettingsFileService& SettingsFiles() {
    if (!settingsFiles_) settingsFiles_ = factories_.settingsFile();
    return *settingsFiles_;
  }

  // The batch replacement makes a fresh instance per file.
  const TextServiceFactory& TextServices() const { return factories_.textService; }

  // The hidden file buffer of the main window.
  std::unique_ptr<EditorBuffer> NewEditorBuffer() const { return factories_.editorBuffer(); }

 private:
  ComponentFactories factories_;
  std::unique_ptr<TextService> sharedTextService_;
  std::unique_ptr<SettingsFileService> settingsFiles_;
};

}  // namespace morvelle
