#pragma once
// One file of the replacement, shared by the single-threaded batch and the workers of the
// parallel one so that both do exactly the same to a file.

#include <functional>

#include "engine/batches.h"

namespace morvelle::engine {

enum class Save { Direct, Stage, Check };

// Loads the target, applies the rules and, by `save`, writes the output, stages the write
// (returned) or makes every check of the write without writing (a dry run). A failed rule is
// reported to `sink` and marked in `report`; any other failure throws ServiceError.
std::function<void()> ReplaceFile(const QStringList& rules, const BatchTarget& target,
                                  EditorBuffer& buffer, const TextServiceFactory& makeService,
                                  MessageSink& sink, Save save, FileReport& report,
                                  const Preview& preview = {});

// The rows of the run, in list order.
std::vector<BatchTarget> TargetsOf(const TargetSource& targets);

// Reports the first collision of the run's outputs (see collisions.h) and returns false; the
// run then ends before anything is written.
bool RefuseCollisions(const std::vector<BatchTarget>& list, MessageSink& sink,
                      const QStringList& ruleSets = {});

// ReplaceAll and ConvertAll on a list whose collisions were already refused.
BatchResult ReplaceListed(const QStringList& rules, const std::vector<BatchTarget>& list,
                          EditorBuffer& buffer, const TextServiceFactory& makeService,
                          MessageSink& sink, const ReplaceOptions& options);
BatchResult ConvertListed(const std::vector<BatchTarget>& list, CharacterCode code,
                          TextService& service, MessageSink& sink, const ReplaceOptions& options);

}  // namespace morvelle::engine
