#include "rules/rule_rows.h"

#include <gtest/gtest.h>

#include "services/service_error.h"
#include "support/memory_rule_table.h"

namespace morvelle::rules {
namespace {

using testing::MemoryRuleTable;

TEST(AddRuleRow, TakesExpressionAndFlagFromTheFields) {
  struct Case {
    QStringList fields;
    int flag;
    QString expression;
  };
  const Case cases[] = {
      {{QStringLiteral("s/ABC/XYZ/g")}, 1, QStringLiteral("s/ABC/XYZ/g")},
      {{QStringLiteral("s/ABC/XYZ/g"), QStringLiteral("0")}, 0, QStringLiteral("s/ABC/XYZ/g")},
      {{QStringLiteral("s/a/b/"), QStringLiteral("7"), QStringLiteral("ignored")},
       7,
       QStringLiteral("s/a/b/")},
      {{QStringLiteral(" s/a/b/ "), QStringLiteral("-3")}, -3, QStringLiteral(" s/a/b/ ")},
      {{QStringLiteral("x"), QStringLiteral("2147483647")}, 2147483647, QStringLiteral("x")},
  };
  for (const Case& c : cases) {
    MemoryRuleTable table;
    AddRuleRow(table, c.fields);
    ASSERT_EQ(table.RowCount(), 1);
    EXPECT_EQ(table.rows[0][0].toInt(), c.flag) << c.fields.join(u'|').toStdString();
    EXPECT_EQ(table.rows[0][1].toString(), c.expression);
  }
}

TEST(AddRuleRow, AnythingButFieldsAppendsTheSpareRow) {
  MemoryRuleTable table;
  AddRuleRow(table, QString());
  AddRuleRow(table, QVariant(42));
  ASSERT_EQ(table.RowCount(), 2);
  for (const RuleValues& row : table.rows) {
    EXPECT_EQ(row[0].toInt(), 1);
    EXPECT_EQ(row[1].toString(), QString());
  }
}

TEST(AddRuleRow, RefusesAFlagThatIsNotAnInteger) {
  for (const char16_t* bad : {u"", u"abc", u"1.5", u"2147483648", u"-2147483649", u"+"}) {
    MemoryRuleTable table;
    EXPECT_THROW(AddRuleRow(table, QStringList{QStringLiteral("s/a/b/"), QString::fromUtf16(bad)}),
                 ServiceError);
    EXPECT_EQ(table.RowCount(), 0);
  }
}

TEST(ParseFlag, AcceptsDecimalIntegersWithBlanksAndSign) {
  EXPECT_EQ(ParseFlag(u"0"), 0);
  EXPECT_EQ(ParseFlag(u" 12 "), 12);
  EXPECT_EQ(ParseFlag(u"+5"), 5);
  EXPECT_EQ(ParseFlag(u"-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseFlag(u"99999999999999999999"), std::nullopt);
  EXPECT_EQ(ParseFlag(u"0x10"), std::nullopt);
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
  EXPECT_EQ(table.rows[0][1].toString(), QStringLiteral("s/a/b/"));
  EXPECT_TRUE(table.rows[1][1].toString().isEmpty());
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
