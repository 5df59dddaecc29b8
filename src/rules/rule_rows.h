#pragma once
// The rule table's own procedures, on the RuleTable interface: the spare row at the end of a
// table built or reset here, and the conditions of the grid's notifications. As the user fills
// and empties rows, the grid's model keeps the spare row itself.

#include <vector>

#include "services/rule.h"
#include "services/rule_table.h"

namespace morvelle::rules {

// Appends the spare row, a default Rule.
void AddSpareRow(RuleTable& table);

// Every row as a rule, in row order, the spare row included.
std::vector<Rule> RulesOf(const RuleTable& table);

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

}  // namespace morvelle::rules
