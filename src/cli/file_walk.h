#pragma once
// The files of a run when folders are walked (-R): names sorted by bytes so that runs repeat,
// links to folders not followed, hidden names, earlier outputs and binary files left out unless
// asked for, --include and --exclude applied to each file's name.

#include <QString>
#include <QStringList>

#include "cli/command_line.h"

namespace morvelle::cli {

struct WalkedFiles {
  QStringList files;  // in the order they are processed
  // What the walk left out, by reason.
  qsizetype hidden = 0;
  qsizetype excluded = 0;     // matched an --exclude
  qsizetype notIncluded = 0;  // matched no --include
  qsizetype outputs = 0;      // ended in ".exp"
  qsizetype binary = 0;
  qsizetype special = 0;  // not a regular file (a link to a folder, a FIFO, a dangling link)

  // "隠しファイル 2, バイナリ 1" for the counts that are not zero; empty when nothing was left out.
  QString SkippedSummary() const;
};

// Without -R the file arguments as they are. With it, each folder among them is replaced by the
// files under it; a file argument is always taken, whatever its name.
WalkedFiles FilesOf(const Invocation& invocation);

}  // namespace morvelle::cli
