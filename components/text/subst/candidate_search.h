#pragma once
// Where the match loop gives PCRE2 a try when every match consumes a required literal: at the
// literal's next occurrence, only the start positions the pattern allows before it, within
// the bounded distance or the run of units the part before the literal may consume. A match
// that starts earlier would need an earlier occurrence, or a unit that part cannot consume,
// so the positions skipped start no match and the loop's results are those of trying them all.
//
// Every match is then non-empty, so perl's rule against an empty match where the last one
// ended never applies here.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "compiled_rule.h"
#include "literal_search.h"

namespace morvelle::text::detail {

class CandidateSearch {
 public:
  // Inactive without a literal, or without the run table its distance needs.
  explicit CandidateSearch(const CompiledRule& rule, bool enabled);

  bool active() const { return literal_ != nullptr; }

  // The next positions at or after `offset` where a match may start: `offset` moves to the
  // first, `limit` to the last (at most `window` after it). False when none is left. Where
  // the literal is so common that trying every position costs less, turns itself off and
  // gives the next `window` positions.
  bool next(std::u16string_view text, std::size_t& offset, std::size_t& limit, std::size_t window);

 private:
  bool runs(char16_t unit) const { return ((*runUnits_)[unit >> 6] >> (unit & 63)) & 1; }

  const RequiredLiteral* literal_ = nullptr;
  const std::vector<std::uint64_t>* runUnits_ = nullptr;
  LiteralSearch search_;
  std::size_t at_ = SIZE_MAX;  // the occurrence found last
  std::size_t found_ = 0;
};

}  // namespace morvelle::text::detail
