#pragma once
// How PCRE2 10.42 reads one backslash sequence of a pattern, for the lexer: what kind of item
// it is, where it ends and, for a character, which one. Malformed sequences become Other and
// are left for PCRE2 to report.

#include <cstddef>
#include <string_view>

#include "pattern_lexer.h"

namespace morvelle::text::detail {

struct Escape {
  TokenKind kind = TokenKind::Other;
  std::size_t end = 0;
  char32_t value = 0;       // Literal: the character; Type, Assertion: the letter
  bool negated = false;     // \P{…}, \p{^…}
  bool quoteStart = false;  // \Q
};

// `i` is the index of the backslash.
Escape readEscape(std::u16string_view pattern, std::size_t i, bool inClass);

}  // namespace morvelle::text::detail
