// The rule-set reader on any file: rules, or an error that names the file. Rules that the
// file's code can hold are written and read back unchanged.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "adapters/settings_file_service_impl.h"
#include "rules/rule_set_file.h"
#include "services/service_error.h"

namespace {

[[noreturn]] void Fail(const char* what, const QString& detail = {}) {
  std::fprintf(stderr, "fuzz_rule_set: %s %s\n", what, detail.toUtf8().constData());
  std::abort();
}

QString TempPath(const char* suffix) {
  QByteArray name = QFile::encodeName(QDir::tempPath()) + "/morvelle-fuzz-XXXXXX";
  const int fd = ::mkstemp(name.data());
  if (fd < 0) Fail("no temporary file");
  ::close(fd);
  ::unlink(name.constData());
  return QFile::decodeName(name) + QString::fromUtf8(suffix);
}

void Write(const QString& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(QFile::encodeName(path).constData(), "wb");
  if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) Fail("cannot write");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto files = morvelle::MakeSettingsFileService();
  // Removed at exit, which libFuzzer reaches after its last run.
  static const struct Scratch {
    QString input = TempPath(".exp");
    QString output = TempPath("-out.exp");
    ~Scratch() {
      QFile::remove(input);
      QFile::remove(output);
    }
  } scratch;
  const QString& input = scratch.input;
  const QString& output = scratch.output;
  Write(input, data, size);

  std::vector<morvelle::Rule> rules;
  try {
    rules = morvelle::rules::ParseRuleSetLines(input, files->ReadLines(input));
  } catch (const morvelle::ServiceError& e) {
    if (!e.description().contains(input)) Fail("the error does not name the file", e.description());
    return 0;
  }

  // Written as the window saves a row, expression and flag, so no saved line ends in ^Z (the
  // old editors' end mark).
  QStringList lines;
  for (const morvelle::Rule& rule : rules) {
    if (rule.expression.isEmpty()) Fail("a rule without an expression");
    if (files->FirstUnstorable(rule.expression)) return 0;
    lines << rule.expression + u'\t' + QString::number(rule.flag);
  }
  try {
    files->WriteLines(output, lines);
  } catch (const morvelle::ServiceError& e) {
    Fail("storable lines failed to save", e.description());
  }
  QStringList back = files->ReadLines(output);
  if (back != lines) Fail("saved rules read back differently");
  if (morvelle::rules::ParseRuleSetLines(output, back) != rules) {
    Fail("saved rules parse differently");
  }
  return 0;
}
