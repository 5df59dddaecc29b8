#pragma once
// Runs a parsed invocation of morvelle-batch over the same engine as the window's buttons.

#include <cstdio>

#include "cli/command_line.h"
#include "services/target_source.h"

namespace morvelle::cli {

struct Streams {
  std::FILE* out = stdout;  // reports: -n, -v, detect
  std::FILE* err = stderr;  // messages and the progress bar
  bool errIsTerminal = false;
  bool autoColor = false;  // --color=auto colours a diff (AutoColor)
};

// The row of the target list a file argument makes, its output named as the list names it
// (OutputPathOf).
BatchTarget TargetOfArgument(const QString& path);

// The exit status: 0 when every file was written (or, for detect, read), 1 when a failure was
// reported. Usage errors are the parser's.
int Run(const Invocation& invocation, const Streams& streams);

}  // namespace morvelle::cli
