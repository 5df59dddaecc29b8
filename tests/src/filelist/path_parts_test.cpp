#include "filelist/path_parts.h"

#include <gtest/gtest.h>

namespace morvelle {
namespace {

struct SplitCase {
  const char* path;
  const char* separator;
  const char* folder;
  const char* name;
};

TEST(PathParts, SplitsAtTheLastSeparatorOnly) {
  const SplitCase cases[] = {
      {"/home/u/ReadMe.TXT", "/", "/home/u", "ReadMe.TXT"},
      {"/a.txt", "/", "", "a.txt"},
      {"/", "/", "", ""},
      {"/home/u/Docs/", "/", "/home/u/Docs", ""},
      {"plain", "/", "", "plain"},
      {"", "/", "", ""},
      {"a//b", "/", "a/", "b"},
      {"C:\\Docs\\ReadMe.TXT", "\\", "C:\\Docs", "ReadMe.TXT"},
      {"C:\\", "\\", "C:", ""},
      {"aXbxc", "X", "a", "bxc"},  // exact, case-sensitive comparison
      {"a::b::c", "::", "a::b", "c"},
  };
  for (const SplitCase& c : cases) {
    const QString path = QString::fromUtf8(c.path);
    const QString separator = QString::fromUtf8(c.separator);
    EXPECT_EQ(FolderPart(path, separator), QString::fromUtf8(c.folder)) << c.path;
    EXPECT_EQ(NamePart(path, separator), QString::fromUtf8(c.name)) << c.path;
  }
}

TEST(PathParts, PathsLongerThanSixteenBitPositionsStillSplit) {
  const QString folder(40000, QLatin1Char('d'));
  const QString path = folder + QStringLiteral("/x.txt");
  EXPECT_EQ(FolderPart(path, QStringLiteral("/")), folder);
  EXPECT_EQ(NamePart(path, QStringLiteral("/")), QStringLiteral("x.txt"));
}

TEST(PathParts, LowerCasingMapsLettersOnly) {
  const std::pair<const char*, const char*> cases[] = {
      {"ReadMe.TXT", "readme.txt"},
      {"ＡＢＣ.TXT", "ａｂｃ.txt"},  // full-width letters have lower-case forms too
      {"ÄÖÜ-Ω", "äöü-ω"},
      {"日本語ﾌｧｲﾙ 1_2(3).TxT", "日本語ﾌｧｲﾙ 1_2(3).txt"},
      {"already lower", "already lower"},
  };
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(LowerCaseName(QString::fromUtf8(in)), QString::fromUtf8(out)) << in;
  }
  // An escaped byte of a non-UTF-8 name stays itself, so the name keeps addressing bytes.
  const QString escaped = DecodeFileName(QByteArray("Caf\xe9\xc9.TXT"));
  EXPECT_EQ(EncodeFileName(LowerCaseName(escaped)), QByteArray("caf\xe9\xc9.txt"));
  const QString astral = QString::fromUtf8("\xf0\x90\x90\x80X");  // U+10400 DESERET CAPITAL
  EXPECT_EQ(LowerCaseName(DecodeFileName(QByteArray("\xff") + astral.toUtf8())),
            DecodeFileName(QByteArray("\xff\xf0\x90\x90\x80x")));
}

// A name that is not UTF-8 is lower-cased as characters of its own code, and shown as such: a
// byte inside a two-byte character never changes.
TEST(PathParts, LegacyNamesChangeOnlyTheirLetters) {
  struct Case {
    QByteArray name, lowered;
    const char* shown;
  };
  const Case cases[] = {
      {"X\x83X.TXT", "x\x83X.txt", "Xス.TXT"},  // Shift_JIS ス is 83 58
      {"\x83J.txt", "\x83J.txt", "カ.txt"},     // not ニ (83 6A)
      {"\x82`.TXT", "\x82\x81.txt", "Ａ.TXT"},  // full-width letters change too
      {"\xB4\xC1\xBB\xFA.TXT", "\xB4\xC1\xBB\xFA.txt", "漢字.TXT"},            // EUC-JP
      {"\xFFX\x83Y.TXT", "\xFFx\x83Y.txt", "\xEF\xBF\xBDX\xEF\xBF\xBDY.TXT"},  // no code
  };
  for (const Case& c : cases) {
    const QString name = DecodeFileName(c.name);
    EXPECT_EQ(EncodeFileName(LowerCaseName(name)), c.lowered) << c.shown;
    EXPECT_EQ(DisplayFileName(QStringLiteral("/tmp/") + name),
              QStringLiteral("/tmp/") + QString::fromUtf8(c.shown));
  }
}

TEST(PathParts, FileNameBytesSurviveDecoding) {
  const QByteArray cases[] = {
      QByteArray("/tmp/plain.txt"),
      QByteArray("/tmp/\xe6\x97\xa5\xe6\x9c\xac.txt"),          // valid UTF-8
      QByteArray("/tmp/a\xe9\xe9.txt"),                         // Latin-1
      QByteArray("/tmp/\x83\x65\x83\x4c\x83\x58\x83\x67.txt"),  // Shift_JIS
      QByteArray("/tmp/\xc0\xaf"),                              // overlong
      QByteArray("/tmp/\xed\xa0\x80x"),                         // encoded surrogate
      QByteArray("/tmp/\xe3\x81"),                              // cut short at the end
      QByteArray("/tmp/\xf4\x90\x80\x80"),                      // above U+10FFFF
  };
  for (const QByteArray& bytes : cases) {
    const QString decoded = DecodeFileName(bytes);
    EXPECT_EQ(EncodeFileName(decoded), bytes) << bytes.toHex().constData();
  }
  EXPECT_EQ(DecodeFileName(cases[1]), QString::fromUtf8(cases[1]));
  EXPECT_FALSE(DecodeFileName(cases[2]).contains(QChar::ReplacementCharacter));
  // Characters outside the BMP are a surrogate pair, never taken for an escaped byte.
  const QString emoji = QString::fromUtf8("/tmp/\xf0\x9f\x93\x84.txt");
  EXPECT_EQ(EncodeFileName(emoji), emoji.toUtf8());
}

TEST(PathParts, OnlyLocalFileUrlsGiveAPath) {
  EXPECT_EQ(LocalPathOfUrl(QUrl(QStringLiteral("file:///home/u/a b.txt"))),
            QStringLiteral("/home/u/a b.txt"));
  EXPECT_EQ(LocalPathOfUrl(QUrl(QStringLiteral("file://localhost/home/u/x"))),
            QStringLiteral("/home/u/x"));
  EXPECT_EQ(LocalPathOfUrl(QUrl::fromLocalFile(QString::fromUtf8("/tmp/日本.TXT"))),
            QString::fromUtf8("/tmp/日本.TXT"));
  EXPECT_EQ(LocalPathOfUrl(QUrl::fromEncoded("file:///tmp/a%E9.txt")),
            DecodeFileName(QByteArray("/tmp/a\xe9.txt")));
  EXPECT_FALSE(LocalPathOfUrl(QUrl(QStringLiteral("https://example.org/a.txt"))));
  EXPECT_FALSE(LocalPathOfUrl(QUrl(QStringLiteral("file://otherhost/share/a.txt"))));
  EXPECT_FALSE(LocalPathOfUrl(QUrl(QStringLiteral("file:"))));
  EXPECT_FALSE(LocalPathOfUrl(QUrl()));
  EXPECT_FALSE(LocalPathOfUrl(QUrl(QStringLiteral("file:relative/a.txt"))));
  // Would open /etc/passwd for a file that is not /etc/passwd.
  EXPECT_FALSE(LocalPathOfUrl(QUrl::fromEncoded("file:///etc/passwd%00.txt")));
}

}  // namespace
}  // namespace morvelle
