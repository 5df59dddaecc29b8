// The rule table over the grid's model, driven as a user drives it: keys and clicks in the grid,
// and the procedures the main window's handlers call, with Qt's model checker attached.
#include "rules/grid_rule_table.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTest>
#include <random>

#include "rules/rule_rows.h"
#include "rules/rule_set_file.h"
#include "support/fake_prompts.h"
#include "support/fake_text_service.h"

namespace morvelle::rules {
namespace {

// A rule-set file that holds whatever lines the test puts in it.
class ScriptedFiles : public SettingsFileService {
 public:
  QStringList lines;
  QStringList ReadLines(const QString&) override { return lines; }
  void WriteLines(const QString&, const QStringList&) override {}
  QStringList MakeFolder(const QString&) override { return {}; }
  void RemoveEmptyFolders(const QStringList&) override {}
  std::optional<Unstorable> FirstUnstorable(const QString&) const override { return {}; }
};

class SpareRowTest : public ::testing::Test {
 protected:
  SpareRowTest()
      : table_(grid_),
        tester_(grid_.gridModel(), QAbstractItemModelTester::FailureReportingMode::Fatal),
        text_([](const QString&, const QString& text) { return text; }),
        context_{table_,
                 prompts_,
                 [this]() -> TextService& { return text_; },
                 [this]() -> SettingsFileService& { return files_; },
                 [] {
                   const QString folder = QStringLiteral("/app/ExpFile");
                   return RuleSetFolders{folder, folder, {}};
                 },
                 fileName_} {
    // What the main window does with the grid's notifications.
    QObject::connect(&grid_, &rulegrid::RuleGrid::rowEntered, &grid_,
                     [this](int row) { RowEntered(table_, row); });
    QObject::connect(&grid_, &rulegrid::RuleGrid::beforeRowAction, &grid_,
                     [this](int row, int* cancel) { BeforeRowAction(table_, row, *cancel); });
    ResetRules(table_);  // as the window starts
  }

  const rulegrid::RuleGridModel& model() const { return *grid_.gridModel(); }
  int last() const { return model().rowCount() - 1; }

  static QString RuleText(qlonglong flag, const QString& expression) {
    return QString::number(flag) + u' ' + expression;
  }

  QLineEdit* Editor() const {
    if (!grid_.currentIndex().isValid()) return nullptr;
    return qobject_cast<QLineEdit*>(grid_.indexWidget(grid_.currentIndex()));
  }
  QWidget* KeyTarget() {
    if (QLineEdit* e = Editor()) return e;
    return &grid_;
  }

  // The rules as the user sees them: the rows' expressions, with the text of an open editor in
  // its row; `row` and `text` put other text into one row.
  QStringList RulesSeen(int row = -1, const QString& text = {}) const {
    QStringList rules;
    for (int r = 0; r < model().rowCount(); ++r) {
      QString expression = model().row(r)[1].toString();
      if (const auto* e = qobject_cast<QLineEdit*>(grid_.indexWidget(model().index(r, 1)))) {
        expression = e->text();
      }
      if (r == row) expression = text;
      if (!expression.isEmpty()) rules << RuleText(model().row(r)[0].toLongLong(), expression);
    }
    return rules;
  }

  void ExpectOneBlankRowAtTheEnd() const {
    ASSERT_GE(model().rowCount(), 1);
    EXPECT_TRUE(model().row(last())[1].toString().isEmpty()) << "the spare row is filled";
    if (last() > 0) {
      EXPECT_FALSE(model().row(last() - 1)[1].toString().isEmpty()) << "two blank rows end it";
    }
  }

  void ClickCell(int row, int column) { grid_.setCurrentIndex(model().index(row, column)); }

  rulegrid::RuleGrid grid_;
  GridRuleTable table_;
  QAbstractItemModelTester tester_;
  testing::FakePrompts prompts_;
  testing::FakeTextService text_;
  ScriptedFiles files_;
  QString fileName_;
  RuleSetContext context_;
};

TEST_F(SpareRowTest, EveryEditMoveDeleteAndLoadEndsInOneSpareRowAndKeepsEveryRule) {
  std::mt19937 random(20240611);
  auto pick = [&random](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  auto someText = [&] {
    QString t = QStringLiteral("s/");
    for (int i = 0, n = 1 + pick(3); i < n; ++i) t += QChar(char16_t(u'a' + pick(4)));
    return t + QStringLiteral("/x/");
  };
  enum Op { kKey, kClick, kType, kClear, kEnter, kCommit, kDelete, kReset, kLoad };
  // Mostly keys, clicks and typing; now and then a reset or a load starts over.
  std::discrete_distribution<int> nextOp({12, 6, 10, 5, 3, 2, 5, 1, 1});
  int filledSpareRows = 0, deletes = 0, clearedRules = 0;

  for (int step = 0; step < 5000; ++step) {
    SCOPED_TRACE(step);
    QStringList expected = RulesSeen();
    QString done;
    const int current = grid_.currentIndex().isValid() ? grid_.currentIndex().row() : -1;
    const bool onText = current >= 0 && grid_.currentIndex().column() == 1;
    switch (static_cast<Op>(nextOp(random))) {
      case kKey: {
        const std::pair<Qt::Key, const char16_t*> keys[] = {{Qt::Key_Up, u"Up"},
                                                            {Qt::Key_Down, u"Down"},
                                                            {Qt::Key_Tab, u"Tab"},
                                                            {Qt::Key_Backtab, u"Backtab"}};
        const auto& [key, name] = keys[pick(4)];
        done = QString::fromUtf16(name);
        QTest::keyClick(KeyTarget(), key);
        break;
      }
      case kClick: {
        // Clicks favour the rows at the end, where the spare row is entered and left.
        const int row = pick(2) ? std::max(0, last() - pick(2)) : pick(last() + 1);
        const int column = pick(4) ? 1 : 0;
        done = QStringLiteral("click %1,%2").arg(row).arg(column);
        ClickCell(row, column);
        break;
      }
      case kType: {
        if (!onText) {
          done = QStringLiteral("click to type");
          ClickCell(pick(2) ? last() : pick(last() + 1), 1);
          break;
        }
        const QString text = someText();
        QLineEdit* open = Editor();
        done = QStringLiteral("type %1 in row %2").arg(text).arg(current);
        expected = RulesSeen(current, (open ? open->text() : QString()) + text);
        if (current == last() && !open) ++filledSpareRows;
        QTest::keyClick(KeyTarget(), text.at(0).toLatin1());  // opens the editor if need be
        ASSERT_NE(Editor(), nullptr) << done.toStdString();
        QTest::keyClicks(Editor(), text.mid(1));
        break;
      }
      case kClear: {
        if (!onText) {
          done = QStringLiteral("click to clear");
          ClickCell(pick(last() + 1), 1);
          break;
        }
        done = QStringLiteral("clear row %1").arg(current);
        expected = RulesSeen(current, QString());
        if (current < last()) ++clearedRules;
        if (Editor() == nullptr) QTest::keyClick(&grid_, Qt::Key_F2);
        ASSERT_NE(Editor(), nullptr) << done.toStdString();
        QTest::keyClick(Editor(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(Editor(), Qt::Key_Backspace);
        break;
      }
      case kEnter:
        done = QStringLiteral("enter");
        QTest::keyClick(KeyTarget(), Qt::Key_Return);
        break;
      case kCommit:
        done = QStringLiteral("commit");  // as "置換" does before a run
        if (table_.HasCurrentCell()) table_.CommitEdit();
        break;
      case kDelete:
        // The right press takes the focus from an open editor, which writes its text first.
        if (Editor() != nullptr) {
          done = QStringLiteral("press ends the edit");
          grid_.commitEdit();
          break;
        }
        done = QStringLiteral("削除 on row %1").arg(current);
        if (!WantsPopupMenu(table_, 2)) {
          EXPECT_FALSE(grid_.requestDeleteRow(last())) << "the spare row is never deleted";
          break;
        }
        if (current >= 0) {
          if (!model().row(current)[1].toString().isEmpty()) ++deletes;
          expected = RulesSeen(current, QString());
        }
        if (grid_.requestDeleteRow(current)) RowDeleted(table_);
        break;
      case kReset:
        done = QStringLiteral("reset");
        expected.clear();
        ResetRules(table_);
        break;
      case kLoad: {
        files_.lines.clear();
        expected.clear();
        for (int i = 0, n = pick(8); i < n; ++i) {
          const QString text = pick(5) ? someText() : QString();
          const int flag = pick(3) - 1;
          files_.lines << text + QStringLiteral("\t%1").arg(flag);
          if (!text.isEmpty()) expected << RuleText(flag, text);
        }
        const int outcome = pick(6);
        if (outcome == 0) {  // cancelled
          expected = RulesSeen();
          prompts_.answers.push_back(QString());
        } else if (outcome == 1) {  // a flag that is not a number: the table stays
          expected = RulesSeen();
          files_.lines << QStringLiteral("s/a/b/\tx");
          prompts_.answers.push_back(QStringLiteral("/rules/bad.exp"));
        } else {
          prompts_.answers.push_back(QStringLiteral("/rules/set.exp"));
        }
        done = QStringLiteral("load %1 lines").arg(files_.lines.size());
        LoadRuleSet(context_);
        break;
      }
    }
    // Editors closed in the step are deleted as the event loop would.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    SCOPED_TRACE(done.toStdString());
    ExpectOneBlankRowAtTheEnd();
    EXPECT_EQ(RulesSeen().join(u'|').toStdString(), expected.join(u'|').toStdString());
    if (HasFailure()) return;
  }
  // The walk went through the paths that matter.
  EXPECT_GT(filledSpareRows, 100);
  EXPECT_GT(deletes, 100);
  EXPECT_GT(clearedRules, 50);
}

}  // namespace
}  // namespace morvelle::rules
