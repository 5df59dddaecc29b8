// morvelle-batch run as a user runs it: each command, the exit status, -j in list order.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "batch_cli_fixture.h"

namespace {

using namespace morvelle::testing;

TEST_F(BatchCli, ReplaceAppliesRuleSetRulesThenExpressionsAndKeepsTheSource) {
  // A rule set as the window saves it: CP932, CR LF, a disabled row, the spare row.
  Write(QStringLiteral("set.exp"), Sjis("s/猫/犬/g\t1\r\ns/犬/狼/\t0\r\ns/a/b/g\t-2\r\n\t1\r\n"));
  // ヂ and ァ end in the bytes of "a" and "@": no rule may touch them.
  const QByteArray source = Sjis("猫 and a cat\r\n半角ｶﾅ ヂァ@\r\n");
  Write(QStringLiteral("Memo.TXT"), source);

  const Outcome r =
      Run({QStringLiteral("replace"), QStringLiteral("-r"), QStringLiteral("set.exp"),
           QStringLiteral("-e"), QStringLiteral("s/犬/DOG/"), QStringLiteral("-e"),
           QStringLiteral("s/@/at/g"), QStringLiteral("-v"), QStringLiteral("Memo.TXT")});
  EXPECT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_TRUE(r.err.isEmpty());
  // Rule-set rules first, then -e: 猫→犬, a→b, then 犬→DOG and @→at.
  EXPECT_EQ(ReadAll(Path(QStringLiteral("memo.txt.exp"))),
            Sjis("DOG bnd b cbt\r\n半角ｶﾅ ヂァat\r\n"));
  EXPECT_EQ(ReadAll(Path(QStringLiteral("Memo.TXT"))), source);
  EXPECT_EQ(QString::fromUtf8(r.out),
            QStringLiteral("Memo.TXT\n\t1\ts/猫/犬/g\n\t3\ts/a/b/g\n\t1\ts/犬/DOG/\n"
                           "\t1\ts/@/at/g\n"));
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
  // A socket cannot even be opened; it is said to be no regular file, as a FIFO is.
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray socketPath = QFile::encodeName(Path(QStringLiteral("sock")));
  ASSERT_LT(size_t(socketPath.size()), sizeof address.sun_path);
  std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
  ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  const Outcome r =
      Run({QStringLiteral("detect"), QStringLiteral("ascii"), QStringLiteral("sjis"),
           QStringLiteral("missing"), QStringLiteral("utf8bom"), QStringLiteral("utf16"),
           QStringLiteral("binary"), QStringLiteral("sock")});
  ::close(sock);
  EXPECT_EQ(r.status, 1);  // the missing file; the others are still read
  EXPECT_EQ(r.out, QByteArray("ASCII\tascii\nSHIFT_JIS\tsjis\nUTF-8-BOM\tutf8bom\n"
                              "UTF-16LE\tutf16\nBINARY\tbinary\n"));
  EXPECT_EQ(
      QString::fromUtf8(r.err),
      QStringLiteral("morvelle-batch: ファイルを開けません: missing (ファイルまたはフォルダーが"
                     "見つかりません)\n"
                     "morvelle-batch: 通常のファイルではないので読み込めません: sock\n"));
}

TEST_F(BatchCli, DetectWithFromNamesTheGivenCodeOrTheFirstByteItCannotRead) {
  Write(QStringLiteral("euc"), "\xC6\xFC\xCB\xDC\n");  // 日本
  Write(QStringLiteral("utf8"), "\xE6\x97\xA5\xE6\x9C\xAC\n");
  const Outcome r = Run({QStringLiteral("--from"), QStringLiteral("euc"), QStringLiteral("detect"),
                         QStringLiteral("euc"), QStringLiteral("utf8")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, QByteArray("EUC-JP\teuc\n"));
  EXPECT_TRUE(QString::fromUtf8(r.err).startsWith(
      QStringLiteral("morvelle-batch: 読めないバイトがあります: utf8 の 1 行 1 列目のバイト 0xE6")))
      << r.err.toStdString();
}

TEST_F(BatchCli, UsageErrorsExitTwoAndTouchNothing) {
  Write(QStringLiteral("a.txt"), "a\n");
  const auto before = Snapshot(dir_.path());
  const QStringList cases[] = {
      {},
      {QStringLiteral("replace")},
      {QStringLiteral("replace"), QStringLiteral("-x"), QStringLiteral("a.txt")},
      {QStringLiteral("replace"), QStringLiteral("--bo\ngus"), QStringLiteral("a.txt")},
      {QStringLiteral("convert"), QStringLiteral("a.txt")},
      {QStringLiteral("-j"), QStringLiteral("0"), QStringLiteral("replace"),
       QStringLiteral("a.txt")},
  };
  for (const QStringList& args : cases) {
    const Outcome r = Run(args);
    EXPECT_EQ(r.status, 2) << args.join(u' ').toStdString();
    EXPECT_TRUE(r.err.contains("--help"));
    EXPECT_TRUE(r.out.isEmpty());
    // Every line named after the program, as every other message is.
    for (const QByteArray& line : r.err.chopped(1).split('\n')) {
      EXPECT_TRUE(line.startsWith("morvelle-batch: ")) << line.toStdString();
    }
  }
  // Without -e or -r every file would only be copied.
  const Outcome noRules = Run({QStringLiteral("replace"), QStringLiteral("a.txt")});
  EXPECT_EQ(noRules.status, 2);
  EXPECT_EQ(QString::fromUtf8(noRules.err),
            QStringLiteral("morvelle-batch: replace には -r か -e で置換条件を指定してください\n"
                           "morvelle-batch: 詳しくは morvelle-batch --help\n"));
  EXPECT_EQ(Snapshot(dir_.path()), before);
  EXPECT_EQ(Run({QStringLiteral("--help")}).status, 0);
}

TEST_F(BatchCli, OutsideAJapaneseLocaleHelpAndMessagesAreInEnglishAlone) {
  locale_ = QStringLiteral("C");
  Write(QStringLiteral("a.txt"), "a\n");
  const Outcome help = Run({QStringLiteral("--help")});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.startsWith("Usage:\n")) << help.out.left(40).toStdString();
  EXPECT_FALSE(QString::fromUtf8(help.out).contains(QStringLiteral("使い方")));

  const Outcome usage =
      Run({QStringLiteral("replace"), QStringLiteral("--bogus"), QStringLiteral("a.txt")});
  EXPECT_EQ(usage.status, 2);
  EXPECT_EQ(usage.err, QByteArray("morvelle-batch: Unknown option: \"--bogus\"\n"
                                  "morvelle-batch: See morvelle-batch --help\n"));

  // The engine's message, the expression's from the substitution component, and the file
  // buffer's with the system's cause.
  const Outcome r = Run({QStringLiteral("replace"), QStringLiteral("-e"), QStringLiteral("s/a/b/e"),
                         QStringLiteral("a.txt"), QStringLiteral("missing")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, QByteArray("morvelle-batch: Cannot use the expression at character 7: flag e "
                              "(run the replacement as code) is not supported (file: a.txt)\n"
                              "morvelle-batch: Cannot open the file: missing (No such file or "
                              "folder)\n"));
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

}  // namespace
