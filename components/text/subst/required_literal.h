#pragma once
// The literal text every match of a pattern must consume, and where a match may start
// relative to it, so the match loop can search for that text first and give PCRE2 only the
// start positions near it. PCRE2 finds a first code unit by itself; this is for patterns that
// begin with a class or an alternation, such as (\w+)ing\b or (?:名詞|動詞),一般.
//
// Read from the lexer's tokens of the pattern as PCRE2 gets it. What the analysis cannot
// follow (verbs, calls, conditionals, \K, \G) gives no literal, and every position is tried.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pattern_lexer.h"

namespace morvelle::text::detail {

inline constexpr std::size_t kNoBound = SIZE_MAX;

struct RequiredLiteral {
  // UTF-16 units. Under /i it holds only characters whose case partners are known (ASCII and
  // caseless scripts), ASCII letters folded to lower case: `K` (U+212A) and `ſ` (U+017F) are
  // the only other characters PCRE2 matches them with.
  std::u16string text;
  bool caseless = false;
  // Units from the start of a match to the literal, at least and at most (kNoBound).
  std::size_t minBefore = 0;
  std::size_t maxBefore = kNoBound;
  // Without a bound: one-character patterns, each with its flags, that together match every
  // character the part before the literal may consume; a match then starts within the run of
  // such characters that ends at the literal.
  std::vector<std::u16string> before;
};

// forSearch: none when every match begins with a literal at least as rare, which PCRE2's own
// search for a first unit finds as fast; false asks for the literal whatever begins a match.
std::optional<RequiredLiteral> requiredLiteral(std::u16string_view pattern,
                                               const std::vector<Token>& tokens,
                                               bool forSearch = true);

// The unit as the literal's text holds it under /i.
constexpr char16_t foldCaseless(char16_t unit) {
  if (unit >= u'A' && unit <= u'Z') return static_cast<char16_t>(unit + 32);
  if (unit == 0x017F) return u's';
  if (unit == 0x212A) return u'k';
  return unit;
}

}  // namespace morvelle::text::detail
