// Both batches and the rule-set save against failing file systems and hostile files, end to
// end: the user gets one Japanese message naming the file and the cause, every output is
// complete or absent, no source changes, and the window goes on working.
#include <sys/resource.h>
#include <unistd.h>

#include "fault_fixture.h"
#include "support/unwritable.h"

namespace morvelle::testing {
namespace {

const QByteArray kSjis = "\x93\x8C\x8B\x9E\x93\x73 abc\r\n";  // 東京都 abc
const QByteArray kSjisOsaka = "\x91\xE5\x8D\xE3\x93\x73 abc\r\n";
const QByteArray kUtf8 = "\xE6\x9D\xB1\xE4\xBA\xAC\xE9\x83\xBD abc\r\n";

constexpr char kDenied[] = "アクセスが拒否されました";

class FaultInjectionTest : public FaultFixture {
 protected:
  void ExpectSourcesUnchanged(const std::map<QString, QByteArray>& before) {
    const auto after = Fingerprint(data_.path());
    for (const auto& [name, hash] : before) {
      const auto it = after.find(name);
      ASSERT_NE(it, after.end()) << name.toStdString() << " vanished";
      EXPECT_EQ(it->second, hash) << name.toStdString() << " changed";
    }
  }
  // Outputs written by the run, beyond the files that were there before.
  QStringList NewEntries(const std::map<QString, QByteArray>& before) {
    QStringList names;
    for (const auto& [name, hash] : Fingerprint(data_.path())) {
      if (!before.count(name)) names << name;
    }
    return names;
  }
};

// --- Sources that cannot be read ---------------------------------------------------------

TEST_F(FaultInjectionTest, ASourceThatVanishesBeforeTheRunStopsItWithItsName) {
  const QString gone = File("b.txt", kSjis);
  Drop({File("a.txt", kSjis), gone, File("c.txt", kSjis)});
  ASSERT_TRUE(QFile::remove(gone));
  const auto before = Fingerprint(data_.path());

  Rules({QStringLiteral("s/東京/大阪/")});
  Replace();
  ExpectOneMessage(gone, QStringLiteral("見つかりません"));
  EXPECT_EQ(ReadAll(Path("a.txt.exp")), kSjisOsaka);
  EXPECT_EQ(NewEntries(before), QStringList{QStringLiteral("a.txt.exp")});

  Convert(5);
  ExpectOneMessage(gone, QStringLiteral("見つかりません"));
  EXPECT_EQ(ReadAll(Path("a.txt.exp")), kUtf8);
  EXPECT_EQ(NewEntries(before), QStringList{QStringLiteral("a.txt.exp")});
  ExpectSourcesUnchanged(before);
  ExpectStillWorking();
}

TEST_F(FaultInjectionTest, ASourceWithoutReadPermissionStopsTheRunWithItsName) {
  const QString locked = File("b.txt", kSjis, 0200);
  Drop({File("a.txt", kSjis), locked, File("c.txt", kSjis)});
  const auto before = Fingerprint(data_.path());
  {
    AsUnprivilegedUser nobody;
    if (!nobody.ok()) GTEST_SKIP() << "cannot switch to an unprivileged user here";
    Rules({QStringLiteral("s/東京/大阪/")});
    Replace();
    ExpectOneMessage(locked, QString::fromUtf8(kDenied));
    EXPECT_EQ(ReadAll(Path("a.txt.exp")), kSjisOsaka);
    Convert(5);
    ExpectOneMessage(locked, QString::fromUtf8(kDenied));
    EXPECT_EQ(ReadAll(Path("a.txt.exp")), kUtf8);
  }
  EXPECT_EQ(NewEntries(before), QStringList{QStringLiteral("a.txt.exp")});
  ExpectSourcesUnchanged(before);
  ExpectStillWorking();
}

// --- Outputs that cannot be written ------------------------------------------------------

TEST_F(FaultInjectionTest, AFolderThatRefusesNewFilesStopsEveryWriter) {
  const QString folder = Path("locked");
  ASSERT_TRUE(QDir().mkdir(folder));
  Chmod(folder, 0755);
  const QString source = folder + QStringLiteral("/a.txt");
  {
    QFile f(source);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(kSjis);
  }
  Chmod(source, 0644);
  // No one may add a file, the owner included (the tests may run as an ordinary user).
  Chmod(folder, 0555);
  struct Restore {
    QString folder;
    ~Restore() { Chmod(folder, 0755); }
  } restore{folder};
  const auto before = Fingerprint(folder);
  const QString output = source + QStringLiteral(".exp");
  const QString ruleSet = folder + QStringLiteral("/rules.exp");
  Drop({source});
  {
    AsUnprivilegedUser nobody;
    if (!nobody.ok()) GTEST_SKIP() << "cannot switch to an unprivileged user here";
    Rules({QStringLiteral("s/東京/大阪/")});
    Replace();
    ExpectOneMessage(output, QString::fromUtf8(kDenied));
    Convert(1);  // same code: a plain copy, refused all the same
    ExpectOneMessage(output, QString::fromUtf8(kDenied));
    SaveRuleSet(ruleSet);
    ExpectOneMessage(ruleSet, QString::fromUtf8(kDenied));
  }
  EXPECT_EQ(Fingerprint(folder), before);
  ExpectStillWorking();
}

TEST_F(FaultInjectionTest, AnOutputNameThatIsAFolderIsNotTouched) {
  ASSERT_TRUE(QDir().mkdir(Path("b.txt.exp")));
  ASSERT_TRUE(QDir().mkdir(Path("rules.exp")));
  File("b.txt.exp/keep", "kept");
  Drop({File("a.txt", kSjis), File("b.txt", kSjis), File("c.txt", kSjis)});
  const auto before = Fingerprint(data_.path());

  Rules({QStringLiteral("s/東京/大阪/")});
  Replace();
  ExpectOneMessage(Path("b.txt.exp"), QString());
  EXPECT_EQ(NewEntries(before), QStringList{QStringLiteral("a.txt.exp")});
  Convert(5);
  ExpectOneMessage(Path("b.txt.exp"), QString());
  SaveRuleSet(Path("rules.exp"));
  ExpectOneMessage(Path("rules.exp"), QString());

  EXPECT_EQ(ReadAll(Path("b.txt.exp/keep")), QByteArray("kept"));
  EXPECT_EQ(
      QDir(Path("rules.exp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
      QStringList());
  EXPECT_EQ(NewEntries(before), QStringList{QStringLiteral("a.txt.exp")});
  ExpectSourcesUnchanged(before);
  ExpectStillWorking();
}

TEST_F(FaultInjectionTest, ALinkAtTheOutputNameIsReplacedAndItsTargetKept) {
  QTemporaryDir elsewhere;
  const QString precious = elsewhere.filePath(QStringLiteral("precious.txt"));
  {
    QFile f(precious);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("precious");
  }
  ASSERT_TRUE(QFile::link(precious, Path("a.txt.exp")));
  ASSERT_TRUE(QFile::link(precious, Path("rules.exp")));
  const QString a = File("a.txt", kSjis);
  Drop({a});

  Rules({QStringLiteral("s/東京/大阪/")});
  Replace();
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_FALSE(QFileInfo(Path("a.txt.exp")).isSymLink());
  EXPECT_EQ(ReadAll(Path("a.txt.exp")), kSjisOsaka);

  ASSERT_TRUE(QFile::remove(Path("a.txt.exp")));
  ASSERT_TRUE(QFile::link(precious, Path("a.txt.exp")));
  Convert(5);
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_FALSE(QFileInfo(Path("a.txt.exp")).isSymLink());
  EXPECT_EQ(ReadAll(Path("a.txt.exp")), kUtf8);

  SaveRuleSet(Path("rules.exp"));
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_FALSE(QFileInfo(Path("rules.exp")).isSymLink());
  EXPECT_EQ(ReadAll(Path("rules.exp")),
            QByteArray("s/\x93\x8C\x8B\x9E/\x91\xE5\x8D\xE3/\t1\r\n\t1\r\n"));

  EXPECT_EQ(ReadAll(precious), QByteArray("precious"));
  EXPECT_EQ(ReadAll(a), kSjis);
}

TEST_F(FaultInjectionTest, AReadOnlyOutputIsRefusedNotReplaced) {
  File("b.txt.exp", "read-only", 0444);
  File("rules.exp", "read-only", 0444);
  Drop({File("a.txt", kSjis), File("b.txt", kSjis), File("c.txt", kSjis)});
  const auto before = Fingerprint(data_.path());
  {
    AsUnprivilegedUser nobody;
    if (!nobody.ok()) GTEST_SKIP() << "cannot switch to an unprivileged user here";
    Rules({QStringLiteral("s/東京/大阪/")});
    Replace();
    ExpectOneMessage(Path("b.txt.exp"), QString::fromUtf8(kDenied));
    EXPECT_EQ(ReadAll(Path("a.txt.exp")), kSjisOsaka);
    Convert(5);
    ExpectOneMessage(Path("b.txt.exp"), QString::fromUtf8(kDenied));
    EXPECT_EQ(ReadAll(Path("a.txt.exp")), kUtf8);
    SaveRuleSet(Path("rules.exp"));
    ExpectOneMessage(Path("rules.exp"), QString::fromUtf8(kDenied));
  }
  EXPECT_EQ(ReadAll(Path("b.txt.exp")), QByteArray("read-only"));
  EXPECT_EQ(ReadAll(Path("rules.exp")), QByteArray("read-only"));
  EXPECT_EQ(NewEntries(before), QStringList{QStringLiteral("a.txt.exp")});
  ExpectSourcesUnchanged(before);
  ExpectStillWorking();
}

// --- A full disk ----------------------------------------------------------------------------

TEST_F(FaultInjectionTest, AFullDiskLeavesNoPartialOutput) {
  const QString disk = Path("disk");
  ASSERT_TRUE(QDir().mkdir(disk));
  SmallDisk small(disk, 96);
  QByteArray big;
  while (big.size() < 60 * 1024) big += kSjis;
  const QString cause = small.ok() ? QStringLiteral("ディスクの空き領域が足りません")
                                   : QStringLiteral("ファイルが大きすぎます");
  auto write = [&](const char* name, const QByteArray& bytes) {
    QString path = disk + u'/' + QString::fromUtf8(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    EXPECT_EQ(f.write(bytes), bytes.size());
    return path;
  };
  const QString a = write("a.txt", kSjis);
  const QString b = write("b.txt", big);
  Drop({a, b});
  Rules({QStringLiteral("s/東京/大阪/")});
  const auto before = Fingerprint(disk);
  {
    // Without a tmpfs, a file-size limit below the big file fails its write the same way.
    std::unique_ptr<FileSizeLimit> limit;
    if (!small.ok()) limit = std::make_unique<FileSizeLimit>(16 * 1024);
    Replace();
    ExpectOneMessage(b + QStringLiteral(".exp"), cause);
    Convert(5);
    ExpectOneMessage(b + QStringLiteral(".exp"), cause);
    QStringList rules;
    RuleTable& table = window_->Rules();
    table.ClearRows();
    for (int i = 0; i < 3000; ++i) {
      table.AppendRow({1, QStringLiteral("s/東京%1/大阪/").arg(i)});
    }
    SaveRuleSet(disk + QStringLiteral("/rules.exp"));
    ExpectOneMessage(disk + QStringLiteral("/rules.exp"), cause);
  }
  const auto after = Fingerprint(disk);
  for (const auto& [name, hash] : before) EXPECT_EQ(after.at(name), hash) << name.toStdString();
  QStringList added;
  for (const auto& [name, hash] : after) {
    if (!before.count(name)) added << name;
  }
  EXPECT_EQ(added, QStringList{QStringLiteral("a.txt.exp")}) << "no half-written output";
  EXPECT_EQ(ReadAll(a + QStringLiteral(".exp")), kUtf8);
  ExpectStillWorking();
}

// --- Files that are unusual, not broken ----------------------------------------------------

TEST_F(FaultInjectionTest, AnEmptyFileGivesAnEmptyOutput) {
  const QString empty = File("empty.txt", QByteArray());
  Drop({empty});
  Rules({QStringLiteral("s/^/X/")});
  Replace();
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_EQ(ReadAll(Path("empty.txt.exp")), QByteArray("X"));
  Rules({QStringLiteral("s/a/b/")});
  Replace();
  EXPECT_EQ(ReadAll(Path("empty.txt.exp")), QByteArray());
  for (int code = 1; code <= 5; ++code) {
    Convert(code);
    EXPECT_TRUE(prompts_.messages.empty()) << code;
    EXPECT_EQ(ReadAll(Path("empty.txt.exp")), code == 4 ? QByteArray("\xFF\xFE") : QByteArray())
        << code;
  }
  EXPECT_EQ(ReadAll(empty), QByteArray());
}

TEST_F(FaultInjectionTest, ABinaryFileIsCopiedOrRefusedNeverMixedWithText) {
  QByteArray binary;
  for (int i = 0; i < 4096; ++i) binary += char((i * 7919) >> 3);
  binary.replace(100, 9, "abc東京abc");
  const QString bin = File("a.bin", binary);
  Drop({bin});
  // Its bytes are not text: no rule touches them, and the user is told so, as for a failed rule.
  Rules({QStringLiteral("s/abc/XYZ/g"), QStringLiteral("s/./!/")});
  Replace();
  ExpectOneMessage(
      QStringLiteral("バイナリファイルとして読んだので置換しません (出力は元のままです): ") + bin,
      bin);
  EXPECT_EQ(ReadAll(Path("a.bin.exp")), binary);
  ASSERT_TRUE(QFile::remove(Path("a.bin.exp")));

  Convert(5);
  ExpectOneMessage(bin, QStringLiteral("バイナリ"));
  EXPECT_FALSE(QFile::exists(Path("a.bin.exp")));
  EXPECT_EQ(ReadAll(bin), binary);
}

TEST_F(FaultInjectionTest, NulBytesInShiftJisTextAreCharacters) {
  const QByteArray text = kSjis + QByteArray("\0\0", 2) + kSjis + QByteArray(1, '\0') + kSjis;
  const QString source = File("nul.txt", text);
  Drop({source});
  Rules({QStringLiteral("s/東京/大阪/g"), QStringLiteral("s/\\x00\\x00//")});
  Replace();
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_EQ(ReadAll(Path("nul.txt.exp")),
            QByteArray(text)
                .replace("\x93\x8C\x8B\x9E", "\x91\xE5\x8D\xE3")  // 大阪
                .replace(QByteArray("\0\0", 2), ""));
  ASSERT_TRUE(QFile::remove(Path("nul.txt.exp")));
  // Converted as iconv converts it.
  Convert(5);
  EXPECT_TRUE(prompts_.messages.empty());
  const QByteArray utf8 = "東京都 abc\r\n";
  EXPECT_EQ(ReadAll(Path("nul.txt.exp")),
            utf8 + QByteArray("\0\0", 2) + utf8 + QByteArray(1, '\0') + utf8);
}

}  // namespace
}  // namespace morvelle::testing

namespace morvelle::testing {
namespace {

// --- Hostile rules and rule sets --------------------------------------------------------------

// A rule stopped by the match bound fails for that file only: its output keeps the rules before
// it, the message says which file and why, and the run goes on to the next file. (The rule ends
// in no one literal, which would be searched for first and found missing at once.)
TEST_F(FaultInjectionTest, ARuleThatExceedsTheMatchBoundFailsOneFileAndTheRunGoesOn) {
  const QString slow = File("a.txt", "\x93\x8C\x8B\x9E\r\n" + QByteArray(1 << 20, 'a'));
  const QString quick = File("c.txt", kSjis);
  Drop({slow, quick});
  Rules({QStringLiteral("s/東京/大阪/"), QStringLiteral("s/(?:a|a)*(?:d|e)//g"),
         QStringLiteral("s/abc/ABC/")});
  Replace();
  ExpectOneMessage(slow, QStringLiteral("置換を中止しました"));
  EXPECT_EQ(ReadAll(Path("a.txt.exp")), "\x91\xE5\x8D\xE3\r\n" + QByteArray(1 << 20, 'a'));
  EXPECT_EQ(ReadAll(Path("c.txt.exp")), QByteArray("\x91\xE5\x8D\xE3\x93\x73 ABC\r\n"));
  ExpectStillWorking();
}

// Loading a file that is not a rule set says which file and line is wrong and keeps the table.
TEST_F(FaultInjectionTest, AHostileRuleSetFileLeavesTheTableAsItWas) {
  QByteArray binary;
  for (int i = 0; i < 512; ++i) binary += char(i * 31);
  const struct {
    const char* name;
    QByteArray bytes;
    const char* cause;
  } files[] = {
      {"binary.exp", binary, "行目"},
      {"flag.exp", "s/a/b/\t1\r\ns/c/d/\t1e9\r\n", "2 行目"},
      {"huge-flag.exp", "s/a/b/\t99999999999999999999\r\n", "1 行目"},
  };
  Rules({QStringLiteral("s/keep/me/")});
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    const QString path = File(f.name, f.bytes);
    prompts_.answers.push_back(path);
    window_->Command4->click();
    ExpectOneMessage(path, QString::fromUtf8(f.cause));
    EXPECT_EQ(window_->Rules().RowCount(), 2);
    EXPECT_EQ(window_->Rules().RuleAt(0).expression, QStringLiteral("s/keep/me/"));
  }
  // A missing and an empty file: the first says so, the second is an empty rule set.
  prompts_.answers.push_back(Path("missing.exp"));
  window_->Command4->click();
  ExpectOneMessage(Path("missing.exp"), QStringLiteral("見つかりません"));
  prompts_.answers.push_back(File("empty.exp", QByteArray()));
  window_->Command4->click();
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_EQ(window_->Rules().RowCount(), 1);
}

// --- A very large file -----------------------------------------------------------------------

// 300 MB of Shift_JIS lines with one marked line at the end: one rule changes the mark, and the
// conversion turns the whole file into UTF-8. Both outputs are checked whole, by hash.
TEST_F(FaultInjectionTest, AThreeHundredMegabyteFileIsProcessedWhole) {
  constexpr qint64 kLines = 300'000'000 / 12;
  const QByteArray tail = "\x8F\x49\x92\x5B\r\n";  // 終端
  const QString source = Path("big.txt");
  QCryptographicHash sourceHash(QCryptographicHash::Sha256);
  QCryptographicHash replacedHash(QCryptographicHash::Sha256);
  QCryptographicHash utf8Hash(QCryptographicHash::Sha256);
  {
    QFile f(source);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const QByteArray block = kSjis.repeated(1 << 16);
    const QByteArray utf8Block = kUtf8.repeated(1 << 16);
    for (qint64 done = 0; done < kLines; done += 1 << 16) {
      ASSERT_EQ(f.write(block), block.size());
      sourceHash.addData(block);
      replacedHash.addData(block);
      utf8Hash.addData(utf8Block);
    }
    f.write(tail);
    sourceHash.addData(tail);
    replacedHash.addData(QByteArrayView("END\r\n"));
    utf8Hash.addData(QByteArrayView("\xE7\xB5\x82\xE7\xAB\xAF\r\n"));
  }
  Drop({source});
  Rules({QStringLiteral("s/終端/END/")});
  Replace();
  ASSERT_TRUE(prompts_.messages.empty()) << prompts_.messages[0].text.toStdString();
  EXPECT_EQ(Hash(Path("big.txt.exp")), replacedHash.result().toHex());
  Convert(5);
  ASSERT_TRUE(prompts_.messages.empty()) << prompts_.messages[0].text.toStdString();
  EXPECT_EQ(Hash(Path("big.txt.exp")), utf8Hash.result().toHex());
  EXPECT_EQ(Hash(source), sourceHash.result().toHex());
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf("[ memory ] peak %ld MiB for a %lld MB file\n", usage.ru_maxrss / 1024,
              QFileInfo(source).size() / 1'000'000);
}

}  // namespace
}  // namespace morvelle::testing
