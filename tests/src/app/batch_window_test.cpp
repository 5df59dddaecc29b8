// The batches through the window: where outputs go, how rules apply, and each conversion.
#include "batch_window_fixture.h"

namespace morvelle {
namespace {

using namespace testing;

// --- Outputs ------------------------------------------------------------------------------

TEST_F(BatchWindowTest, OutputIsTheLowerCasedNameWithExpBesideTheSource) {
  const QString memo = File("Memo.TXT", "ABC abc\r\n");
  const QByteArray before = Hash(memo);
  Drop({memo});
  Rules({{1, QStringLiteral("s/abc/xyz/gi")}});
  window_->Command2->click();
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_EQ(ReadAll(Out("memo.txt.exp")), QByteArray("xyz xyz\r\n"));
  EXPECT_EQ(Hash(memo), before);

  // An old output dropped alone gets ".exp" twice; a second run writes the same output again.
  window_->Command1->click();
  Drop({Out("memo.txt.exp")});
  window_->Command2->click();
  EXPECT_EQ(ReadAll(Out("memo.txt.exp.exp")), QByteArray("xyz xyz\r\n"));

  // Beside its own source, the old output would be written over: nothing is written at all.
  Rules({{1, QStringLiteral("s/abc/123/")}});
  window_->Command1->click();
  Drop({memo, Out("memo.txt.exp")});
  window_->Command2->click();
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text,
            QStringLiteral("出力先が重なるため、何も書き込まずに中止しました: 1 番目の %1 の出力 "
                           "%2 は 2 番目のファイル %2 です (書き込むとそのファイルが失われます)")
                .arg(memo, Out("memo.txt.exp")));
  EXPECT_EQ(ReadAll(Out("memo.txt.exp")), QByteArray("xyz xyz\r\n"));
  EXPECT_EQ(ReadAll(Out("memo.txt.exp.exp")), QByteArray("xyz xyz\r\n"));
  EXPECT_EQ(Hash(memo), before);
}

TEST_F(BatchWindowTest, NoEnabledRuleCopiesEachFileUnchanged) {
  const QByteArray sjis = "\x93\x8C\x8B\x9E\r\n\x82\xA0\xED\x40\n";
  const QByteArray euc = "\xC5\xEC\xB5\xFE\r\n";
  Drop({File("s.txt", sjis), File("e.txt", euc)});
  Rules({{0, QStringLiteral("s/./X/g")}, {1, QString()}});
  window_->Command2->click();
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_EQ(ReadAll(Out("s.txt.exp")), sjis);
  EXPECT_EQ(ReadAll(Out("e.txt.exp")), euc);
}

// --- Rules --------------------------------------------------------------------------------

TEST_F(BatchWindowTest, RulesRunInOrderAndOnlyEnabledOnesCount) {
  Drop({File("a.txt", "x-q-w\n")});
  Rules({{1, QStringLiteral("s/x/y/")},
         {0, QStringLiteral("s/q/Q/")},
         {1, QString()},
         {-9, QStringLiteral("s/y/z/")},
         {1, QStringLiteral("s/w/\\U$&/")}});
  window_->Command2->click();
  EXPECT_EQ(ReadAll(Out("a.txt.exp")), QByteArray("z-q-W\n"));
  EXPECT_EQ(module1_->EnabledRules, (QStringList{QStringLiteral("s/x/y/"), QStringLiteral("s/y/z/"),
                                                 QStringLiteral("s/w/\\U$&/")}));
}

TEST_F(BatchWindowTest, AValueStillBeingTypedTakesPart) {
  Drop({File("a.txt", "東京\n")});
  window_->SSTab1->setCurrentIndex(1);
  QApplication::setActiveWindow(window_.get());
  rulegrid::RuleGrid* grid = window_->DataTable1;
  grid->setFocus();
  grid->setCurrentIndex(grid->model()->index(0, 1));
  QTest::keyClick(grid, 's');  // opens the cell's editor
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(editor, nullptr);
  editor->insert(QStringLiteral("/東京/大阪/"));  // what an input method delivers
  window_->Command2->click();
  EXPECT_EQ(QString::fromUtf8(ReadAll(Out("a.txt.exp"))), QStringLiteral("大阪\n"));
}

TEST_F(BatchWindowTest, JapaneseFilesKeepTheirCodeThroughARule) {
  // 東京都 in Shift_JIS and EUC-JP; the rule replaces 東京 by 大阪 in each file's own code.
  Drop(
      {File("s.txt", "\x93\x8C\x8B\x9E\x93\x73\r\n"), File("e.txt", "\xC5\xEC\xB5\xFE\xC5\xD4\n")});
  Rules({{1, QStringLiteral("s/東京/大阪/g")}});
  window_->Command2->click();
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_EQ(ReadAll(Out("s.txt.exp")), QByteArray("\x91\xE5\x8D\xE3\x93\x73\r\n"));
  EXPECT_EQ(ReadAll(Out("e.txt.exp")), QByteArray("\xC2\xE7\xBA\xE5\xC5\xD4\n"));
}

// --- Conversion ---------------------------------------------------------------------------

TEST_F(BatchWindowTest, NoSelectedCodeConvertsNothingAndSaysNothing) {
  Drop({File("a.txt", "abc")});
  window_->Command6->click();
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_FALSE(QFile::exists(Out("a.txt.exp")));
  EXPECT_EQ(statuses_.size(), 1u);
  EXPECT_FALSE(module1_->HasSharedTextService());
}

TEST_F(BatchWindowTest, EachCodeFromShiftJisAndFromEucJp) {
  // 東京 CR LF abc CR LF: the same text in both sources.
  const QString sjis = File("S.txt", "\x93\x8C\x8B\x9E\r\nabc\r\n");
  const QString euc = File("E.txt", "\xC5\xEC\xB5\xFE\r\nabc\r\n");
  const QByteArray expected[] = {
      QByteArray("\x93\x8C\x8B\x9E\r\nabc\r\n"),
      QByteArray("\xC5\xEC\xB5\xFE\r\nabc\r\n"),
      QByteArray("\x1B\x24\x42\x45\x6C\x35\x7E\x1B\x28\x42\r\nabc\r\n"),
      QByteArray("\xFF\xFE\x71\x67\xAC\x4E\x0D\x00\x0A\x00\x61\x00\x62\x00\x63\x00\x0D\x00\x0A\x00",
                 20),
      QByteArray("\xE6\x9D\xB1\xE4\xBA\xAC\r\nabc\r\n"),
  };
  Drop({sjis, euc});
  for (int code = 1; code <= 5; ++code) {
    window_->Combo1->setCurrentIndex(code - 1);
    window_->Command6->click();
    ASSERT_TRUE(prompts_.messages.empty()) << prompts_.messages[0].text.toStdString();
    EXPECT_EQ(ReadAll(Out("s.txt.exp")), expected[code - 1]) << "code " << code;
    EXPECT_EQ(ReadAll(Out("e.txt.exp")), expected[code - 1]) << "code " << code;
  }
}

TEST_F(BatchWindowTest, AFailedConversionEndsTheRun) {
  Drop({File("a.txt", "abc"), File("bin.dat", QByteArray("\x00\x01\x02\xFF\x00\x00", 6)),
        File("c.txt", "c")});
  window_->Combo1->setCurrentIndex(4);
  window_->Command6->click();
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_TRUE(prompts_.messages[0].text.contains(Out("bin.dat")));
  EXPECT_EQ(ReadAll(Out("a.txt.exp")), QByteArray("abc"));
  EXPECT_FALSE(QFile::exists(Out("bin.dat.exp")));
  EXPECT_FALSE(QFile::exists(Out("c.txt.exp")));
}

}  // namespace
}  // namespace morvelle
