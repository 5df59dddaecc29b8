#pragma once
// The refusals on the pattern side: what perl would read differently from PCRE2 (code,
// interpolated variables, PCRE2-only settings, syntax PCRE2 10.42 silently reads another way)
// and what perl itself refuses. Run on the tokens of the pattern with its names resolved.

#include <string_view>
#include <vector>

#include "expression.h"
#include "pattern_lexer.h"

namespace morvelle::text::detail {

// Throws SubstituteError; `source` is what error positions count in.
void checkPattern(const ParsedExpression& parsed, const std::vector<Token>& tokens,
                  std::u16string_view source);

}  // namespace morvelle::text::detail
