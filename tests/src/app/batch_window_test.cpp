// "置換" and "文字コード変換" end to end: the real window, the real components, real files in
// a temporary folder; message boxes answered by the test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "app/combo_box.h"
#include "app/frm_main.h"
#include "app/module1.h"
#include "app/tab_control.h"
#include "rulegrid/rule_grid.h"
#include "services/editor_buffer_impl.h"
#include "services/service_error.h"
#include "services/settings_file_service_impl.h"
#include "services/text_service_factory.h"
#include "status/frm_status.h"
#include "status/twips.h"
#include "support/failing_buffer.h"
#include "support/fake_prompts.h"
#include "support/fake_text_service.h"

namespace morvelle {
namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QByteArray Hash(const QString& path) {
  return QCryptographicHash::hash(ReadAll(path), QCryptographicHash::Sha256);
}

class BatchWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { Start(MakeTextServiceFactory()); }

  void Start(TextServiceFactory textService, EditorBufferFactory buffers = MakeEditorBuffer) {
    window_.reset();
    module1_ = std::make_unique<Module1>(
        ComponentFactories{std::move(textService), MakeSettingsFileService, std::move(buffers)});
    ASSERT_TRUE(QFile::copy(QStringLiteral(MORVELLE_CLIP_PATH),
                            appDir_.filePath(QStringLiteral("FileFind.avi"))) ||
                QFile::exists(appDir_.filePath(QStringLiteral("FileFind.avi"))));
    module1_->AppDir = appDir_.path() + u'/';
    window_ = std::make_unique<frmMain>(*module1_, prompts_);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    window_->runHooks.statusShown = [this](frmStatus& status) {
      statuses_.push_back(&status);
      shownGeometry_ = status.geometry();
      shownMessage_ = status.Label1()->text();
      shownAviPath_ = status.AviPath();
    };
  }

  QString File(const char* name, const QByteArray& bytes) {
    QString path = data_.filePath(QString::fromUtf8(name));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
  }

  void Drop(const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    data.setUrls(urls);
    window_->ListView1_OLEDragDrop(&data);
  }

  void Rules(std::initializer_list<std::pair<int, QString>> rows) {
    RuleTable& table = window_->Rules();
    table.ClearRows();
    for (const auto& [flag, expression] : rows) table.AppendRow({QVariant(flag), expression});
    table.AppendRow({QVariant(1), QString()});
  }

  QString Out(const char* name) const { return data_.filePath(QString::fromUtf8(name)); }

  QTemporaryDir appDir_;
  QTemporaryDir data_;
  testing::FakePrompts prompts_;
  std::unique_ptr<Module1> module1_;
  std::unique_ptr<frmMain> window_;
  std::vector<QPointer<frmStatus>> statuses_;
  QRect shownGeometry_;
  QString shownMessage_;
  QString shownAviPath_;
};

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

// --- Failures -----------------------------------------------------------------------------

TEST_F(BatchWindowTest, ABadRuleInTheMiddleGivesOneMessagePerFileAndTheRunGoesOn) {
  Drop({File("a.txt", "aaa"), File("b.txt", "aba")});
  Rules({{1, QStringLiteral("s/a/1/g")},
         {1, QStringLiteral("s/(/x/")},
         {1, QStringLiteral("s/b/2/")}});
  window_->Command2->click();
  ASSERT_EQ(prompts_.messages.size(), 2u);
  EXPECT_TRUE(prompts_.messages[0].text.contains(Out("a.txt")));
  EXPECT_TRUE(prompts_.messages[1].text.contains(Out("b.txt")));
  EXPECT_EQ(prompts_.messages[0].icon, MessageIcon::None);
  EXPECT_EQ(ReadAll(Out("a.txt.exp")), QByteArray("111"));
  EXPECT_EQ(ReadAll(Out("b.txt.exp")), QByteArray("1b1"));
}

TEST_F(BatchWindowTest, ATextServiceThatFailsEveryCallLeavesEveryFileUnchanged) {
  Start([]() -> std::unique_ptr<TextService> {
    throw ServiceError(QStringLiteral("テキストサービスを作成できません。"));
  });
  Drop({File("a.txt", "abc"), File("b.txt", "def")});
  Rules({{1, QStringLiteral("s/a/b/")}});
  window_->Command2->click();
  ASSERT_EQ(prompts_.messages.size(), 2u);
  EXPECT_TRUE(
      prompts_.messages[0].text.startsWith(QStringLiteral("テキストサービスを作成できません。")));
  EXPECT_EQ(ReadAll(Out("a.txt.exp")), QByteArray("abc"));
  EXPECT_EQ(ReadAll(Out("b.txt.exp")), QByteArray("def"));
}

TEST_F(BatchWindowTest, AFolderRowEndsTheRunAndKeepsEarlierOutputs) {
  ASSERT_TRUE(QDir(data_.path()).mkdir(QStringLiteral("old")));
  Drop({File("a.txt", "a"), Out("old"), File("c.txt", "c")});
  Rules({{1, QStringLiteral("s/a/b/")}});
  window_->Command2->click();
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_TRUE(prompts_.messages[0].text.contains(Out("old")))
      << prompts_.messages[0].text.toStdString();
  EXPECT_EQ(ReadAll(Out("a.txt.exp")), QByteArray("b"));
  EXPECT_FALSE(QFile::exists(Out("c.txt.exp")));
  EXPECT_TRUE(statuses_.at(0).isNull()) << "the status window is closed after an error too";
}

TEST_F(BatchWindowTest, AMissingClipShowsOneMessageAndTouchesNoFile) {
  ASSERT_TRUE(QFile::remove(appDir_.filePath(QStringLiteral("FileFind.avi"))));
  Drop({File("a.txt", "a")});
  Rules({{1, QStringLiteral("s/a/b/")}});
  window_->Command2->click();
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_TRUE(prompts_.messages[0].text.contains(QStringLiteral("FileFind.avi")));
  EXPECT_FALSE(QFile::exists(Out("a.txt.exp")));
  EXPECT_TRUE(statuses_.empty()) << "never shown";
  window_->Combo1->setCurrentIndex(0);
  window_->Command6->click();
  EXPECT_EQ(prompts_.messages.size(), 2u);
  EXPECT_FALSE(QFile::exists(Out("a.txt.exp")));
}

TEST_F(BatchWindowTest, AnOutputThatIsAFolderEndsTheRunWithoutPartialFiles) {
  ASSERT_TRUE(QDir(data_.path()).mkdir(QStringLiteral("b.txt.exp")));
  Drop({File("a.txt", "a"), File("b.txt", "b"), File("c.txt", "c")});
  Rules({{1, QStringLiteral("s/./X/")}});
  window_->Command2->click();
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_TRUE(prompts_.messages[0].text.contains(Out("b.txt.exp")));
  EXPECT_EQ(ReadAll(Out("a.txt.exp")), QByteArray("X"));
  EXPECT_FALSE(QFile::exists(Out("c.txt.exp")));
  const QStringList files = QDir(data_.path()).entryList(QDir::Files | QDir::Hidden);
  EXPECT_EQ(files, (QStringList{QStringLiteral("a.txt"), QStringLiteral("a.txt.exp"),
                                QStringLiteral("b.txt"), QStringLiteral("c.txt")}));
}

TEST_F(BatchWindowTest, AnOutputThatCannotBeWrittenEndsEitherRunWithItsMessage) {
  // A disk that refuses the first write, without root or a locked folder: the doubles fail it.
  const QString refused = QStringLiteral("ファイルを書き込めません: %1 (アクセスが拒否されました)");
  testing::FakeTextService* converter = nullptr;  // the last made: the shared one, at the end
  Start(
      [&converter, refused, this]() -> std::unique_ptr<TextService> {
        auto fake = std::make_unique<testing::FakeTextService>(testing::LiteralRule);
        fake->failConversionAt = 1;
        fake->conversionFailure = refused.arg(Out("a.txt.exp"));
        converter = fake.get();
        return fake;
      },
      [refused, this] {
        auto buffer = std::make_unique<testing::FailingBuffer>();
        buffer->failWriteAt = 1;
        buffer->failure = [refused, this] { throw ServiceError(refused.arg(Out("a.txt.exp"))); };
        return buffer;
      });
  Drop({File("a.txt", "abc"), File("b.txt", "abc")});
  Rules({{1, QStringLiteral("s/a/b/")}});
  window_->Command2->click();
  window_->Combo1->setCurrentIndex(4);
  window_->Command6->click();
  EXPECT_EQ(prompts_.messages.size(), 2u);
  for (const auto& message : prompts_.messages) {
    EXPECT_EQ(message.text, refused.arg(Out("a.txt.exp")));
  }
  EXPECT_EQ(converter->conversions.size(), 1u);  // the run ended at the first file
  EXPECT_FALSE(QFile::exists(Out("b.txt.exp")));
}

TEST_F(BatchWindowTest, RunningOutOfMemoryEndsTheRunWithAMessageAndTheProgramGoesOn) {
  class Exhausted : public EditorBuffer {
   public:
    void LoadFile(const QString&) override { throw std::bad_alloc(); }
    QStringView Text() const override { return {}; }
    void SetText(const QString&) override {}
    void ApplyEdits(const TextEdits&) override {}
    void SaveFile(const QString&) override {}
    void CheckSave(const QString&) const override {}
    QString LoadedText() const override { return {}; }
    std::vector<TextEdit> Changes() const override { return {}; }
    std::function<void()> StageSave(const QString&) override { return {}; }
  };
  Start(MakeTextServiceFactory(), [] { return std::make_unique<Exhausted>(); });
  Drop({File("a.txt", "a")});
  Rules({{1, QStringLiteral("s/a/b/")}});
  window_->Command2->click();
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text, QStringLiteral("メモリが足りないため処理を中止しました。"));
  EXPECT_TRUE(statuses_.at(0).isNull());
  EXPECT_FALSE(QFile::exists(Out("a.txt.exp")));
  window_->Combo1->setCurrentIndex(4);  // the window still runs the other batch
  window_->Command6->click();
  EXPECT_EQ(ReadAll(Out("a.txt.exp")), QByteArray("a"));
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

// --- The status window --------------------------------------------------------------------

TEST_F(BatchWindowTest, StatusWindowIsPlacedBesideTheMainWindowAndClosedAfterTheRun) {
  window_->Command2->click();  // an empty list: the window shows for up to a second
  ASSERT_EQ(statuses_.size(), 1u);
  EXPECT_EQ(shownGeometry_.topLeft() - QPoint(0, 0),
            window_->frameGeometry().topLeft() + QPoint(Twips(200), Twips(200)));
  EXPECT_EQ(shownMessage_, QStringLiteral("ただ今置換を行っています。"));
  EXPECT_EQ(shownAviPath_, module1_->AppDir + QStringLiteral("FileFind.avi"));
  EXPECT_TRUE(statuses_[0].isNull());
  EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(BatchWindowTest, ASecondClickDuringTheSettleWaitRunsAtOnce) {
  Drop({File("a.txt", "a")});
  Rules({{1, QStringLiteral("s/a/b/")}});
  bool clicked = false;
  auto shown = window_->runHooks.statusShown;
  window_->runHooks.statusShown = [&](frmStatus& status) {
    shown(status);
    if (clicked) return;
    clicked = true;
    QTimer::singleShot(0, window_->Command2, &QPushButton::click);
  };
  window_->Command2->click();
  EXPECT_EQ(statuses_.size(), 2u);
  for (const auto& s : statuses_) EXPECT_TRUE(s.isNull());
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_EQ(ReadAll(Out("a.txt.exp")), QByteArray("b"));
}

// --- Closing the program during a run ------------------------------------------------------

// The close arrives as the window system delivers it, during the settle wait or between the two
// files. The window goes away once the run has returned (never while the run still uses it),
// the file written before the close stays whole, nothing else is written, no temporary file
// stays and nothing is said.
TEST_F(BatchWindowTest, ClosingTheWindowEndsEitherBatchCleanly) {
  struct Case {
    const char* what;
    bool convert;
    bool betweenFiles;
    QByteArray firstOutput;
  };
  const Case cases[] = {
      {"replacement, settle wait", false, false, "<missing>"},
      {"replacement, between files", false, true, "X"},
      {"conversion, settle wait", true, false, "<missing>"},
      {"conversion, between files", true, true, "a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Start(MakeTextServiceFactory());
    window_->setAttribute(Qt::WA_DeleteOnClose);  // as the program makes it
    for (const QString& f : QDir(data_.path()).entryList(QDir::Files | QDir::Hidden)) {
      QFile::remove(data_.filePath(f));
    }
    Drop({File("a.txt", "a"), File("b.txt", "b")});
    Rules({{1, QStringLiteral("s/./X/")}});
    window_->Combo1->setCurrentIndex(4);
    auto closeTheWindow = [window = window_->windowHandle()] {
      QCoreApplication::postEvent(window, new QCloseEvent());
    };
    if (c.betweenFiles) {
      window_->runHooks.betweenFiles = closeTheWindow;
    } else {
      window_->runHooks.statusShown = [closeTheWindow](frmStatus&) { closeTheWindow(); };
    }
    const QPointer<frmMain> window = window_.release();
    (c.convert ? window->Command6 : window->Command2)->click();

    ASSERT_FALSE(window.isNull()) << "deleted while the run was on the stack";
    EXPECT_FALSE(window->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull()) << "closing deletes the program's window";
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_EQ(ReadAll(Out("a.txt.exp")), c.firstOutput);
    QStringList expected = {QStringLiteral("a.txt"), QStringLiteral("b.txt")};
    if (c.betweenFiles) expected.insert(1, QStringLiteral("a.txt.exp"));
    EXPECT_EQ(QDir(data_.path()).entryList(QDir::Files | QDir::Hidden), expected);
  }
}

// --- Rule sets through the window -----------------------------------------------------------

// U+301C would be saved as 81 60 and load back as U+FF5E, another rule. The save says how to
// write it; so written, the rule is saved, loads back the same and replaces U+301C.
TEST_F(BatchWindowTest, ARuleSetIsSavedOnlyAsRulesThatLoadBackTheSame) {
  const QString saved = data_.filePath(QStringLiteral("wave.exp"));
  Rules({{1, QStringLiteral("s/〜/~/g")}});
  window_->Command3->click();
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(
      prompts_.messages[0].text,
      QStringLiteral("1:  s/〜/~/g\r\nこの条件は設定ファイルに保存できません。\r\n"
                     "U+301C (〜) は Shift_JIS で保存すると U+FF5E (～) として読み込まれます。"
                     "\\x{301C} と書いてください。"));
  EXPECT_EQ(prompts_.messages[0].icon, MessageIcon::Critical);
  EXPECT_TRUE(prompts_.dialogs.empty());

  Rules({{1, QStringLiteral("s/\\x{301C}/~/g")}});
  prompts_.answers = {saved, saved};
  window_->Command3->click();
  EXPECT_EQ(ReadAll(saved), QByteArray("s/\\x{301C}/~/g\t1\r\n\t1\r\n"));
  Rules({});
  window_->Command4->click();
  EXPECT_EQ(window_->Rules().RowValues(0)[1].toString(), QStringLiteral("s/\\x{301C}/~/g"));

  Drop({File("w.txt", "\xE3\x80\x9C\xEF\xBD\x9E\n")});  // 〜～ in UTF-8
  window_->Command2->click();
  EXPECT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(ReadAll(Out("w.txt.exp")), QByteArray("~\xEF\xBD\x9E\n"));
}

}  // namespace
}  // namespace morvelle
