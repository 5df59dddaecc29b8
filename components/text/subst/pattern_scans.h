#pragma once
// What the match loop learns from a pattern as PCRE2 reads it (its tokens after every
// rewrite): whether it is plain text, whether it uses \G, which class item every match must
// begin with, and the order in which its capture groups close.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pattern_lexer.h"

namespace morvelle::text::detail {

// Plain text, matched as itself: no metacharacter, no escape, no inline flag, no /i or /x,
// no surrogate (pairs and strays are left to PCRE2).
bool isLiteralPattern(std::u16string_view pattern, const std::vector<Token>& tokens);

bool mentionsG(const std::vector<Token>& tokens);

// The class item every match must begin with, if the pattern is that simple: leading groups,
// then \p{…} \d \w \s \h \v (or their negations) or a bracketed class, none of them optional,
// and no alternation anywhere, so no other branch can start elsewhere. Empty otherwise.
std::u16string leadingClassItem(std::u16string_view pattern, const std::vector<Token>& tokens);

// Rank of each capture group's ")" in the pattern, for $^N when two groups end together.
// Empty when the numbering is not followed (branch reset) or does not agree with PCRE2's.
std::vector<std::uint32_t> closeRanks(const PatternTokens& lexed, std::uint32_t captureCount);

}  // namespace morvelle::text::detail
