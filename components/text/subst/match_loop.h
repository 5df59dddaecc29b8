#pragma once
// The /g loop: finds a compiled rule's matches in a text, as perl's s///g does (an empty match
// never twice at one place, never between the halves of a pair), expands the replacement for
// each and lists the spans that change, all within the call's deadline.

#include <cstdint>
#include <string_view>

#include "case_mapping.h"
#include "compiled_rule.h"
#include "pcre2_handles.h"
#include "substitute.h"

namespace morvelle::text::detail {

struct Deadline {
  std::int64_t at = 0;  // CLOCK_MONOTONIC_COARSE, nanoseconds
  std::int64_t seconds = 0;
};

// One run's bounds on a match attempt, from SubstituteLimits and the text's length.
struct MatchBounds {
  std::uint32_t steps = 0;
  std::uint32_t depth = 0;
  std::uint32_t heapKiB = 0;
  std::size_t stackBytes = 0;
};

class Matcher {
 public:
  Matcher(const SubstituteLimits& limits, RuleCompiler& compiler);

  // Hands the replacements that change the text to `sink` and returns the number of matches.
  // Throws SubstituteError when a bound is hit, and what the sink throws.
  std::size_t run(CompiledRule& rule, std::u16string_view text, ReplacementSink& sink);

 private:
  void emit(const CompiledRule& rule, const MatchGroups& groups, std::size_t start, std::size_t end,
            ReplacementSink& sink);
  void runLiteral(const CompiledRule& rule, std::u16string_view text, ReplacementSink& sink);
  void fitBounds(std::size_t units);
  // pcre::match, once more with the stack grown where the base stack was too small.
  int match(const pcre2_code_16* code, bool jit, std::u16string_view text, std::size_t offset,
            std::uint32_t flags, pcre2_match_data_16* data, pcre2_match_context_16* context);
  // A JIT stack of `bytes` for both contexts; false (the old one kept) if it cannot be made.
  bool useStack(std::size_t bytes);
  [[noreturn]] void fail(int rc) const;

  const SubstituteLimits& limits_;
  RuleCompiler& compiler_;
  Deadline deadline_;
  MatchBounds bounds_;
  pcre::MatchContext guardedContext_;  // full limits, the callout that reads the clock
  pcre::MatchContext fastContext_;     // windows: offset limit, a low match limit
  pcre::JitStack jitStack_;            // may stay empty: PCRE2 then uses its own small stack
  std::size_t stackBytes_ = 0;         // jitStack_'s size
  CaseMapper mapper_;
  std::u16string expansion_;  // one match's replacement, its room kept from match to match
  std::size_t count_ = 0;     // matches of the current run
};

}  // namespace morvelle::text::detail
