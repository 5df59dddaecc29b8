#pragma once
// A rule as the match loop uses it, and the compiler that builds it: the pattern is lexed,
// checked and rewritten for PCRE2 (pattern_checks, pattern_rewrite), lexed again as PCRE2
// will read it, and analysed (pattern_scans); PCRE2's code, made lazily where it may never be
// needed, stays owned by the rule.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "expression.h"
#include "pcre2_handles.h"
#include "replacement.h"
#include "required_literal.h"
#include "substitute.h"

namespace morvelle::text::detail {

// How a rule's matches are found. A literal pattern needs no regex engine. Otherwise the fast
// code runs without callouts over windows of start positions, with a low match limit and the
// clock read between calls; the first time a window is expensive (or the pattern uses \G,
// which windows would move) the guarded code takes over, with a callout at every start.
struct CompiledRule {
  std::u16string pattern;  // as PCRE2 gets it; for a literal rule, the text to find
  std::uint32_t options = 0;
  bool literal = false;
  bool usesG = false;
  bool global = false;
  pcre::Code fast;
  pcre::Code guarded;
  bool fastJit = false;
  bool guardedJit = false;
  pcre::MatchData matchData;
  ReplacementProgram replacement;
  std::vector<std::uint32_t> closeRank;
  // When every match starts with one class item (\p{…}, \d, […] …) that PCRE2 cannot scan
  // for by itself: that item alone, and once built, which UTF-16 units it admits.
  std::u16string leadingItem;
  std::vector<std::uint64_t> startUnits;
  // When PCRE2 has no first unit to scan for but every match consumes a literal: that literal
  // and where a match starts relative to it; once built, when that distance has no bound, the
  // units the part before the literal may consume.
  std::optional<RequiredLiteral> required;
  std::vector<std::uint64_t> runUnits;
  // Text every match consumes exactly (under /i, only one without ASCII letters): without it
  // in the text, no match.
  std::optional<std::u16string> mustConsume;

  bool admits(char16_t unit) const { return (startUnits[unit >> 6] >> (unit & 63)) & 1; }
};

class RuleCompiler {
 public:
  explicit RuleCompiler(const SubstituteLimits& limits);

  // Throws SubstituteError; positions count in `source`.
  std::shared_ptr<CompiledRule> compile(ParsedExpression parsed, std::u16string_view source);

  // The guarded code, built on first need; false if it cannot be built.
  bool ensureGuarded(CompiledRule& rule);

  // The start-unit table, built once on first need from the leading item (start_units.cpp).
  void ensureStartUnits(CompiledRule& rule, pcre2_match_context_16* context);
  // The table of units before the required literal, where its distance has no bound; without
  // it the literal is not used.
  void ensureRunUnits(CompiledRule& rule, pcre2_match_context_16* context);

 private:
  // Which UTF-16 units runs of `item` (one character) cover; empty if it cannot be built.
  std::vector<std::uint64_t> unitTable(std::u16string_view item, std::uint32_t options,
                                       pcre2_match_context_16* context);
  // `parsed` and `source` place a compile error; without them (a later rebuild of a pattern
  // that compiled once) a failure gives an empty handle.
  pcre::Code compileCode(std::u16string_view body, std::uint32_t options, std::size_t prefixLength,
                         const ParsedExpression* parsed, std::u16string_view source);

  const SubstituteLimits& limits_;
  pcre::CompileContext context_;
};

}  // namespace morvelle::text::detail
