#pragma once
// Splits an expression the way perl's lexer does (delimiters, bracket pairs, escaped
// delimiters, flags) into pattern, replacement and flags, refusing flags we cannot honour.
// The pattern itself is read by pattern_lexer; nothing here knows PCRE2.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace morvelle::text::detail {

struct RuleFlags {
  bool global = false;
  bool caseless = false;
  bool multiline = false;
  bool dotall = false;
  bool noAutoCapture = false;
  bool ascii = false;
  int extended = 0;  // 1 for /x, 2 for /xx
};

struct ParsedExpression {
  std::u16string pattern;
  std::vector<std::size_t> patternOrigin;  // index in the expression of each unit, and the end
  std::u16string replacement;
  std::vector<std::size_t> replacementOrigin;
  bool interpolatePattern = true;
  bool interpolateReplacement = true;
  RuleFlags flags;
};

// Throws SubstituteError; positions refer to `expression`.
ParsedExpression parseExpression(std::u16string_view expression);

// `origin` maps flag indexes to positions in `source` for error messages.
RuleFlags parseFlags(std::u16string_view flags, std::u16string_view source, std::size_t origin);

}  // namespace morvelle::text::detail
