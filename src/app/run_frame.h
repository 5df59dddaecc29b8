#pragma once
// The frame both batches run in: the status window is created, placed 200 twips right of and
// below the main window, given its message and clip, started and shown; events are processed
// until the clock's second changes; the batch runs; the window is closed in every case.
// Closing the main window ends the run at once: during the settle wait the batch never starts,
// between two files no further file is begun, and the window is deleted only after the run has
// returned, since the handler that started it still belongs to the window.

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
  // Called between two files, before events are let through.
  std::function<void()> betweenFiles;
};

// `batch` reports through the sink it is given and passes the options on to the engine, whose
// between-files step lets windows paint and ends the run once the main window is closed;
// a ServiceError it throws is shown as well.
using Batch = std::function<void(engine::MessageSink&, const engine::ReplaceOptions&)>;
void RunBatch(QWidget& mainWindow, const QString& appDir, UserPrompts& prompts, const Batch& batch,
              const RunFrameHooks& hooks = {});

}  // namespace morvelle
