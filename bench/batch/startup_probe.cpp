// Start of the window program up to its first painted frame: builds the main window exactly
// as main() does, prints the milliseconds from entering main to the end of the first paint of
// the main window, and quits. The caller measures the whole process (loading included).
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

#include "adapters/editor_buffer_impl.h"
#include "adapters/settings_file_service_impl.h"
#include "adapters/text_service_factory.h"
#include "app/frm_main.h"
#include "app/main_window_app.h"
#include "app/module1.h"
#include "app/qt_user_prompts.h"

namespace {

class FirstPaint : public QObject {
 public:
  explicit FirstPaint(const QElapsedTimer& clock) : clock_(clock) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen_) {
      seen_ = true;
      // After the paint event returns, the frame is complete.
      QTimer::singleShot(0, [this] {
        std::printf("first frame after %.1f ms\n", double(clock_.nsecsElapsed()) / 1e6);
        QCoreApplication::quit();
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  const QElapsedTimer& clock_;
  bool seen_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer clock;
  clock.start();
  QApplication app(argc, argv);
  morvelle::SetUpJapaneseUi(app);
  morvelle::Module1 module1({morvelle::MakeTextServiceFactory(), morvelle::MakeSettingsFileService,
                             morvelle::MakeEditorBuffer});
  morvelle::QtUserPrompts prompts;
  FirstPaint probe(clock);
  app.installEventFilter(&probe);  // the window is created and shown inside Main
  morvelle::frmMain* window = morvelle::Main(module1, prompts);
  prompts.setParent(window);
  return app.exec();
}
