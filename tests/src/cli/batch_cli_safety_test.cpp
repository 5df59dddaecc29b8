// What morvelle-batch never does: write over a file of its own run, pass a dry run that the
// write would fail, or leave a temporary file when a signal ends it.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
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
  const QStringList cases[] = {
      {QStringLiteral("-e"), QStringLiteral("s/データ/😀/"), QStringLiteral("sjis.txt")},
      {QStringLiteral("-e"), QStringLiteral("s/b/B/"), QStringLiteral("b.txt")},
  };
  for (const QStringList& c : cases) {
    const auto before = Snapshot(dir_.path());
    const Outcome dry = Run(QStringList{QStringLiteral("replace"), QStringLiteral("-n")} + c);
    EXPECT_EQ(Snapshot(dir_.path()), before);
    const Outcome real = Run(QStringList{QStringLiteral("replace")} + c);
    EXPECT_EQ(dry.status, 1) << c.join(u' ').toStdString();
    EXPECT_EQ(real.status, 1);
    EXPECT_EQ(dry.err, real.err);
    EXPECT_FALSE(dry.err.isEmpty());
  }
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
  const QStringList args = {QStringLiteral("-e"),        QStringLiteral("s/東京都/東京/g"),
                            QStringLiteral("-e"),        QStringLiteral("s/(.)(y)/$2$1/"),
                            QStringLiteral("mixed.txt"), QStringLiteral("data.bin"),
                            QStringLiteral("pua.txt")};
  const QByteArray told =
      "morvelle-batch: 読めないバイトは置換せず元のまま残します: mixed.txt の 2 行 1 列目の"
      "バイト 0x93 ほか、全 7 バイト (UTF-8 として)\n"
      "morvelle-batch: バイナリファイルとして読んだので置換しません (出力は元のままです): "
      "data.bin\n";
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
}

}  // namespace
