#include "candidate_search.h"

#include <algorithm>

#include "text/utf16.h"

namespace morvelle::text::detail {
namespace {

// Every so many occurrences the search checks how far apart they lie; closer than this many
// units on average, a PCRE2 call per occurrence costs more than PCRE2's own scan.
constexpr std::size_t kCheckEvery = 256;
constexpr std::size_t kSparse = 24;

const RequiredLiteral* literalOf(const CompiledRule& rule, bool enabled) {
  if (!enabled || !rule.required) return nullptr;
  if (rule.required->maxBefore == kNoBound && rule.runUnits.empty()) return nullptr;
  return &*rule.required;
}

}  // namespace

CandidateSearch::CandidateSearch(const CompiledRule& rule, bool enabled)
    : literal_(literalOf(rule, enabled)),
      runUnits_(literal_ && literal_->maxBefore == kNoBound ? &rule.runUnits : nullptr),
      search_(literal_ ? std::u16string_view(literal_->text) : std::u16string_view(u" "),
              literal_ && literal_->caseless) {}

bool CandidateSearch::next(std::u16string_view text, std::size_t& offset, std::size_t& limit,
                           std::size_t window) {
  const RequiredLiteral& literal = *literal_;
  for (;;) {
    // A match starting at or after `offset` consumes an occurrence at or after this.
    std::size_t from = offset + literal.minBefore;
    if (at_ == SIZE_MAX || at_ < from) {
      at_ = from > text.size() ? SIZE_MAX : search_.find(text, from);
      if (at_ == SIZE_MAX) return false;
      if (++found_ % kCheckEvery == 0 && at_ < found_ * kSparse) {
        literal_ = nullptr;
        limit = std::min(text.size(), offset + window);
        return true;
      }
    }
    std::size_t start = offset;
    if (literal.maxBefore != kNoBound && at_ - offset > literal.maxBefore) {
      start = at_ - literal.maxBefore;
    }
    if (runUnits_) {
      std::size_t first = at_;
      while (first > start && runs(text[first - 1])) --first;
      start = first;
    }
    if (splitsPair(text, start)) ++start;
    // Past this, a match would consume a later occurrence.
    std::size_t last = at_ - literal.minBefore;
    if (start <= last) {
      offset = start;
      limit = std::min(last, start + window);
      return true;
    }
    offset = last + 1;
  }
}

}  // namespace morvelle::text::detail
