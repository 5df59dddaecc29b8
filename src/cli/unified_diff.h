#pragma once
// What a replacement would change in one file, as a unified diff with three lines of context.
// The hunks come straight from the buffer's changes, so no line-matching search is made and a
// rule that changes every line costs no more than one that changes one. Lines keep their own
// ends (a CR before LF stays part of the line), so `patch` applied to a UTF-8 source gives
// exactly what the run writes.

#include <QByteArray>
#include <QString>
#include <vector>

#include "services/text_service.h"

namespace morvelle::cli {

struct DiffStyle {
  bool color = false;
};

// `changes` are edits of `before` (sorted, non-overlapping); `sourceName` and `outputName`
// head the diff. The text is UTF-8; undecodable bytes are written as the bytes they were. Empty
// when nothing changes.
QByteArray UnifiedDiff(const QString& sourceName, const QString& outputName, const QString& before,
                       const std::vector<TextEdit>& changes, DiffStyle style = {});

}  // namespace morvelle::cli
