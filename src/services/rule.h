#pragma once
// One rule of a rule set, as the grid, a rule-set file and a run all hold it: the enable flag as
// it was written (any 32-bit integer; a loaded 5 stays 5 until the user toggles it) and the
// expression, unchanged, untrimmed and unvalidated. A rule is enabled when its flag is non-zero.
// A default Rule is the spare row's: enabled, without an expression.

#include <QString>

namespace morvelle {

struct Rule {
  qint32 flag = 1;
  QString expression;

  friend bool operator==(const Rule&, const Rule&) = default;
};

}  // namespace morvelle
