#pragma once
// Rewrites a pattern, before PCRE2 sees it, where PCRE2 10.42 would read it otherwise than
// perl 5.36. Each step walks the lexer's tokens and keeps `patternOrigin` pointing into the
// expression, so PCRE2's errors still name a position the user wrote. Each returns false
// when the pattern needed no change.

#include <string_view>
#include <vector>

#include "expression.h"
#include "pattern_lexer.h"

namespace morvelle::text::detail {

// \N{NAME} becomes the character's code (between \Q and \E, the character itself), as perl's
// lexer does before its regex compiler; throws SubstituteError for a name not known.
bool resolveCharacterNames(ParsedExpression& parsed, const std::vector<Token>& tokens,
                           std::u16string_view source);

// - The charset modifiers u and d of inline groups such as (?^u:…) (what perl's qr// prints)
//   are dropped: every text here is a character string, for which both mean Unicode rules.
// - perl's word characters are the alphabetic ones, marks, decimal digits, connector
//   punctuation and the two join controls; PCRE2's (with UCP) are letters, every kind of
//   number and "_". So a dakuten written as U+3099 splits a word in PCRE2 and not in perl.
//   \w \W \b \B and [[:word:]] become perl's set, spelt in properties PCRE2 knows; under /a
//   both mean ASCII and they stay.
// - Inside a class, a "-" that perl reads as itself (next to \d, [:alpha:] or such) is
//   escaped, where PCRE2 would refuse it as a range.
// - \p{…} and \P{…}, in classes too, as perl reads them (unicode_properties.h): Common and
//   Inherited by Script_Extensions and blocks become ranges of characters, perl's Is goes.
//   Throws SubstituteError for a block perl does not know; `source` places it.
bool rewriteForPcre(ParsedExpression& parsed, const std::vector<Token>& tokens,
                    std::u16string_view source);

}  // namespace morvelle::text::detail
