#pragma once
// The frame both batches run in: the status window is created, placed 200 twips right of and
// below the main window, given its message and clip, started and shown; events are processed
// until the clock's second changes; the batch runs; the window is closed in every case.

#include <QString>
#include <functional>

#include "engine/batches.h"
#include "services/user_prompts.h"

class QWidget;

namespace morvelle {

class frmStatus;

struct RunFrameHooks {
  // Called once the status window is shown, before the settle wait (tests look at it here).
  std::function<void(frmStatus&)> statusShown;
};

// `batch` reports through the sink it is given; a ServiceError it throws is shown as well.
void RunBatch(QWidget& mainWindow, const QString& appDir, UserPrompts& prompts,
              const std::function<void(engine::MessageSink&)>& batch,
              const RunFrameHooks& hooks = {});

// Between two files: paint and timer events, so the status window repaints and its clip plays;
// user input waits until the run ends.
void LetWindowsPaint();

}  // namespace morvelle
