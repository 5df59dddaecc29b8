#pragma once
// morvelle-batch run as a user runs it, on real files in a temporary folder: what the command
// line tests share.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

namespace morvelle::testing {

struct Outcome {
  int status = -1;
  QByteArray out;
  QByteArray err;
};

inline QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The names in a folder with the bytes of each file, so that two folders compare whole.
inline QMap<QString, QByteArray> Snapshot(const QString& folder) {
  QMap<QString, QByteArray> files;
  const QDir dir(folder);
  for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot)) {
    files.insert(name, ReadAll(dir.filePath(name)));
  }
  return files;
}

inline QByteArray Sjis(const char* utf8) {
  QProcess iconv;
  iconv.start(QStringLiteral("iconv"), {QStringLiteral("-f"), QStringLiteral("UTF-8"),
                                        QStringLiteral("-t"), QStringLiteral("CP932")});
  iconv.waitForStarted();
  iconv.write(utf8);
  iconv.closeWriteChannel();
  iconv.waitForFinished();
  return iconv.readAllStandardOutput();
}

class BatchCli : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

  QString Path(const QString& name) const { return dir_.filePath(name); }
  void Write(const QString& name, const QByteArray& bytes) {
    QFile f(Path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }

  // In LANG=locale_, a Japanese one unless a test says otherwise, as the messages are asserted
  // in Japanese. `out` and `err`, when given, name files that take standard output and standard
  // error instead.
  Outcome Run(const QStringList& arguments, const QString& folder = {}, const QString& out = {},
              const QString& err = {}) {
    QProcess p;
    p.setWorkingDirectory(folder.isEmpty() ? dir_.path() : folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LC_ALL"));
    environment.remove(QStringLiteral("LC_MESSAGES"));
    environment.insert(QStringLiteral("LANG"), locale_);
    p.setProcessEnvironment(environment);
    if (!out.isEmpty()) p.setStandardOutputFile(out);
    if (!err.isEmpty()) p.setStandardErrorFile(err);
    p.start(QStringLiteral(MORVELLE_BATCH_EXE), arguments);
    EXPECT_TRUE(p.waitForFinished(120000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
  }

  QTemporaryDir dir_;
  QString locale_ = QStringLiteral("ja_JP.UTF-8");
};

}  // namespace morvelle::testing
