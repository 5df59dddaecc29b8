#include "app/run_frame.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <memory>

#include "services/service_error.h"
#include "status/frm_status.h"
#include "status/twips.h"

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

// Watches the main window while runs are on the stack; a click during the settle wait nests a
// second run inside the first. A close hides the window at once and ends every run, but a
// window that deletes itself on close is deleted only when the outermost run has returned.
class CloseWatch : public QObject {
 public:
  static CloseWatch& Of(QWidget& window) {
    for (QObject* child : window.children()) {
      if (auto* watch = dynamic_cast<CloseWatch*>(child)) return *watch;
    }
    return *new CloseWatch(window);
  }

  bool closed() const { return closed_; }
  void Enter() { ++depth_; }
  void Leave() {
    if (--depth_ > 0) return;
    // A window that stays (the tests keep theirs) may run again.
    closed_ = false;
    if (deleteAfterRun_) window_.deleteLater();
    deleteAfterRun_ = false;
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    // The main window accepts every close; it ends the program without a question.
    if (event->type() == QEvent::Close && depth_ > 0) {
      closed_ = true;
      if (window_.testAttribute(Qt::WA_DeleteOnClose)) {
        window_.setAttribute(Qt::WA_DeleteOnClose, false);
        deleteAfterRun_ = true;
      }
    }
    return false;
  }

 private:
  explicit CloseWatch(QWidget& window) : QObject(&window), window_(window) {
    window.installEventFilter(this);
  }

  QWidget& window_;
  int depth_ = 0;
  bool closed_ = false;
  bool deleteAfterRun_ = false;
};

// Thrown between two files once the main window is closed; the engine lets it pass.
struct RunEnded {};

class RunScope {
 public:
  explicit RunScope(QWidget& window) : watch_(CloseWatch::Of(window)) { watch_.Enter(); }
  ~RunScope() { watch_.Leave(); }
  RunScope(const RunScope&) = delete;
  RunScope& operator=(const RunScope&) = delete;
  bool closed() const { return watch_.closed(); }

 private:
  CloseWatch& watch_;
};

// Processes events until the whole-second clock passes now + 1 s: at most one second, often
// much less. It sleeps in the event loop instead of spinning.
void SettleWait(const RunScope& run) {
  const qint64 deadline = QDateTime::currentSecsSinceEpoch() + 1;
  QTimer wake;
  wake.setSingleShot(true);
  while (!run.closed() && QDateTime::currentSecsSinceEpoch() < deadline) {
    const qint64 ms = deadline * 1000 - QDateTime::currentMSecsSinceEpoch();
    wake.start(int(std::clamp<qint64>(ms, 1, 1000)));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
}

}  // namespace

void RunBatch(QWidget& mainWindow, const QString& appDir, UserPrompts& prompts, const Batch& batch,
              const RunFrameHooks& hooks) {
  const RunScope run(mainWindow);
  PromptSink sink(prompts);
  // Between files: paint and timer events, so the status window repaints and its clip plays;
  // user input waits until the run ends.
  const engine::ReplaceOptions options([&run, &hooks] {
    if (hooks.betweenFiles) hooks.betweenFiles();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (run.closed()) throw RunEnded();
  });
  auto status = std::make_unique<frmStatus>();
  try {
    status->move(mainWindow.frameGeometry().topLeft() + QPoint(Twips(200), Twips(200)));
    status->setShowMsg(QStringLiteral("ただ今置換を行っています。"));
    status->setAviPath(appDir + QStringLiteral("FileFind.avi"));
    status->StartAni();
    status->show();
    if (hooks.statusShown) hooks.statusShown(*status);
    SettleWait(run);
    if (!run.closed()) batch(sink, options);
  } catch (const RunEnded&) {
    // The user closed the program; the file before the close is whole and nothing follows.
  } catch (const ServiceError& e) {
    sink.ShowError(e.description());
  } catch (const std::bad_alloc&) {
    // Whatever a run meets, the program keeps running and says why.
    sink.ShowError(QStringLiteral("メモリが足りないため処理を中止しました。"));
  }
  status->close();
}

}  // namespace morvelle
