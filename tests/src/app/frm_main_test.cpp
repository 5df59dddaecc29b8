// The main window as a user meets it: layout, captions, the code list and the rule grid,
// driven through the same handlers and events a click reaches.
#include "app/frm_main.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "adapters/settings_file_service_impl.h"
#include "app/combo_box.h"
#include "app/module1.h"
#include "app/tab_control.h"
#include "filelist/list_view.h"
#include "rulegrid/rule_grid.h"
#include "status/twips.h"
#include "support/fake_prompts.h"

namespace morvelle {
namespace {

class RecordingMain : public frmMain {
 public:
  using frmMain::frmMain;
  int popups = 0;

 protected:
  void ShowPopup(PopupSource source, const QPoint& globalPos) override {
    ++popups;
    frmMain::ShowPopup(source, globalPos);
    mnuPop->hide();
  }
};

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest()
      : module1_({[] { return std::unique_ptr<TextService>(); },
                  [] { return std::unique_ptr<SettingsFileService>(); },
                  [] { return std::unique_ptr<EditorBuffer>(); }}) {}

  void SetUp() override {
    window_ = std::make_unique<RecordingMain>(module1_, prompts_);
    window_->show();
    QApplication::setActiveWindow(window_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }

  RuleTable& rules() { return window_->Rules(); }

  // The first key opens the cell's editor, which then has the keyboard focus.
  void TypeIntoGrid(const QString& text) {
    QTest::keyClick(window_->DataTable1, text.at(0).toLatin1());
    QTest::keyClicks(QApplication::focusWidget(), text.mid(1));
  }

  void ClickCell(int row, int column, Qt::MouseButton button = Qt::LeftButton) {
    rulegrid::RuleGrid* grid = window_->DataTable1;
    const QRect cell = grid->visualRect(grid->model()->index(row, column));
    QTest::mouseClick(grid->viewport(), button, Qt::NoModifier, cell.center());
  }

  void ShowRulesPage() {
    window_->SSTab1->setCurrentIndex(1);
    QApplication::processEvents();
  }

  Module1 module1_;
  testing::FakePrompts prompts_;
  std::unique_ptr<RecordingMain> window_;
};

TEST_F(MainWindowTest, WindowIsFixedWithItsCaptionAndClientArea) {
  EXPECT_EQ(window_->windowTitle(), QStringLiteral("Morvelle"));
  EXPECT_EQ(window_->size(), QSize(618, 522));
  EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
  const Qt::WindowFlags flags = window_->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
}

TEST_F(MainWindowTest, EveryControlSitsAtItsTwipsOnItsPage) {
  frmMain& w = *window_;
  QWidget* page0 = w.SSTab1->page(0);
  QWidget* page1 = w.SSTab1->page(1);
  struct Case {
    QWidget* control;
    QWidget* parent;
    QRect twips;
  };
  const Case cases[] = {
      {w.SSTab1, &w, {120, 120, 9015, 7695}},       {w.Label1, page0, {600, 480, 4455, 375}},
      {w.ListView1, page0, {360, 960, 8415, 5775}}, {w.Combo1, page0, {480, 6960, 2295, 300}},
      {w.Command6, page0, {3000, 6960, 1695, 495}}, {w.Command1, page0, {7320, 6960, 1575, 495}},
      {w.Label2, page1, {360, 480, 6495, 255}},     {w.DataTable1, page1, {240, 840, 8415, 6015}},
      {w.Command2, page1, {360, 6960, 1095, 495}},  {w.Command5, page1, {4560, 6960, 1095, 495}},
      {w.Command3, page1, {5760, 6960, 1095, 495}}, {w.Command4, page1, {6960, 6960, 1695, 495}},
  };
  for (const Case& c : cases) {
    const QRect expected = TwipsRect(c.twips.x(), c.twips.y(), c.twips.width(), c.twips.height());
    EXPECT_EQ(c.control->geometry(), expected) << c.control->metaObject()->className();
    EXPECT_EQ(c.control->parentWidget(), c.parent) << c.control->metaObject()->className();
  }
  // Pages share the tab control's coordinates, strip included.
  EXPECT_EQ(page0->geometry(), QRect(QPoint(0, 0), w.SSTab1->size()));
  EXPECT_EQ(page1->geometry(), QRect(QPoint(0, 0), w.SSTab1->size()));
}

TEST_F(MainWindowTest, TabsTakeHalfTheWidthEachAndTheGivenHeight) {
  QTabBar* bar = window_->SSTab1->tabBar();
  ASSERT_EQ(bar->count(), 2);
  EXPECT_EQ(bar->tabText(0), QStringLiteral("ファイルを設定"));
  EXPECT_EQ(bar->tabText(1), QStringLiteral("置換の設定"));
  EXPECT_NEAR(bar->tabRect(0).width(), window_->SSTab1->width() / 2.0, 1);
  EXPECT_NEAR(bar->tabRect(1).width(), window_->SSTab1->width() / 2.0, 1);
  EXPECT_EQ(bar->tabRect(0).height(), Twips(520));
}

TEST_F(MainWindowTest, CaptionsReadCharacterForCharacter) {
  frmMain& w = *window_;
  EXPECT_EQ(w.Label1->text(), QStringLiteral("編集するファイルをドロップしてください。"));
  EXPECT_EQ(w.Label2->text(),
            QStringLiteral("正規表現の置換条件を入力してください。(例：　s/ABC/XYZ/g)"));
  EXPECT_EQ(w.Command6->text(), QStringLiteral("文字コード変換"));
  EXPECT_EQ(w.Command1->text(), QStringLiteral("リセット"));
  EXPECT_EQ(w.Command2->text(), QStringLiteral("置換"));
  EXPECT_EQ(w.Command5->text(), QStringLiteral("リセット"));
  EXPECT_EQ(w.Command3->text(), QStringLiteral("設定を保存"));
  EXPECT_EQ(w.Command4->text(), QStringLiteral("設定を読み込む"));
  ASSERT_EQ(w.mnuPop->actions().size(), 1);
  EXPECT_EQ(w.mnuPopDel->text(), QStringLiteral("削除"));
  const QAbstractItemModel* m = w.DataTable1->model();
  EXPECT_EQ(m->headerData(0, Qt::Horizontal).toString(), QStringLiteral("有効"));
  EXPECT_EQ(m->headerData(1, Qt::Horizontal).toString(), QStringLiteral("置換文字/条件"));
}

TEST_F(MainWindowTest, CaptionsFitTheirControls) {
  frmMain& w = *window_;
  for (QPushButton* b : {w.Command1, w.Command2, w.Command3, w.Command4, w.Command5, w.Command6}) {
    EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text()), b->width()) << b->text().toStdString();
  }
  for (QLabel* l : {w.Label1, w.Label2}) {
    EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), l->width()) << l->text().toStdString();
  }
}

TEST_F(MainWindowTest, FocusFollowsTheLayoutOrder) {
  frmMain& w = *window_;
  // Labels take no focus and drop out of the chain, as do the helpers that are not widgets.
  const QList<QWidget*> expected = {w.SSTab1->tabBar(), w.ListView1, w.Command1, w.DataTable1,
                                    w.Command2,         w.Command3,  w.Command4, w.Command5,
                                    w.Combo1,           w.Command6};
  QList<QWidget*> seen;
  QWidget* at = expected.front();
  for (int guard = 0; guard < 500 && seen.size() < expected.size(); ++guard) {
    if (expected.contains(at) && !seen.contains(at)) seen << at;
    at = at->nextInFocusChain();
  }
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(w.Label1->focusPolicy(), Qt::NoFocus);
}

TEST_F(MainWindowTest, CodeListHoldsTheFiveCodesNoneSelected) {
  CodeComboBox* combo = window_->Combo1;
  const QStringList texts = {QStringLiteral("SHIFT JIS"), QStringLiteral("EUC"),
                             QStringLiteral("JIS"), QStringLiteral("UNICODE UCS2"),
                             QStringLiteral("UNICODE UTF8")};
  ASSERT_EQ(combo->count(), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(combo->itemText(i), texts[i]);
    EXPECT_EQ(combo->itemData(i).toInt(), i + 1);
  }
  EXPECT_TRUE(combo->isEditable());
  EXPECT_EQ(combo->currentIndex(), -1);
  EXPECT_TRUE(combo->currentText().isEmpty());

  combo->setCurrentIndex(2);
  EXPECT_EQ(combo->currentData().toInt(), 3);
}

TEST_F(MainWindowTest, TypingIntoTheCodeListSelectsNothing) {
  CodeComboBox* combo = window_->Combo1;
  combo->setFocus();
  QTest::keyClicks(combo->lineEdit(), QStringLiteral("JIS"));
  QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(combo->currentIndex(), -1);
  EXPECT_EQ(combo->count(), 5);
  EXPECT_EQ(combo->currentText(), QStringLiteral("JIS"));
  window_->Command6->setFocus();  // leaving the field does not pick the entry either
  EXPECT_EQ(combo->currentIndex(), -1);

  // Editing the text of a chosen entry drops the choice too.
  combo->setCurrentIndex(0);
  QTest::keyClick(combo->lineEdit(), Qt::Key_Backspace);
  EXPECT_EQ(combo->currentIndex(), -1);
  EXPECT_EQ(combo->currentText(), QStringLiteral("SHIFT JI"));
  EXPECT_EQ(combo->count(), 5);
}

TEST_F(MainWindowTest, SwitchingPagesShowsOnlyThatPageAndRunsNothing) {
  frmMain& w = *window_;
  EXPECT_EQ(w.SSTab1->currentIndex(), 0);
  EXPECT_TRUE(w.ListView1->isVisible());
  EXPECT_FALSE(w.DataTable1->isVisible());
  QTest::mouseClick(w.SSTab1->tabBar(), Qt::LeftButton, Qt::NoModifier,
                    w.SSTab1->tabBar()->tabRect(1).center());
  EXPECT_EQ(w.SSTab1->currentIndex(), 1);
  EXPECT_TRUE(w.DataTable1->isVisible());
  EXPECT_FALSE(w.ListView1->isVisible());
  QTest::mouseClick(w.SSTab1->tabBar(), Qt::LeftButton, Qt::NoModifier,
                    w.SSTab1->tabBar()->tabRect(0).center());
  EXPECT_TRUE(w.ListView1->isVisible());
  EXPECT_EQ(rules().RowCount(), 1);
  EXPECT_EQ(w.Combo1->currentIndex(), -1);
  EXPECT_TRUE(prompts_.messages.empty());
}

// --- The rule table -------------------------------------------------------------------------

TEST_F(MainWindowTest, StartsWithTheSpareRowOnly) {
  ASSERT_EQ(rules().RowCount(), 1);
  EXPECT_EQ(rules().RuleAt(0).flag, 1);
  EXPECT_EQ(rules().RuleAt(0).expression, QString());
  EXPECT_EQ(rules().CurrentRow(), -1);
  EXPECT_FALSE(rules().HasCurrentCell());
}

TEST_F(MainWindowTest, ResetLeavesOneSpareRow) {
  for (int i = 0; i < 5; ++i) rules().AppendRow({i, QStringLiteral("s/%1/x/").arg(i)});
  window_->Command5->click();
  ASSERT_EQ(rules().RowCount(), 1);
  EXPECT_EQ(rules().RuleAt(0).flag, 1);
  EXPECT_TRUE(rules().RuleAt(0).expression.isEmpty());
}

TEST_F(MainWindowTest, EnteringTheSpareRowOfTheStartTableAddsNoRow) {
  ShowRulesPage();
  ClickCell(0, 1);
  EXPECT_EQ(rules().RowCount(), 1);
  EXPECT_EQ(rules().CurrentRow(), 0);
}

TEST_F(MainWindowTest, WritingTheSpareRowAddsOneMovingAndDeletingLeaveOne) {
  ShowRulesPage();
  ClickCell(0, 1);
  TypeIntoGrid(QStringLiteral("s/a/b/"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);  // from the open editor
  ASSERT_EQ(rules().RowCount(), 2);
  EXPECT_EQ(rules().RuleAt(0).expression, QStringLiteral("s/a/b/"));
  EXPECT_EQ(rules().CurrentRow(), 1);

  // Leaving the spare row and entering it again, by keys and by clicks, adds nothing.
  QTest::keyClick(window_->DataTable1, Qt::Key_Up);
  QTest::keyClick(window_->DataTable1, Qt::Key_Down);
  ClickCell(0, 1);
  ClickCell(1, 1);
  ClickCell(0, 1);
  EXPECT_EQ(rules().RowCount(), 2);

  // Deleting the rule leaves the spare row alone.
  ClickCell(0, 1, Qt::RightButton);
  ASSERT_EQ(window_->popups, 1);
  window_->mnuPopDel->trigger();
  ASSERT_EQ(rules().RowCount(), 1);
  EXPECT_TRUE(rules().RuleAt(0).expression.isEmpty());
}

TEST_F(MainWindowTest, BeforeRowActionRefusesOnlyTheLastRow) {
  rules().AppendRow({1, QStringLiteral("s/a/b/")});
  rules().AppendRow({1, QString()});
  int cancel = 0;
  window_->DataTable1_BeforeRowAction(2, cancel);
  EXPECT_EQ(cancel, 1);
  cancel = 0;
  window_->DataTable1_BeforeRowAction(1, cancel);
  EXPECT_EQ(cancel, 0);
  cancel = -7;
  window_->DataTable1_BeforeRowAction(0, cancel);
  EXPECT_EQ(cancel, -7);  // comes back as it came
}

TEST_F(MainWindowTest, MenuOpensOnARightPressAboveTheSpareRowOnly) {
  ShowRulesPage();
  rules().AppendRow({1, QStringLiteral("s/a/b/")});  // rows: spare, rule
  rules().AppendRow({1, QString()});
  rules().SetCurrentRow(2);
  ClickCell(0, 1, Qt::RightButton);
  EXPECT_EQ(window_->popups, 0) << "current cell on the last row";
  EXPECT_EQ(rules().CurrentRow(), 2) << "a right press does not move the current cell";

  rules().SetCurrentRow(1);
  ClickCell(2, 1, Qt::LeftButton);
  EXPECT_EQ(window_->popups, 0) << "a left press never opens it";
  rules().SetCurrentRow(1);
  ClickCell(2, 1, Qt::RightButton);
  EXPECT_EQ(window_->popups, 1);
  EXPECT_EQ(window_->popupSource(), frmMain::PopupSource::RuleGrid);
}

TEST_F(MainWindowTest, GridDeleteRemovesTheCurrentRuleButNotTheSpareRow) {
  ShowRulesPage();
  rules().ClearRows();
  rules().AppendRow({1, QStringLiteral("s/a/b/")});
  rules().AppendRow({0, QStringLiteral("s/c/d/")});
  rules().AppendRow({1, QString()});
  rules().SetCurrentRow(0);
  ClickCell(1, 1, Qt::RightButton);
  ASSERT_EQ(window_->popups, 1);
  window_->mnuPopDel->trigger();
  ASSERT_EQ(rules().RowCount(), 2);
  EXPECT_EQ(rules().RuleAt(0).expression, QStringLiteral("s/c/d/"));

  rules().SetCurrentRow(1);  // the spare row: the menu does not open, and a delete is refused
  ClickCell(1, 1, Qt::RightButton);
  EXPECT_EQ(window_->popups, 1);
  EXPECT_FALSE(window_->DataTable1->requestDeleteRow(1));
  EXPECT_EQ(rules().RowCount(), 2);
}

TEST_F(MainWindowTest, DeleteLeavesExactlyOneBlankSpareRow) {
  ShowRulesPage();
  const QString a = QStringLiteral("s/a/b/"), b = QStringLiteral("s/c/d/");
  struct Case {
    QStringList rules;  // the spare row follows
    int deleted;
    QStringList left;
  };
  const Case cases[] = {
      {{a}, 0, {}},
      {{a, b}, 1, {a}},
      {{a, b}, 0, {b}},
  };
  for (const Case& c : cases) {
    rules().ClearRows();
    for (const QString& rule : c.rules) rules().AppendRow({1, rule});
    rules().AppendRow({1, QString()});
    rules().SetCurrentRow(c.deleted);
    ClickCell(c.deleted, 1, Qt::RightButton);
    window_->mnuPopDel->trigger();

    QStringList left;
    for (int row = 0; row + 1 < rules().RowCount(); ++row) left << rules().RuleAt(row).expression;
    EXPECT_EQ(left, c.left) << c.rules.join(u' ').toStdString() << " - row " << c.deleted;
    EXPECT_TRUE(rules().RuleAt(rules().RowCount() - 1).expression.isEmpty());
    // The current cell is left on a rule, or on none at all.
    EXPECT_LT(rules().CurrentRow(), rules().RowCount() - 1);
  }
}

TEST_F(MainWindowTest, ValueStillBeingTypedIsCommitted) {
  ShowRulesPage();
  ClickCell(0, 1);
  TypeIntoGrid(QStringLiteral("s/x/y/"));
  EXPECT_TRUE(rules().RuleAt(0).expression.isEmpty());
  rules().CommitEdit();
  EXPECT_EQ(rules().RuleAt(0).expression, QStringLiteral("s/x/y/"));
}

TEST_F(MainWindowTest, FlagCheckBoxKeepsALoadedValueUntilToggled) {
  rules().ClearRows();
  rules().AppendRow({5, QStringLiteral("s/a/b/")});
  const QModelIndex flag = window_->DataTable1->model()->index(0, 0);
  EXPECT_EQ(flag.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
  EXPECT_EQ(rules().RuleAt(0).flag, 5);
  window_->DataTable1->model()->setData(flag, Qt::Unchecked, Qt::CheckStateRole);
  EXPECT_EQ(rules().RuleAt(0).flag, 0);
  window_->DataTable1->model()->setData(flag, Qt::Checked, Qt::CheckStateRole);
  EXPECT_EQ(rules().RuleAt(0).flag, 1);
}

// --- The file list through the main window's handlers ------------------------------------------

class FileListHandlersTest : public MainWindowTest {
 protected:
  void DropFiles(int count) {
    QMimeData data;
    QList<QUrl> urls;
    for (int i = 0; i < count; ++i) {
      const QString path = dir_.filePath(QStringLiteral("F%1.txt").arg(i + 1));
      QFile f(path);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      urls << QUrl::fromLocalFile(path);
    }
    data.setUrls(urls);
    window_->ListView1_OLEDragDrop(&data);
  }
  QStringList Names() {
    QStringList names;
    for (const TargetEntry& e : window_->Targets().Model().Entries()) names << e.FileName;
    return names;
  }
  void Select(std::initializer_list<int> rows) {
    QItemSelectionModel& selection = window_->Targets().Selection();
    selection.clearSelection();
    for (int row : rows) {
      selection.select(window_->Targets().Model().index(row, 0),
                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
  }
  void Press(Qt::MouseButton button) {
    QTest::mousePress(window_->ListView1->viewport(), button, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseRelease(window_->ListView1->viewport(), button, Qt::NoModifier, QPoint(5, 5));
  }

  QTemporaryDir dir_;
};

TEST_F(FileListHandlersTest, DeleteFromTheListMenuRemovesTheSelectedRowsInOrder) {
  DropFiles(5);
  Select({1, 2, 4});
  Press(Qt::RightButton);
  ASSERT_EQ(window_->popups, 1);
  EXPECT_EQ(window_->popupSource(), frmMain::PopupSource::FileList);
  window_->mnuPopDel->trigger();
  EXPECT_EQ(Names(), (QStringList{QStringLiteral("f1.txt"), QStringLiteral("f4.txt")}));
  EXPECT_EQ(rules().RowCount(), 1) << "the rule table is not touched";
}

TEST_F(FileListHandlersTest, TheMenuNeedsARightPressAndASelection) {
  DropFiles(2);
  Select({});
  Press(Qt::RightButton);
  EXPECT_EQ(window_->popups, 0);
  Select({0});
  Press(Qt::LeftButton);
  EXPECT_EQ(window_->popups, 0);
}

TEST_F(FileListHandlersTest, ResetEmptiesTheListAndImagesKeepGrowing) {
  DropFiles(2);
  const int highest = window_->Targets().Model().Entries().back().IconIndex;
  window_->Command1->click();
  EXPECT_TRUE(Names().isEmpty());
  window_->Command1->click();  // on an empty list: nothing
  DropFiles(1);
  EXPECT_GT(window_->Targets().Model().Entries().back().IconIndex, highest);
}

// An installation the user cannot write to: "設定を保存" opens in the user's folder under
// XDG_DATA_HOME, and the save makes it.
TEST(RuleSetSaveFromTheWindow, MakesTheUsersFolderUnderXdgDataHome) {
  QTemporaryDir dir;
  const QString own = dir.filePath(QStringLiteral("data/morvelle/ExpFile"));
  struct Environment {
    QByteArray saved = qgetenv("XDG_DATA_HOME");
    bool was = qEnvironmentVariableIsSet("XDG_DATA_HOME");
    ~Environment() { was ? qputenv("XDG_DATA_HOME", saved) : qunsetenv("XDG_DATA_HOME"); }
  } restore;
  qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
  Module1 module1({[] { return std::unique_ptr<TextService>(); }, MakeSettingsFileService,
                   [] { return std::unique_ptr<EditorBuffer>(); }});
  module1.AppDir = dir.filePath(QStringLiteral("app")) + u'/';  // no ExpFile there
  testing::FakePrompts prompts;
  frmMain window(module1, prompts);
  window.show();
  prompts.answers.push_back(own + QStringLiteral("/set.exp"));
  window.Command3->click();
  ASSERT_EQ(prompts.dialogs.size(), 1u);
  EXPECT_EQ(prompts.dialogs[0].initialFolder, own);
  EXPECT_TRUE(prompts.messages.empty());
  EXPECT_TRUE(QFileInfo(own + QStringLiteral("/set.exp")).isFile());
}

}  // namespace
}  // namespace morvelle
