#pragma once
// A run never writes over a file that is a row of the same run, and never writes one output
// twice. Both are found before the first write, from what the file system says of every path,
// so the run can end with nothing written.

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "services/target_source.h"

namespace morvelle::engine {

// The message naming both rows of the first collision in list order, or nothing. An output
// collides with a row's source when it names the same directory entry or reaches the same file
// (a hard link, a name that differs in letter case where the file system ignores it), and with
// an earlier row's output when both name the same entry. A row that is an old output is allowed
// as long as no row of the run writes it. `ruleSets`, the rule-set files the run read, must not
// be written over either.
std::optional<QString> FindCollision(const std::vector<BatchTarget>& targets,
                                     const QStringList& ruleSets = {});

}  // namespace morvelle::engine
