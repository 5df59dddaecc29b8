#pragma once
// Rewrites, before PCRE2 sees a pattern, what PCRE2 10.42 would read otherwise than perl 5.36.
// Each works on the lexer's tokens and keeps `patternOrigin` pointing into the expression, so
// PCRE2's errors still name a position the user wrote.

#include "expression.h"

namespace morvelle::text::detail {

// perl's word characters are the alphabetic ones, marks, decimal digits, connector
// punctuation and the two join controls; PCRE2's (with UCP) are letters, every kind of
// number and "_". So a dakuten written as U+3099 splits a word in PCRE2 and not in perl.
// \w \W \b \B and [[:word:]] become perl's set, spelt in properties PCRE2 knows; under /a
// both mean ASCII and nothing changes. Inside a class a "-" that perl reads as itself (next
// to \d, [:alpha:] or such) is escaped, where PCRE2 would refuse it as a range.
void rewriteWordsAndRanges(ParsedExpression& parsed);

}  // namespace morvelle::text::detail
