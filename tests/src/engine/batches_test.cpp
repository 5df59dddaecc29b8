// The batches on real files with the real file buffer, and a text service the test controls.
#include "engine/batches.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "adapters/editor_buffer_impl.h"
#include "support/fake_text_service.h"
#include "support/recording_sink.h"
#include "support/vector_targets.h"

namespace morvelle::engine {
namespace {

using testing::FakeTextService;

using testing::RecordingSink;

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class BatchTest : public ::testing::Test {
 protected:
  QString Write(const char* name, const QByteArray& bytes) {
    QString path = dir_.filePath(QString::fromUtf8(name));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    targets_.sources << path;
    return path;
  }

  BatchResult Replace(const QStringList& rules, TextServiceFactory factory = {}) {
    if (!factory) {
      factory = [this] {
        ++servicesMade_;
        return std::make_unique<FakeTextService>(testing::LiteralRule);
      };
    }
    return ReplaceAll(rules, targets_, *buffer_, factory, sink_);
  }

  QTemporaryDir dir_;
  testing::VectorTargets targets_;
  std::unique_ptr<EditorBuffer> buffer_ = MakeEditorBuffer();
  RecordingSink sink_;
  int servicesMade_ = 0;
};

TEST(EnabledRules, TakesNonZeroFlagsWithExpressionsInRowOrder) {
  const std::vector<Rule> rules{{1, QStringLiteral("s/a/b/")},
                                {0, QStringLiteral("s/off/x/")},
                                {-4, QStringLiteral(" s/c/d/")},
                                {1, QString()},
                                {7, QStringLiteral("s/e/f/")}};
  EXPECT_EQ(EnabledRulesOf(rules), (QStringList{QStringLiteral("s/a/b/"), QStringLiteral(" s/c/d/"),
                                                QStringLiteral("s/e/f/")}));
}

TEST_F(BatchTest, RulesApplyInOrderEachOnThePreviousResult) {
  const QString a = Write("a.txt", "x and x\n");
  const BatchResult r = Replace({QStringLiteral("s/x/y/"), QStringLiteral("s/y/z/")});
  EXPECT_EQ(ReadAll(a + QStringLiteral(".exp")), QByteArray("z and z\n"));
  EXPECT_EQ(r.written, 1);
  EXPECT_TRUE(sink_.messages.isEmpty());
  EXPECT_EQ(ReadAll(a), QByteArray("x and x\n"));  // the source is never written
}

TEST_F(BatchTest, NoRulesCopiesEveryFileByteForByte) {
  const QByteArray sjis = "\x93\x8C\x8B\x9E\r\n\x82\xA0\x87\x40\xED\x40\n\xFF\x80";
  const QByteArray euc = "\xC5\xEC\xB5\xFE\n";
  const QString a = Write("sjis.txt", sjis);
  const QString b = Write("euc.txt", euc);
  const QString c = Write("empty.txt", QByteArray());
  const BatchResult r = Replace({});
  EXPECT_EQ(r.written, 3);
  EXPECT_EQ(ReadAll(a + QStringLiteral(".exp")), sjis);
  EXPECT_EQ(ReadAll(b + QStringLiteral(".exp")), euc);
  EXPECT_TRUE(QFile::exists(c + QStringLiteral(".exp")));
  EXPECT_EQ(servicesMade_, 0) << "no text service without enabled rules";
}

TEST_F(BatchTest, EditsKeepEveryOtherByteOfAShiftJisFile) {
  // 東京 and 大阪 in CP932 around an undecodable byte pair; only the matched word changes.
  const QString a = Write("m.txt", "\x93\x8C\x8B\x9E \xFF\xFF x\r\n");
  const BatchResult r = Replace({QStringLiteral("s/x/\u5927\u962A/")});
  EXPECT_EQ(ReadAll(a + QStringLiteral(".exp")),
            QByteArray("\x93\x8C\x8B\x9E \xFF\xFF \x91\xE5\x8D\xE3\r\n"));
  // The kept bytes are told, and fail the file as a rule would, though every rule applied.
  ASSERT_EQ(sink_.messages.size(), 1);
  EXPECT_TRUE(
      sink_.messages[0].startsWith(QStringLiteral("読めないバイトは置換せず元のまま残します")));
  EXPECT_EQ(r.failures, 1);
  EXPECT_EQ(r.written, 1);
}

TEST_F(BatchTest, AFailedRuleIsReportedPerFileAndTheRunGoesOn) {
  const QString a = Write("a.txt", "aaa");
  const QString b = Write("b.txt", "bab");
  const BatchResult r =
      Replace({QStringLiteral("s/a/1/"), QStringLiteral("bad("), QStringLiteral("s/b/2/")});
  ASSERT_EQ(sink_.messages.size(), 2);
  EXPECT_TRUE(sink_.messages[0].contains(a));
  EXPECT_TRUE(sink_.messages[1].contains(b));
  EXPECT_TRUE(sink_.messages[0].startsWith(QStringLiteral("正規表現を解釈できません: bad(")));
  // Saved with the rules before the failing one; the one after it is skipped.
  EXPECT_EQ(ReadAll(a + QStringLiteral(".exp")), QByteArray("111"));
  EXPECT_EQ(ReadAll(b + QStringLiteral(".exp")), QByteArray("b1b"));
  EXPECT_EQ(r.written, 2);
  EXPECT_FALSE(r.stopped);
  EXPECT_EQ(servicesMade_, 2) << "a fresh text service for each file";
}

TEST_F(BatchTest, AServiceThatCannotBeMadeLeavesEveryFileUnchanged) {
  const QString a = Write("a.txt", "abc");
  const QString b = Write("b.txt", "def");
  const BatchResult r = Replace({QStringLiteral("s/a/b/")}, []() -> std::unique_ptr<TextService> {
    throw ServiceError(QStringLiteral("テキストサービスを作成できません。"));
  });
  ASSERT_EQ(sink_.messages.size(), 2);
  EXPECT_EQ(ReadAll(a + QStringLiteral(".exp")), QByteArray("abc"));
  EXPECT_EQ(ReadAll(b + QStringLiteral(".exp")), QByteArray("def"));
  EXPECT_EQ(r.written, 2);
}

TEST_F(BatchTest, AFolderRowEndsTheRunAndKeepsEarlierOutputs) {
  const QString a = Write("a.txt", "a");
  const QString folder = dir_.filePath(QStringLiteral("sub"));
  ASSERT_TRUE(QDir().mkdir(folder));
  targets_.sources << folder;
  const QString c = Write("c.txt", "c");
  const BatchResult r = Replace({QStringLiteral("s/a/b/")});
  ASSERT_EQ(sink_.messages.size(), 1);
  EXPECT_TRUE(sink_.messages[0].contains(folder)) << sink_.messages[0].toStdString();
  EXPECT_TRUE(r.stopped);
  EXPECT_EQ(ReadAll(a + QStringLiteral(".exp")), QByteArray("b"));
  EXPECT_FALSE(QFile::exists(c + QStringLiteral(".exp")));
  EXPECT_FALSE(QFile::exists(folder + QStringLiteral(".exp")));
}

TEST_F(BatchTest, AVanishedSourceEndsTheRunWithItsName) {
  const QString gone = dir_.filePath(QStringLiteral("gone.txt"));
  targets_.sources << gone;
  Replace({});
  ASSERT_EQ(sink_.messages.size(), 1);
  EXPECT_TRUE(sink_.messages[0].contains(gone));
  EXPECT_FALSE(QFile::exists(gone + QStringLiteral(".exp")));
}

TEST_F(BatchTest, AnOutputThatIsAFolderEndsTheRunAndLeavesNoTemporaryFile) {
  const QString a = Write("a.txt", "abc");
  ASSERT_TRUE(QDir().mkdir(a + QStringLiteral(".exp")));
  const BatchResult r = Replace({QStringLiteral("s/a/b/")});
  ASSERT_EQ(sink_.messages.size(), 1);
  EXPECT_TRUE(sink_.messages[0].contains(a + QStringLiteral(".exp")));
  EXPECT_TRUE(r.stopped);
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList{QStringLiteral("a.txt")});
}

TEST_F(BatchTest, ConversionCallsTheServiceInListOrderAndStopsAtAFailure) {
  const QString a = Write("a.txt", "a");
  const QString b = Write("b.txt", "b");
  FakeTextService service(testing::LiteralRule);
  BatchResult r = ConvertAll(targets_, CharacterCode::Jis, service, sink_);
  ASSERT_EQ(service.conversions.size(), 2u);
  EXPECT_EQ(service.conversions[0],
            std::make_tuple(a, a + QStringLiteral(".exp"), CharacterCode::Jis));
  EXPECT_EQ(service.conversions[1],
            std::make_tuple(b, b + QStringLiteral(".exp"), CharacterCode::Jis));
  EXPECT_EQ(r.written, 2);

  class Failing : public FakeTextService {
   public:
    Failing() : FakeTextService(testing::LiteralRule) {}
    void ConvertFile(const QString& s, const QString&, CharacterCode,
                     const ConvertOptions&) override {
      throw ServiceError(QStringLiteral("変換できません: ") + s);
    }
  } failing;
  r = ConvertAll(targets_, CharacterCode::ShiftJis, failing, sink_);
  ASSERT_EQ(sink_.messages.size(), 1);
  EXPECT_EQ(sink_.messages[0], QStringLiteral("変換できません: ") + a);
  EXPECT_TRUE(r.stopped);
  EXPECT_EQ(r.written, 0);
}

}  // namespace
}  // namespace morvelle::engine
