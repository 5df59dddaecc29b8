// The rule grid's model under Qt's model checker, through every change the grid makes.
#include "rulegrid/rule_grid_model.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>

namespace morvelle::rulegrid {
namespace {

TEST(RuleGridModel, KeepsQtsModelContractThroughEveryChange) {
  RuleGridModel model;
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  model.append({QVariant(1), QStringLiteral("s/a/b/")});
  model.append({QVariant(5), QStringLiteral("s/c/d/g")});
  model.append({QVariant(1), QString()});
  EXPECT_TRUE(model.setData(model.index(0, 1), QStringLiteral("s/x/y/"), Qt::EditRole));
  EXPECT_TRUE(model.setData(model.index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
  EXPECT_EQ(model.row(1)[0].toInt(), 0);
  model.remove(0);
  EXPECT_EQ(model.rowCount(), 2);
  model.clear();
  EXPECT_EQ(model.rowCount(), 0);
}

}  // namespace
}  // namespace morvelle::rulegrid
