#include "app/run_frame.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "frm_status.h"
#include "services/service_error.h"
#include "services/twips.h"

namespace morvelle {

namespace {

class PromptSink : public engine::MessageSink {
 public:
  explicit PromptSink(UserPrompts& prompts) : prompts_(prompts) {}
  void ShowError(const QString& description) override {
    prompts_.ShowMessage(description, MessageIcon::None);
  }

 private:
  UserPrompts& prompts_;
};

// Processes events until the whole-second clock passes now + 1 s: at most one second, often
// much less. It sleeps in the event loop instead of spinning.
void SettleWait() {
  const qint64 deadline = QDateTime::currentSecsSinceEpoch() + 1;
  QTimer wake;
  wake.setSingleShot(true);
  while (QDateTime::currentSecsSinceEpoch() < deadline) {
    const qint64 ms = deadline * 1000 - QDateTime::currentMSecsSinceEpoch();
    wake.start(int(std::clamp<qint64>(ms, 1, 1000)));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
}

}  // namespace

void LetWindowsPaint() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

void RunBatch(QWidget& mainWindow, const QString& appDir, UserPrompts& prompts,
              const std::function<void(engine::MessageSink&)>& batch, const RunFrameHooks& hooks) {
  PromptSink sink(prompts);
  auto status = std::make_unique<frmStatus>();
  try {
    status->move(mainWindow.frameGeometry().topLeft() + QPoint(Twips(200), Twips(200)));
    status->setShowMsg(QStringLiteral("ただ今置換を行っています。"));
    status->setAviPath(appDir + QStringLiteral("FileFind.avi"));
    status->StartAni();
    status->show();
    if (hooks.statusShown) hooks.statusShown(*status);
    SettleWait();
    batch(sink);
  } catch (const ServiceError& e) {
    sink.ShowError(e.description());
  } catch (const std::bad_alloc&) {
    // Whatever a run meets, the program keeps running and says why.
    sink.ShowError(QStringLiteral("メモリが足りないため処理を中止しました。"));
  }
  status->close();
}

}  // namespace morvelle
