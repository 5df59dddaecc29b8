#include "rules/rule_rows.h"

#include <gtest/gtest.h>

#include "support/memory_rule_table.h"

namespace morvelle::rules {
namespace {

using testing::MemoryRuleTable;

TEST(AddSpareRow, AppendsAnEnabledRowWithoutAnExpression) {
  MemoryRuleTable table;
  table.rows = {{0, QStringLiteral("s/a/b/")}};
  AddSpareRow(table);
  ASSERT_EQ(table.RowCount(), 2);
  EXPECT_EQ(table.rows[1].flag, 1);
  EXPECT_EQ(table.rows[1].expression, QString());
}

TEST(RowEntered, NeverAddsARow) {
  MemoryRuleTable table;
  ResetRules(table);
  RowEntered(table, 0);  // the spare row of the start table
  EXPECT_EQ(table.RowCount(), 1);
  table.rows = {{1, QStringLiteral("s/a/b/")}, {1, QString()}};
  RowEntered(table, 1);  // the spare row under a rule
  RowEntered(table, 0);
  RowEntered(table, 1);
  ASSERT_EQ(table.RowCount(), 2);
  EXPECT_EQ(table.rows[0].expression, QStringLiteral("s/a/b/"));
  EXPECT_TRUE(table.rows[1].expression.isEmpty());
}

TEST(PopupMenu, NeedsTheRightButtonAndACurrentCellAboveTheSpareRow) {
  MemoryRuleTable table;
  table.rows = {{1, QStringLiteral("a")}, {1, QStringLiteral("b")}, {1, QString()}};
  table.current = 1;
  EXPECT_TRUE(WantsPopupMenu(table, 2));
  EXPECT_FALSE(WantsPopupMenu(table, 1));
  EXPECT_FALSE(WantsPopupMenu(table, 4));
  table.current = 2;
  EXPECT_FALSE(WantsPopupMenu(table, 2));
  table.current = -1;  // no current cell answers -1 without failing
  EXPECT_TRUE(WantsPopupMenu(table, 2));
}

}  // namespace
}  // namespace morvelle::rules
