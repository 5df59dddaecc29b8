#pragma once
// One file of the replacement, shared by the single-threaded batch and the workers of the
// parallel one so that both do exactly the same to a file.

#include <functional>

#include "engine/batches.h"

namespace morvelle::engine {

enum class Save { Direct, Stage, None };

// Loads the target, applies the rules and, by `save`, writes the output, stages the write
// (returned) or writes nothing. A failed rule is reported to `sink` and marked in `report`;
// any other failure throws ServiceError.
std::function<void()> ReplaceFile(const QStringList& rules, const BatchTarget& target,
                                  EditorBuffer& buffer, const TextServiceFactory& makeService,
                                  MessageSink& sink, Save save, FileReport& report);

}  // namespace morvelle::engine
