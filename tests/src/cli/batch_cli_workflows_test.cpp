// morvelle-batch's workflows: a diff before writing, folder trees, conversion options.
#include <gtest/gtest.h>

#include <fstream>

#include "batch_cli_fixture.h"

namespace {

using namespace morvelle::testing;

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

// Names unpacked from a Windows archive are Shift_JIS bytes: the output name lower-cases the
// letters only, never the second byte of a character (ス is 83 58), and names no other file.
TEST_F(BatchCli, ALegacyNameKeepsItsCharactersInItsOutputName) {
  const QByteArray folder = QFile::encodeName(dir_.path()) + "/w";
  ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("w"))));
  for (const QByteArray& name :
       {QByteArray("X\x83X.TXT"), QByteArray("\x83J.txt"), QByteArray("\x83j.txt")}) {
    std::ofstream((folder + "/" + name).toStdString()) << "text\n";
  }
  const Outcome r = Run({QStringLiteral("replace"), QStringLiteral("-R"), QStringLiteral("-e"),
                         QStringLiteral("s/text/TEXT/"), QStringLiteral("w")});
  EXPECT_EQ(r.status, 0) << r.err.toStdString();
  for (const QByteArray& output :
       {QByteArray("x\x83X.txt.exp"), QByteArray("\x83J.txt.exp"), QByteArray("\x83j.txt.exp")}) {
    std::ifstream in((folder + "/" + output).toStdString());
    std::string line;
    EXPECT_TRUE(std::getline(in, line) && line == "TEXT") << output.toStdString();
  }
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
