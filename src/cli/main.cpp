// morvelle-batch: the window program's two batches, and the code recognition, from a shell.
#include <malloc.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTranslator>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "adapters/termination.h"
#include "cli/batch_cli.h"
#include "cli/command_line.h"
#include "cli/english.h"
#include "cli/environment.h"
#include "services/file_names.h"

int main(int argc, char** argv) {
  using namespace morvelle;
  RemoveTemporaryFilesOnTermination();
  // Every file's buffers are a few times its size and freed before the next file: keep them
  // in the heap rather than mapping and zeroing fresh pages for each file.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);

  // Translations need the application object, which is given no arguments of ours to read.
  // It sets the C library's locale from the environment; names and globs stay bytes in the
  // C locale, as they always were.
  int qtArgc = 1;
  char name[] = "morvelle-batch";
  char* qtArgv[] = {argc > 0 ? argv[0] : name, nullptr};
  QCoreApplication application(qtArgc, qtArgv);
  std::setlocale(LC_ALL, "C");
  QTranslator english;
  if (cli::MessageLanguage(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
                           std::getenv("LANG")) == cli::Language::English) {
    cli::SpeakEnglish(english);
  }

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
        QStringLiteral("morvelle-batch: ") + message + QStringLiteral("\nmorvelle-batch: ") +
        QCoreApplication::translate("CommandLine", "詳しくは morvelle-batch --help") + u'\n');
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    return 2;
  }
  const bool outIsTerminal = ::isatty(STDOUT_FILENO) == 1;
  return cli::Run(invocation,
                  {stdout, stderr, ::isatty(STDERR_FILENO) == 1,
                   cli::AutoColor(outIsTerminal, std::getenv("NO_COLOR"), std::getenv("TERM"))});
}
