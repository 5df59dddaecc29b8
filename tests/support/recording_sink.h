#pragma once
// A message sink that keeps every message a batch shows, in order.

#include <QStringList>

#include "engine/batches.h"

namespace morvelle::testing {

class RecordingSink : public engine::MessageSink {
 public:
  QStringList messages;
  void ShowError(const QString& description) override { messages << description; }
};

}  // namespace morvelle::testing
