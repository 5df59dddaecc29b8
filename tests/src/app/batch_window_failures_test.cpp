// The batches through the window when something goes wrong: failing files and services, the
// status window, closing the program mid-run, and rule sets that would not load back the same.
#include "batch_window_fixture.h"

namespace morvelle {
namespace {

using namespace testing;

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
    UnreadableBytes Unreadable() const override { return {}; }
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
  EXPECT_EQ(window_->Rules().RuleAt(0).expression, QStringLiteral("s/\\x{301C}/~/g"));

  Drop({File("w.txt", "\xE3\x80\x9C\xEF\xBD\x9E\n")});  // 〜～ in UTF-8
  window_->Command2->click();
  EXPECT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(ReadAll(Out("w.txt.exp")), QByteArray("~\xEF\xBD\x9E\n"));
}

}  // namespace
}  // namespace morvelle
