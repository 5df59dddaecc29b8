// What morvelle-batch never does: write over a file of its own run, pass a dry run that the
// write would fail, or leave a temporary file when a signal ends it.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include "batch_cli_fixture.h"

namespace {

using namespace morvelle::testing;

TEST_F(BatchCli, CollidingRowsEndTheRunBeforeAnythingIsWritten) {
  Write(QStringLiteral("z.txt"), "z\n");
  Write(QStringLiteral("memo.txt"), "memo\n");
  Write(QStringLiteral("memo.txt.exp"), "the user's own file\n");
  const auto before = Snapshot(dir_.path());
  const QByteArray message =
      "morvelle-batch: 出力先が重なるため、何も書き込まずに中止しました: "
      "3 番目の memo.txt の出力 memo.txt.exp は 2 番目のファイル memo.txt.exp です "
      "(書き込むとそのファイルが失われます)\n";
  const QStringList files{QStringLiteral("z.txt"), QStringLiteral("memo.txt.exp"),
                          QStringLiteral("memo.txt")};
  for (const QStringList& command :
       {QStringList{QStringLiteral("replace"), QStringLiteral("-e"), QStringLiteral("s/m/M/")},
        QStringList{QStringLiteral("replace"), QStringLiteral("-n"), QStringLiteral("-e"),
                    QStringLiteral("s/m/M/")},
        QStringList{QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("utf8")}}) {
    for (const char* jobs : {"1", "2"}) {
      const Outcome r =
          Run(QStringList{QStringLiteral("-j"), QString::fromLatin1(jobs)} + command + files);
      EXPECT_EQ(r.status, 1) << jobs;
      EXPECT_EQ(r.err, message) << command.join(u' ').toStdString() << " -j " << jobs;
      EXPECT_TRUE(r.out.isEmpty());
      EXPECT_EQ(Snapshot(dir_.path()), before);
    }
  }
}

TEST_F(BatchCli, ADryRunFailsWhereTheRealRunFailsWithTheSameMessage) {
  Write(QStringLiteral("sjis.txt"), Sjis("データ\n"));
  Write(QStringLiteral("b.txt"), "b\n");
  QDir(dir_.path()).mkdir(QStringLiteral("b.txt.exp"));  // the output's name is a folder
  // A name of 251 bytes whose output is 256: Ⱥ (2 bytes) lower-cases to ⱥ (3 bytes).
  const QString longName = QStringLiteral("Ⱥ") + QString(249, u'a');
  Write(longName, "a\n");
  const QString longOutput = QStringLiteral("ⱥ") + QString(249, u'a') + QStringLiteral(".exp");
  const std::pair<QStringList, QString> cases[] = {
      {{QStringLiteral("-e"), QStringLiteral("s/データ/😀/"), QStringLiteral("sjis.txt")}, {}},
      {{QStringLiteral("-e"), QStringLiteral("s/b/B/"), QStringLiteral("b.txt")},
       QStringLiteral("morvelle-batch: ファイルを書き込めません: b.txt.exp (フォルダーです)\n")},
      {{QStringLiteral("-e"), QStringLiteral("s/a/A/"), longName},
       QStringLiteral("morvelle-batch: ファイルを書き込めません: %1 (名前が長すぎます)\n")
           .arg(longOutput)},
  };
  for (const auto& [c, message] : cases) {
    for (const QString& dryRun : {QStringLiteral("-n"), QStringLiteral("--diff")}) {
      const auto before = Snapshot(dir_.path());
      const Outcome dry = Run(QStringList{QStringLiteral("replace"), dryRun} + c);
      EXPECT_EQ(Snapshot(dir_.path()), before);
      const Outcome real = Run(QStringList{QStringLiteral("replace")} + c);
      EXPECT_EQ(dry.status, 1) << c.join(u' ').toStdString() << ' ' << dryRun.toStdString();
      EXPECT_EQ(real.status, 1);
      EXPECT_EQ(dry.err, real.err);
      EXPECT_FALSE(dry.err.isEmpty());
      if (!message.isEmpty()) {
        EXPECT_EQ(QString::fromUtf8(real.err), message);
      }
      EXPECT_EQ(Snapshot(dir_.path()), before);  // the real run failed before any write
    }
  }
}

// An output is a copy of its source: never readable by more people than it, as cp makes a copy.
// Both batches, written directly (-j 1) and staged by workers (-j 2), over an older output that
// anyone could read.
TEST_F(BatchCli, AnOutputIsNeverReadableByMoreThanItsSource) {
  Write(QStringLiteral("private.txt"), "secret\n");
  ASSERT_TRUE(QFile::setPermissions(Path(QStringLiteral("private.txt")),
                                    QFile::ReadOwner | QFile::WriteOwner));
  const QStringList commands[] = {
      {QStringLiteral("replace"), QStringLiteral("-e"), QStringLiteral("s/secret/hidden/")},
      {QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("ucs2")},
  };
  for (const QStringList& command : commands) {
    for (const char* jobs : {"1", "2"}) {
      Write(QStringLiteral("private.txt.exp"), "earlier\n");
      ::chmod(QFile::encodeName(Path(QStringLiteral("private.txt.exp"))).constData(), 0644);
      const Outcome r = Run(QStringList{QStringLiteral("-j"), QString::fromLatin1(jobs)} + command +
                            QStringList{QStringLiteral("private.txt")});
      EXPECT_EQ(r.status, 0) << r.err.toStdString();
      struct stat st {};
      ASSERT_EQ(::stat(QFile::encodeName(Path(QStringLiteral("private.txt.exp"))).constData(), &st),
                0);
      EXPECT_EQ(st.st_mode & 07777, 0600u) << command.join(u' ').toStdString() << " -j " << jobs;
      EXPECT_NE(ReadAll(Path(QStringLiteral("private.txt.exp"))), QByteArray("earlier\n"));
    }
  }
}

// A report that never reached standard output (a full disk: /dev/full) is no success: a diff or
// a count cut short says nothing true. Said once; with standard error full, the status says it.
TEST_F(BatchCli, AReportOrMessageThatCannotBeWrittenFailsTheRun) {
  Write(QStringLiteral("a.txt"), "one\n");
  Write(QStringLiteral(".hidden"), "h\n");
  const QString full = QStringLiteral("/dev/full");
  const QStringList toFullOutput[] = {
      {QStringLiteral("replace"), QStringLiteral("--diff"), QStringLiteral("-e"),
       QStringLiteral("s/one/1/"), QStringLiteral("a.txt")},
      {QStringLiteral("replace"), QStringLiteral("-n"), QStringLiteral("-e"),
       QStringLiteral("s/one/1/"), QStringLiteral("a.txt")},
      {QStringLiteral("-v"), QStringLiteral("replace"), QStringLiteral("-e"),
       QStringLiteral("s/one/1/"), QStringLiteral("a.txt")},
      {QStringLiteral("-v"), QStringLiteral("convert"), QStringLiteral("--to"),
       QStringLiteral("utf8"), QStringLiteral("a.txt")},
      {QStringLiteral("detect"), QStringLiteral("a.txt")},
      {QStringLiteral("--help")},
  };
  for (const QStringList& args : toFullOutput) {
    const Outcome r = Run(args, {}, full);
    EXPECT_EQ(r.status, 1) << args.join(u' ').toStdString();
    EXPECT_EQ(QString::fromUtf8(r.err),
              QStringLiteral("morvelle-batch: 標準出力に書き込めません (ディスクの空き領域が"
                             "足りません)\n"))
        << args.join(u' ').toStdString();
  }
  // -v says on standard error what the walk left out (the hidden file).
  const Outcome r =
      Run({QStringLiteral("-Rv"), QStringLiteral("detect"), QStringLiteral(".")}, {}, {}, full);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, QByteArray("ASCII\t./a.txt\n"));
}

TEST_F(BatchCli, ASignalDuringAWriteLeavesNoTemporaryFileAndExits128PlusItsNumber) {
  Write(QStringLiteral("small.txt"), "a\n");
  QByteArray big;
  for (int line = 0; line < (16 << 20) / 64; ++line) big += QByteArray(63, 'a') + '\n';
  Write(QStringLiteral("big.txt"), big);
  for (const auto& [signal, jobs] : {std::pair{SIGINT, "1"}, {SIGTERM, "2"}, {SIGHUP, "3"}}) {
    QFile::remove(Path(QStringLiteral("small.txt.exp")));
    QFile::remove(Path(QStringLiteral("big.txt.exp")));
    // The signal is sent the moment the big output's temporary file appears.
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, QFile::encodeName(dir_.path()).constData(), IN_CREATE), 0);
    QProcess p;
    p.setWorkingDirectory(dir_.path());
    p.start(QStringLiteral(MORVELLE_BATCH_EXE),
            {QStringLiteral("-j"), QString::fromLatin1(jobs), QStringLiteral("replace"),
             QStringLiteral("-e"), QStringLiteral("s/^a/b/"), QStringLiteral("small.txt"),
             QStringLiteral("big.txt")});
    ASSERT_TRUE(p.waitForStarted());
    bool sent = false;
    alignas(inotify_event) char events[4096];
    pollfd ready{watch, POLLIN, 0};
    while (!sent && ::poll(&ready, 1, 120000) == 1) {
      const ssize_t n = ::read(watch, events, sizeof events);
      for (ssize_t at = 0; at < n && !sent;) {
        const auto* e = reinterpret_cast<const inotify_event*>(events + at);
        if (e->len > 0 && QByteArray(e->name).startsWith(".big.txt.exp.")) {
          ::kill(pid_t(p.processId()), signal);
          sent = true;
        }
        at += ssize_t(sizeof(inotify_event) + e->len);
      }
    }
    ::close(watch);
    ASSERT_TRUE(sent) << jobs;
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 128 + signal) << "-j " << jobs;
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Hidden | QDir::Files | QDir::NoDotAndDotDot),
              QStringList({QStringLiteral("big.txt"), QStringLiteral("small.txt"),
                           QStringLiteral("small.txt.exp")}))
        << "-j " << jobs;
    EXPECT_EQ(ReadAll(Path(QStringLiteral("small.txt.exp"))), QByteArray("b\n"));
  }
}

// Bytes no rule can reach are said, as a failed rule is (exit 1), and kept byte for byte; the
// rules still change the rest. A private-use character is a character like any other.
TEST_F(BatchCli, WhatRulesCannotReadIsToldAndKeptWhileTheRestChanges) {
  const QByteArray mixed = QByteArray("東京都の天気\n") + Sjis("東京都の天気\n");
  Write(QStringLiteral("mixed.txt"), mixed);
  Write(QStringLiteral("data.bin"),
        QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\xFF\xFE\x01\x02", 21));
  Write(QStringLiteral("pua.txt"), "x\xEF\x9D\x81y\n");
  // Neither rule's text is in these; one of them still has a byte cut off.
  Write(QStringLiteral("osaka.txt"), Sjis("大阪の天気\n"));
  Write(QStringLiteral("cut.txt"), Sjis("大阪の天気\n") + "\x82");
  const QStringList args = {QStringLiteral("-e"),        QStringLiteral("s/東京都/東京/g"),
                            QStringLiteral("-e"),        QStringLiteral("s/(.)(y)/$2$1/"),
                            QStringLiteral("mixed.txt"), QStringLiteral("data.bin"),
                            QStringLiteral("pua.txt"),   QStringLiteral("osaka.txt"),
                            QStringLiteral("cut.txt")};
  const QByteArray told =
      "morvelle-batch: 読めないバイトは置換せず元のまま残します: mixed.txt の 2 行 1 列目の"
      "バイト 0x93 ほか、全 7 バイト (UTF-8 として)\n"
      "morvelle-batch: バイナリファイルとして読んだので置換しません (出力は元のままです): "
      "data.bin\n"
      "morvelle-batch: 読めないバイトは置換せず元のまま残します: cut.txt の 2 行 1 列目の"
      "バイト 0x82 (Shift_JIS として)\n";
  const Outcome dry = Run(QStringList{QStringLiteral("replace"), QStringLiteral("-n")} + args);
  EXPECT_EQ(dry.status, 1);
  EXPECT_EQ(dry.err, told);
  const Outcome r = Run(QStringList{QStringLiteral("replace")} + args);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, told);
  EXPECT_EQ(ReadAll(Path(QStringLiteral("mixed.txt.exp"))),
            QByteArray("東京の天気\n") + Sjis("東京都の天気\n"));
  EXPECT_EQ(ReadAll(Path(QStringLiteral("data.bin.exp"))),
            ReadAll(Path(QStringLiteral("data.bin"))));
  EXPECT_EQ(ReadAll(Path(QStringLiteral("pua.txt.exp"))), QByteArray("xy\xEF\x9D\x81\n"));
  for (const QString& name : {QStringLiteral("osaka.txt"), QStringLiteral("cut.txt")}) {
    EXPECT_EQ(ReadAll(Path(name + QStringLiteral(".exp"))), ReadAll(Path(name)));
  }
}

}  // namespace
