// morvelle-batch run as a user runs it, on real files in a temporary folder.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct Outcome {
  int status = -1;
  QByteArray out;
  QByteArray err;
};

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The names in a folder with the bytes of each file, so that two folders compare whole.
QMap<QString, QByteArray> Snapshot(const QString& folder) {
  QMap<QString, QByteArray> files;
  const QDir dir(folder);
  for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot)) {
    files.insert(name, ReadAll(dir.filePath(name)));
  }
  return files;
}

QByteArray Sjis(const char* utf8) {
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

  Outcome Run(const QStringList& arguments, const QString& folder = {}) {
    QProcess p;
    p.setWorkingDirectory(folder.isEmpty() ? dir_.path() : folder);
    p.start(QStringLiteral(MORVELLE_BATCH_EXE), arguments);
    EXPECT_TRUE(p.waitForFinished(120000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
  }

  QTemporaryDir dir_;
};

TEST_F(BatchCli, ReplaceAppliesRuleSetRulesThenExpressionsAndKeepsTheSource) {
  // A rule set as the window saves it: CP932, CR LF, a disabled row, the spare row.
  Write(QStringLiteral("set.exp"), Sjis("s/猫/犬/g\t1\r\ns/犬/狼/\t0\r\ns/a/b/g\t-2\r\n\t1\r\n"));
  const QByteArray source = Sjis("猫 and a cat\r\n半角ｶﾅ\r\n");
  Write(QStringLiteral("Memo.TXT"), source);

  const Outcome r = Run({QStringLiteral("replace"), QStringLiteral("-r"), QStringLiteral("set.exp"),
                         QStringLiteral("-e"), QStringLiteral("s/犬/DOG/"), QStringLiteral("-v"),
                         QStringLiteral("Memo.TXT")});
  EXPECT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_TRUE(r.err.isEmpty());
  // Rule-set rules first, then -e: 猫→犬, a→b, then 犬→DOG.
  EXPECT_EQ(ReadAll(Path(QStringLiteral("memo.txt.exp"))), Sjis("DOG bnd b cbt\r\n半角ｶﾅ\r\n"));
  EXPECT_EQ(ReadAll(Path(QStringLiteral("Memo.TXT"))), source);
  EXPECT_EQ(QString::fromUtf8(r.out),
            QStringLiteral("Memo.TXT\n\t1\ts/猫/犬/g\n\t3\ts/a/b/g\n\t1\ts/犬/DOG/\n"));
}

TEST_F(BatchCli, DryRunWritesNothingAndPrintsEachRulesReplacements) {
  Write(QStringLiteral("a.txt"), "one two one\n");
  Write(QStringLiteral("b.txt"), "nothing\n");
  const auto before = Snapshot(dir_.path());
  const Outcome r =
      Run({QStringLiteral("replace"), QStringLiteral("--dry-run"), QStringLiteral("-e"),
           QStringLiteral("s/one/1/g"), QStringLiteral("-e"), QStringLiteral("s/(t)wo/$1WO/"),
           QStringLiteral("a.txt"), QStringLiteral("b.txt")});
  EXPECT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_EQ(Snapshot(dir_.path()), before);
  EXPECT_EQ(r.out, QByteArray("a.txt\n\t2\ts/one/1/g\n\t1\ts/(t)wo/$1WO/\n"
                              "b.txt\n\t0\ts/one/1/g\n\t0\ts/(t)wo/$1WO/\n"));
}

TEST_F(BatchCli, ConvertWritesEachTargetCode) {
  Write(QStringLiteral("j.txt"), Sjis("日本語ｶﾅ\r\n"));
  const std::pair<const char*, QByteArray> cases[] = {
      {"utf8", QByteArray("日本語ｶﾅ\r\n")},
      {"euc", QByteArray("\xC6\xFC\xCB\xDC\xB8\xEC\x8E\xB6\x8E\xC5\r\n")},
      {"jis", QByteArray("\x1b$BF|K\\8l\x1b(I6E\x1b(B\r\n")},
      {"ucs2", QByteArray("\xFF\xFE\xE5\x65\x2C\x67\x9E\x8A\x76\xFF\x85\xFF\r\0\n\0", 16)},
      {"sjis", Sjis("日本語ｶﾅ\r\n")},
  };
  for (const auto& [code, expected] : cases) {
    const Outcome r = Run({QStringLiteral("convert"), QStringLiteral("--to"),
                           QString::fromLatin1(code), QStringLiteral("j.txt")});
    EXPECT_EQ(r.status, 0) << code << r.err.toStdString();
    EXPECT_EQ(ReadAll(Path(QStringLiteral("j.txt.exp"))), expected) << code;
  }
}

TEST_F(BatchCli, DetectPrintsTheCodeTheBufferReadsEachFileIn) {
  Write(QStringLiteral("ascii"), "plain\n");
  Write(QStringLiteral("sjis"), Sjis("これは日本語の文章です。\n"));
  Write(QStringLiteral("utf8bom"), "\xEF\xBB\xBFtext\n");
  Write(QStringLiteral("utf16"), QByteArray("\xFF\xFEx\0\n\0", 6));
  Write(QStringLiteral("binary"), QByteArray("\x01\x00\x02\x00\x00\x00\xFF\xFE\x00", 9));
  const Outcome r = Run({QStringLiteral("detect"), QStringLiteral("ascii"), QStringLiteral("sjis"),
                         QStringLiteral("missing"), QStringLiteral("utf8bom"),
                         QStringLiteral("utf16"), QStringLiteral("binary")});
  EXPECT_EQ(r.status, 1);  // the missing file; the others are still read
  EXPECT_EQ(r.out, QByteArray("ASCII\tascii\nSHIFT_JIS\tsjis\nUTF-8-BOM\tutf8bom\n"
                              "UTF-16LE\tutf16\nBINARY\tbinary\n"));
  EXPECT_TRUE(QString::fromUtf8(r.err).contains(QStringLiteral("missing"))) << r.err.toStdString();
}

TEST_F(BatchCli, UsageErrorsExitTwoAndTouchNothing) {
  Write(QStringLiteral("a.txt"), "a\n");
  const auto before = Snapshot(dir_.path());
  const QStringList cases[] = {
      {},
      {QStringLiteral("replace")},
      {QStringLiteral("replace"), QStringLiteral("-x"), QStringLiteral("a.txt")},
      {QStringLiteral("convert"), QStringLiteral("a.txt")},
      {QStringLiteral("-j"), QStringLiteral("0"), QStringLiteral("replace"),
       QStringLiteral("a.txt")},
  };
  for (const QStringList& args : cases) {
    const Outcome r = Run(args);
    EXPECT_EQ(r.status, 2) << args.join(u' ').toStdString();
    EXPECT_TRUE(r.err.contains("--help"));
    EXPECT_TRUE(r.out.isEmpty());
  }
  EXPECT_EQ(Snapshot(dir_.path()), before);
  EXPECT_EQ(Run({QStringLiteral("--help")}).status, 0);
}

TEST_F(BatchCli, AnUnreadableRuleSetFailsBeforeAnyFile) {
  Write(QStringLiteral("a.txt"), "a\n");
  Write(QStringLiteral("bad.exp"), "s/a/b/\tyes\r\n");
  const Outcome r = Run({QStringLiteral("replace"), QStringLiteral("-r"), QStringLiteral("bad.exp"),
                         QStringLiteral("a.txt")});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(QString::fromUtf8(r.err).contains(QStringLiteral("1 行目")));
  EXPECT_FALSE(QFile::exists(Path(QStringLiteral("a.txt.exp"))));
}

// A list that exercises every path of a run: a failed rule on one file (the run goes on), an old
// output that no row writes, and a folder in the middle (the run ends there).
class ParallelCli : public BatchCli {
 protected:
  QStringList MakeList(const QString& folder, bool withFatal) {
    QStringList names;
    for (int i = 0; i < 40; ++i) {
      const QString name = QStringLiteral("f%1.txt").arg(i, 2, 10, QLatin1Char('0'));
      QByteArray text;
      for (int line = 0; line < 50 + i * 7; ++line) {
        text += QByteArray::number(line * i) + (i % 3 ? " cat 猫が好きです\n" : " dog\n");
      }
      QFile f(QDir(folder).filePath(name));
      EXPECT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(i % 2 ? Sjis(text.constData()) : text);
      names << name;
      if (i == 5) names << QStringLiteral("G05.TXT.EXP");  // an old output no row writes
      if (i == 25 && withFatal) names << QStringLiteral("sub");
    }
    QDir(folder).mkdir(QStringLiteral("sub"));
    QFile f(QDir(folder).filePath(QStringLiteral("G05.TXT.EXP")));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("G05 cat\n");
    return names;
  }

  // Runs the same command in two fresh copies of the list, with -j 1 and -j N.
  void ExpectSameAtEveryThreadCount(const QStringList& command, bool withFatal,
                                    int expectedStatus) {
    QTemporaryDir one, many;
    const QStringList list1 = MakeList(one.path(), withFatal);
    const QStringList listN = MakeList(many.path(), withFatal);
    const Outcome r1 =
        Run(QStringList{QStringLiteral("-j"), QStringLiteral("1")} + command + list1, one.path());
    for (const char* jobs : {"2", "3"}) {
      QTemporaryDir again;
      const QStringList list = MakeList(again.path(), withFatal);
      const Outcome rN =
          Run(QStringList{QStringLiteral("-j"), QString::fromLatin1(jobs)} + command + list,
              again.path());
      EXPECT_EQ(rN.status, r1.status) << jobs;
      EXPECT_EQ(rN.out, r1.out) << jobs;
      EXPECT_EQ(rN.err, r1.err) << jobs;
      EXPECT_EQ(Snapshot(again.path()), Snapshot(one.path())) << jobs;
    }
    EXPECT_EQ(r1.status, expectedStatus) << r1.err.toStdString();
    if (withFatal) {
      EXPECT_TRUE(QFile::exists(QDir(one.path()).filePath(QStringLiteral("f25.txt.exp"))));
      EXPECT_FALSE(QFile::exists(QDir(one.path()).filePath(QStringLiteral("f26.txt.exp"))));
      EXPECT_TRUE(QString::fromUtf8(r1.err).contains(QStringLiteral("フォルダー")))
          << r1.err.toStdString();
    }
  }
};

TEST_F(ParallelCli, ReplaceGivesTheSameOutputsAndMessagesAtAnyThreadCount) {
  ExpectSameAtEveryThreadCount(
      {QStringLiteral("replace"), QStringLiteral("-v"), QStringLiteral("-e"),
       QStringLiteral("s/(\\d+) cat/<$1>/g"), QStringLiteral("-e"), QStringLiteral("s/猫/ねこ/")},
      false, 0);
}

TEST_F(ParallelCli, AFailedRuleGoesOnAndAFolderEndsTheRunInListOrder) {
  // The second rule cannot be used: every file reports it, is still written with the first.
  ExpectSameAtEveryThreadCount(
      {QStringLiteral("replace"), QStringLiteral("-e"), QStringLiteral("s/dog/DOG/"),
       QStringLiteral("-e"), QStringLiteral("s/(/x/")},
      true, 1);
}

TEST_F(ParallelCli, ConvertStopsAtTheFolderAndLeavesNothingStagedBehind) {
  ExpectSameAtEveryThreadCount(
      {QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("euc")}, true, 1);
}

TEST_F(ParallelCli, DryRunReportsTheSameAtAnyThreadCount) {
  ExpectSameAtEveryThreadCount({QStringLiteral("replace"), QStringLiteral("-n"),
                                QStringLiteral("-e"), QStringLiteral("s/cat/CAT/g")},
                               false, 0);
}

TEST_F(BatchCli, AllFilesWrittenExitsZeroAnyFailureExitsOne) {
  Write(QStringLiteral("a.txt"), "abc\n");
  Write(QStringLiteral("u.txt"), Sjis("これは日本語の文章です。\n"));
  EXPECT_EQ(Run({QStringLiteral("replace"), QStringLiteral("-e"), QStringLiteral("s/b/B/"),
                 QStringLiteral("a.txt")})
                .status,
            0);
  EXPECT_EQ(ReadAll(Path(QStringLiteral("a.txt.exp"))), QByteArray("aBc\n"));
  // A character Shift_JIS cannot hold stops the save: reported, exit 1, nothing written.
  const Outcome r = Run({QStringLiteral("replace"), QStringLiteral("-e"),
                         QStringLiteral("s/です/😀/"), QStringLiteral("u.txt")});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(QString::fromUtf8(r.err).contains(QStringLiteral("u.txt.exp")))
      << r.err.toStdString();
  EXPECT_FALSE(QFile::exists(Path(QStringLiteral("u.txt.exp"))));
}

TEST_F(BatchCli, CollidingRowsEndTheRunBeforeAnythingIsWritten) {
  Write(QStringLiteral("z.txt"), "z\n");
  Write(QStringLiteral("memo.txt"), "memo\n");
  Write(QStringLiteral("memo.txt.exp"), "the user's own file\n");
  const auto before = Snapshot(dir_.path());
  const QByteArray message =
      "morvelle-batch: 出力先が重なるため、何も書き込まずに中止しました: 3 番目の memo.txt の出力 "
      "memo.txt.exp "
      "は 2 番目のファイル memo.txt.exp です (書き込むとそのファイルが失われます)\n";
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

TEST_F(BatchCli, ADiffPatchedOntoTheSourceGivesWhatTheRunWrites) {
  // UTF-8 files with CR LF, a missing last line end, an empty file, lines joined and split,
  // changes far apart and close together; each rule set changes something in each file.
  const std::pair<const char*, QByteArray> files[] = {
      {"crlf.txt",
       "one\r\ntwo\r\nthree\r\nfour\r\nfive\r\nsix\r\nseven\r\neight\r\nnine\r\nten\r\n"},
      {"tail.txt", "alpha\nbeta\ngamma\ndelta"},
      {"empty.txt", ""},
      {"kana.txt", "日本語の文章です。\nカタカナ\nひらがな\n"},
  };
  const QStringList rules[] = {
      {QStringLiteral("s/^/>/mg")},
      {QStringLiteral("s/o\r?\n//"), QStringLiteral("s/$/!/"), QStringLiteral("s/\\z/end\n/")},
      {QStringLiteral("s/(e)/$1\n/g"), QStringLiteral("s/カタ/ｶﾀ/")},
  };
  for (const QStringList& set : rules) {
    QStringList arguments{QStringLiteral("replace")};
    for (const QString& rule : set) arguments << QStringLiteral("-e") << rule;
    for (const auto& [name, bytes] : files) {
      const QString file = QString::fromUtf8(name);
      Write(file, bytes);
      QFile::remove(Path(file + QStringLiteral(".exp")));
      const Outcome diff = Run(arguments + QStringList{QStringLiteral("--diff"), file});
      EXPECT_EQ(diff.status, 0) << diff.err.toStdString();
      EXPECT_FALSE(QFile::exists(Path(file + QStringLiteral(".exp"))));
      Write(QStringLiteral("patch.diff"), diff.out);
      Write(QStringLiteral("copy"), bytes);
      QProcess patch;
      patch.setWorkingDirectory(dir_.path());
      patch.start(QStringLiteral("patch"),
                  {QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("patched"),
                   QStringLiteral("copy"), QStringLiteral("patch.diff")});
      ASSERT_TRUE(patch.waitForFinished());
      EXPECT_EQ(patch.exitCode(), 0) << patch.readAllStandardError().toStdString();
      ASSERT_EQ(Run(arguments + QStringList{file}).status, 0);
      EXPECT_EQ(ReadAll(Path(QStringLiteral("patched"))),
                ReadAll(Path(file + QStringLiteral(".exp"))))
          << set.join(u' ').toStdString() << " on " << name << "\n"
          << diff.out.toStdString();
      QFile::remove(Path(QStringLiteral("patched")));
    }
  }
}

TEST_F(BatchCli, ADiffOfAShiftJisFileIsShownInUtf8AndColouredOnRequest) {
  Write(QStringLiteral("s.txt"), Sjis("東京\r\n大阪\r\n"));
  const Outcome r =
      Run({QStringLiteral("replace"), QStringLiteral("--diff"), QStringLiteral("--color=always"),
           QStringLiteral("-e"), QStringLiteral("s/東京/京都/"), QStringLiteral("s.txt")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, QByteArray("\x1b[1m--- s.txt\x1b[m\n\x1b[1m+++ s.txt.exp\x1b[m\n"
                              "\x1b[36m@@ -1,2 +1,2 @@\x1b[m\n"
                              "\x1b[31m-東京\r\x1b[m\n\x1b[32m+京都\r\x1b[m\n 大阪\r\n"));
}

TEST_F(BatchCli, RecursiveWalksInByteOrderAndLeavesOutWhatWasNotAskedFor) {
  const QDir d(dir_.path());
  for (const char* folder : {"t/sub/.hid", "t/sub/deeper"}) d.mkpath(QString::fromUtf8(folder));
  for (const char* name : {"t/b.TXT", "t/a.txt", "t/.hidden.txt", "t/old.txt.exp", "t/sub/c.txt",
                           "t/sub/.hid/d.txt", "t/sub/deeper/f.txt", "t/sub/deeper/e.md"}) {
    Write(QString::fromUtf8(name), "text\n");
  }
  Write(QStringLiteral("t/bin.dat"), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0", 18));
  QFile::link(QStringLiteral("sub"), Path(QStringLiteral("t/link")));  // not followed
  auto detect = [&](const QStringList& options) {
    const Outcome r =
        Run(QStringList{QStringLiteral("detect")} + options + QStringList{QStringLiteral("t")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    return QString::fromUtf8(r.out).remove(QStringLiteral("ASCII\t")) + QString::fromUtf8(r.err);
  };
  EXPECT_EQ(detect({QStringLiteral("-Rv")}),
            QStringLiteral("t/a.txt\nt/b.TXT\nt/sub/c.txt\nt/sub/deeper/e.md\nt/sub/deeper/f.txt\n"
                           "morvelle-batch: 対象外にしたファイル: 隠しファイル 2, 出力 (.exp) 1, "
                           "バイナリ 1, 通常のファイルでないもの 1\n"));
  EXPECT_EQ(detect({QStringLiteral("-R"), QStringLiteral("--include=*.txt"),
                    QStringLiteral("--exclude"), QStringLiteral("f*"), QStringLiteral("-v")}),
            QStringLiteral("t/a.txt\nt/sub/c.txt\n"
                           "morvelle-batch: 対象外にしたファイル: 隠しファイル 2, --exclude に合う"
                           "もの 1, --include に合わないもの 4, 通常のファイルでないもの 1\n"));
  EXPECT_EQ(detect({QStringLiteral("-R"), QStringLiteral("--hidden"), QStringLiteral("--include"),
                    QStringLiteral("*.exp"), QStringLiteral("--include"), QStringLiteral("d.*")}),
            QStringLiteral("t/old.txt.exp\nt/sub/.hid/d.txt\n"));
  // Without -R a folder is a file that cannot be read, as before.
  const Outcome plain = Run({QStringLiteral("detect"), QStringLiteral("t")});
  EXPECT_EQ(plain.status, 1);
  EXPECT_EQ(plain.err, QByteArray("morvelle-batch: フォルダーは読み込めません: t\n"));
  // A walked tree is a run like any other: written beside each file, collisions refused.
  const Outcome run = Run({QStringLiteral("replace"), QStringLiteral("-R"), QStringLiteral("-e"),
                           QStringLiteral("s/text/TEXT/"), QStringLiteral("t")});
  EXPECT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_EQ(ReadAll(Path(QStringLiteral("t/sub/deeper/e.md.exp"))), QByteArray("TEXT\n"));
  EXPECT_EQ(ReadAll(Path(QStringLiteral("t/old.txt.exp"))), QByteArray("text\n"));
}

QByteArray Iconv(const char* from, const char* to, const QByteArray& bytes) {
  QProcess iconv;
  iconv.start(QStringLiteral("iconv"), {QStringLiteral("-f"), QString::fromLatin1(from),
                                        QStringLiteral("-t"), QString::fromLatin1(to)});
  iconv.waitForStarted();
  iconv.write(bytes);
  iconv.closeWriteChannel();
  iconv.waitForFinished();
  return iconv.readAllStandardOutput();
}

TEST_F(BatchCli, ConversionOptionsGiveWhatIconvGivesByteForByte) {
  // Every kind of line end, and bytes that are text in both EUC-JP and Shift_JIS.
  const QByteArray utf8 = "東京\r\nカナ\nｶﾅ\r終わり";
  Write(QStringLiteral("s.txt"), Iconv("UTF-8", "CP932", utf8));
  Write(QStringLiteral("both.txt"), "\xB0\xA1\n");
  QByteArray lf = utf8, crlf;
  lf.replace("\r\n", "\n").replace('\r', '\n');
  crlf = QByteArray(lf).replace("\n", "\r\n");
  const std::tuple<std::vector<const char*>, const char*, QByteArray> cases[] = {
      {{"--to", "utf8", "--bom", "s.txt"}, "s.txt.exp", "\xEF\xBB\xBF" + utf8},
      {{"--to", "EUC-JP", "--eol", "lf", "s.txt"}, "s.txt.exp", Iconv("UTF-8", "EUC-JP-MS", lf)},
      {{"--to", "ucs2", "--eol=crlf", "s.txt"},
       "s.txt.exp",
       "\xFF\xFE" + Iconv("UTF-8", "UTF-16LE", crlf)},
      {{"--to", "Shift_JIS", "--eol", "keep", "s.txt"}, "s.txt.exp", Iconv("UTF-8", "CP932", utf8)},
      {{"--to", "utf8", "--from", "eucjp-ms", "both.txt"},
       "both.txt.exp",
       Iconv("EUC-JP-MS", "UTF-8", "\xB0\xA1\n")},
      {{"--to", "utf8", "--from", "CP932", "both.txt"},
       "both.txt.exp",
       Iconv("CP932", "UTF-8", "\xB0\xA1\n")},
  };
  for (const auto& [words, output, expected] : cases) {
    QStringList options;
    for (const char* w : words) options << QString::fromUtf8(w);
    const Outcome r = Run(QStringList{QStringLiteral("convert")} + options);
    EXPECT_EQ(r.status, 0) << options.join(u' ').toStdString() << r.err.toStdString();
    EXPECT_EQ(ReadAll(Path(QString::fromLatin1(output))), expected)
        << options.join(u' ').toStdString();
  }
  // A file that is not text of the code given is refused, byte, line and column named.
  Write(QStringLiteral("sjis.txt"), Iconv("UTF-8", "CP932", "ok\n東京\n"));
  const Outcome refused =
      Run({QStringLiteral("replace"), QStringLiteral("--from"), QStringLiteral("utf8"),
           QStringLiteral("-e"), QStringLiteral("s/ok/OK/"), QStringLiteral("sjis.txt")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, QByteArray("morvelle-batch: 読めないバイトがあるので読み込めません: "
                                    "sjis.txt の 2 行 1 列目のバイト 0x93 (UTF-8 として)\n"));
  EXPECT_FALSE(QFile::exists(Path(QStringLiteral("sjis.txt.exp"))));
}

}  // namespace
