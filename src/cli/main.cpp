// morvelle-batch: the window program's two batches, and the code recognition, from a shell.
#include <malloc.h>
#include <unistd.h>

#include <cstdio>

#include "cli/batch_cli.h"
#include "cli/command_line.h"
#include "services/file_names.h"
#include "services/termination.h"

int main(int argc, char** argv) {
  using namespace morvelle;
  RemoveTemporaryFilesOnTermination();
  // Every file's buffers are a few times its size and freed before the next file: keep them
  // in the heap rather than mapping and zeroing fresh pages for each file.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  // Arguments are file names first: decoded losslessly, whatever the locale.
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << DecodeFileName(QByteArray(argv[i]));
  cli::Invocation invocation;
  try {
    invocation = cli::ParseCommandLine(arguments);
  } catch (const cli::UsageError& e) {
    // Every line named after the program, as every other message is; an argument quoted in
    // the message keeps it on one line.
    QString message = e.message();
    message.replace(u'\n', u' ');
    const QByteArray text = EncodeFileName(
        QStringLiteral("morvelle-batch: ") + message +
        QStringLiteral("\nmorvelle-batch: 詳しくは morvelle-batch --help (see morvelle-batch "
                       "--help)\n"));
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    return 2;
  }
  return cli::Run(invocation,
                  {stdout, stderr, ::isatty(STDERR_FILENO) == 1, ::isatty(STDOUT_FILENO) == 1});
}
