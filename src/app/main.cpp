#include <QApplication>

#include "adapters/editor_buffer_impl.h"
#include "adapters/settings_file_service_impl.h"
#include "adapters/termination.h"
#include "adapters/text_service_factory.h"
#include "app/frm_main.h"
#include "app/main_window_app.h"
#include "app/module1.h"
#include "app/qt_user_prompts.h"

int main(int argc, char** argv) {
  // Before QApplication starts its threads: a logout or kill during a batch leaves no temporary
  // file.
  morvelle::RemoveTemporaryFilesOnTermination();
  QApplication app(argc, argv);
  morvelle::SetUpJapaneseUi(app);

  morvelle::Module1 module1({morvelle::MakeTextServiceFactory(), morvelle::MakeSettingsFileService,
                             morvelle::MakeEditorBuffer});
  morvelle::QtUserPrompts prompts;
  morvelle::frmMain* window = morvelle::Main(module1, prompts);
  prompts.setParent(window);
  // Closing the main window ends the program, without a question.
  return app.exec();
}
