#pragma once
// The rule table's own procedures, on the RuleTable interface: the spare row at the end of a
// table built or reset here, and the conditions of the grid's notifications. As the user fills
// and empties rows, the grid's model keeps the spare row itself.

#include <QStringList>
#include <QVariant>
#include <optional>

#include "services/rule_table.h"

namespace morvelle::rules {

// Appends one row. `values` is either the fields of one rule-set line (a QStringList:
// field 0 the expression, field 1 the flag in decimal, later fields ignored) or anything
// else, which appends the spare row [1, ""]. Throws ServiceError for a flag that is not a
// 32-bit decimal integer; rule-set lines are checked before they get here.
void AddRuleRow(RuleTable& table, const QVariant& values);

// "リセット" beside the grid.
void ResetRules(RuleTable& table);

// Entering a row, the spare row included, changes no row: a row is added when the spare row
// is written, not when the cursor passes through it.
void RowEntered(RuleTable& table, int row);

// The spare row is never removed or altered by a row operation.
void BeforeRowAction(const RuleTable& table, int row, int& cancel);

// After a row is deleted the current cell stays among the rules: left on the spare row, it moves
// to the row above, or off the table as at the start.
void RowDeleted(RuleTable& table);

// Whether a mouse press on the grid opens the pop-up menu: right button, current cell above
// the spare row.
bool WantsPopupMenu(const RuleTable& table, int button);

// A flag field as the rule-set file holds it: optional blanks, optional sign, decimal digits.
std::optional<qint32> ParseFlag(QStringView text);

}  // namespace morvelle::rules
