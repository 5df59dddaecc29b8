// The batch's collision check on folders built from the input: files, symbolic links and hard
// links whose names differ in letter case and in ".exp" suffixes, listed as rows under several
// spellings. Whenever the check lets a run go ahead, the run (a copy of every row) must leave
// every row's source as it was and give every row its own output; when it refuses, nothing may
// be written.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QMap>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "adapters/editor_buffer_impl.h"
#include "engine/batches.h"
#include "services/service_error.h"

namespace {

[[noreturn]] void Fail(const char* what, const QString& detail = {}) {
  std::fprintf(stderr, "fuzz_collisions: %s %s\n", what, detail.toUtf8().constData());
  std::abort();
}

class Sink : public morvelle::engine::MessageSink {
 public:
  QStringList messages;
  void ShowError(const QString& description) override { messages << description; }
};

class Rows : public morvelle::TargetSource {
 public:
  QStringList sources;
  qsizetype TargetCount() const override { return sources.size(); }
  morvelle::BatchTarget TargetAt(qsizetype i) const override {
    const QString& s = sources[i];
    const qsizetype slash = s.lastIndexOf(u'/');
    return {s, s.left(slash + 1) + s.mid(slash + 1).toLower() + QStringLiteral(".exp")};
  }
};

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QMap<QString, QByteArray> Snapshot(const QDir& dir) {
  QMap<QString, QByteArray> files;
  for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
    files.insert(name, QFileInfo(dir.filePath(name)).isSymLink()
                           ? QFileInfo(dir.filePath(name)).symLinkTarget().toUtf8()
                           : ReadAll(dir.filePath(name)));
  }
  return files;
}

QString NameOf(std::uint8_t b) {
  QString name(QChar(u"abAB"[b & 3]));
  for (int i = 0; i < ((b >> 2) & 3); ++i) {
    name += (b >> 4) & 1 ? QStringLiteral(".EXP") : QStringLiteral(".exp");
  }
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const QString root = [] {
    QByteArray name = QFile::encodeName(QDir::tempPath()) + "/morvelle-fuzz-XXXXXX";
    if (!::mkdtemp(name.data())) Fail("no temporary folder");
    return QFile::decodeName(name);
  }();
  QDir(root).removeRecursively();
  QDir().mkpath(root);
  const QDir dir(root);
  QFile::link(QStringLiteral("."), dir.filePath(QStringLiteral("L")));  // "L/x" is "x"

  // Entries: two bytes each (name, kind); then rows: one byte each.
  std::size_t at = 0;
  const std::size_t entries = size > 0 ? 1 + data[at++] % 6 : 0;
  QStringList names;
  for (std::size_t e = 0; e < entries && at + 1 < size; ++e, at += 2) {
    const QString name = NameOf(data[at]);
    const std::uint8_t kind = data[at + 1];
    const QString path = dir.filePath(name);
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) continue;
    if (kind % 4 == 0 || names.isEmpty()) {
      QFile f(path);
      if (!f.open(QIODevice::WriteOnly)) Fail("cannot write", path);
      f.write(name.toUtf8() + '#' + QByteArray::number(qulonglong(e)) + '\n');
    } else if (kind % 4 == 1) {
      QFile::link(names[(kind >> 2) % names.size()], path);
    } else if (kind % 4 == 2) {
      if (::link(QFile::encodeName(dir.filePath(names[(kind >> 2) % names.size()])).constData(),
                 QFile::encodeName(path).constData()) != 0) {
        continue;
      }
    } else {
      continue;  // named by rows, never made
    }
    names << name;
  }
  Rows rows;
  for (; at < size && rows.sources.size() < 8; ++at) {
    static const char* const spellings[] = {"", "./", "L/"};
    rows.sources << dir.filePath(QString::fromUtf8(spellings[(data[at] >> 5) % 3]) +
                                 NameOf(data[at]));
  }

  QList<QByteArray> before;
  for (const QString& s : rows.sources) before << ReadAll(s);
  const QMap<QString, QByteArray> snapshot = Snapshot(dir);
  Sink sink;
  QList<qsizetype> written;
  morvelle::engine::ReplaceOptions options;
  options.fileDone = [&](const morvelle::engine::FileReport& r) {
    if (r.written) written << r.index;
  };
  const std::unique_ptr<morvelle::EditorBuffer> buffer = morvelle::MakeEditorBuffer();
  const morvelle::TextServiceFactory noService = []() -> std::unique_ptr<morvelle::TextService> {
    throw morvelle::ServiceError(QStringLiteral("unused"));
  };
  morvelle::engine::ReplaceAll({}, rows, *buffer, noService, sink, options);

  const bool refused = !sink.messages.isEmpty() &&
                       sink.messages[0].startsWith(
                           QStringLiteral("出力先が重なるため、何も書き込まずに中止しました"));
  if (refused) {
    if (Snapshot(dir) != snapshot) Fail("a refused run wrote", sink.messages[0]);
    return 0;
  }
  for (qsizetype i = 0; i < rows.sources.size(); ++i) {
    if (ReadAll(rows.sources[i]) != before[i]) Fail("a row was written over", rows.sources[i]);
  }
  for (qsizetype i : written) {
    const QString output = rows.TargetAt(i).outputPath;
    if (ReadAll(output) != before[i]) Fail("an output was written twice", output);
  }
  return 0;
}
