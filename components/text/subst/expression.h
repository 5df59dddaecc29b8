#pragma once
// Splits an expression the way perl's lexer does (delimiters, bracket pairs, escaped
// delimiters, flags) and refuses what perl would read differently from PCRE2: code,
// interpolated variables, flags we cannot honour, and syntax PCRE2 10.42 silently reads
// another way. Nothing here knows PCRE2; compiling is substitute.cpp's job.

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

// Replaces \N{NAME} in the pattern by the character's code, as perl's lexer does before
// the regex compiler sees it; throws for a name that is not known.
void resolveCharacterNames(ParsedExpression& parsed, std::u16string_view source);

// Drops the charset modifiers u and d from inline groups such as (?^u:…) (what perl's qr//
// prints): every text here is a character string, for which both mean Unicode rules.
void dropCharsetModifiers(ParsedExpression& parsed);

// The refusals on the pattern side. `source` is what error positions count in.
void checkPattern(const ParsedExpression& parsed, std::u16string_view source);

}  // namespace morvelle::text::detail
