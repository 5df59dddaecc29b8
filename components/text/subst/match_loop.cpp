#include "match_loop.h"

#include <time.h>

#include <algorithm>

#include "candidate_search.h"
#include "literal_search.h"
#include "messages.h"
#include "text/utf16.h"

namespace morvelle::text::detail {
namespace {

// Start positions one fast call may try. With the fast match limit this keeps one call well
// under a second even where every position backtracks, and costs little on plain scans.
constexpr std::size_t kWindow = 512;

std::int64_t nowNanoseconds() {
  timespec ts{};
  // The coarse clock costs a memory read; a few milliseconds of resolution is plenty.
  clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

int onCallout(pcre2_callout_block_16*, void* data) {
  return nowNanoseconds() > static_cast<Deadline*>(data)->at ? PCRE2_ERROR_CALLOUT : 0;
}

}  // namespace

Matcher::Matcher(const SubstituteLimits& limits, RuleCompiler& compiler)
    : limits_(limits),
      compiler_(compiler),
      guardedContext_(pcre::owned<pcre::MatchContext>(pcre2_match_context_create_16(nullptr))),
      fastContext_(pcre::owned<pcre::MatchContext>(pcre2_match_context_create_16(nullptr))),
      jitStack_(pcre2_jit_stack_create_16(32 * 1024, limits.jitStackBytes, nullptr)) {
  pcre2_match_context_16* guarded = guardedContext_.get();
  pcre2_match_context_16* fast = fastContext_.get();
  pcre2_set_match_limit_16(guarded, limits.matchLimit);
  pcre2_set_depth_limit_16(guarded, limits.depthLimit);
  pcre2_set_heap_limit_16(guarded, limits.heapLimitKiB);
  pcre2_set_callout_16(guarded, onCallout, &deadline_);
  pcre2_set_match_limit_16(fast, std::max<std::uint32_t>(1, limits.matchLimit / 20));
  pcre2_set_depth_limit_16(fast, limits.depthLimit);
  pcre2_set_heap_limit_16(fast, limits.heapLimitKiB);
  if (jitStack_) {
    pcre2_jit_stack_assign_16(guarded, nullptr, jitStack_.get());
    pcre2_jit_stack_assign_16(fast, nullptr, jitStack_.get());
  }
}

std::size_t Matcher::run(CompiledRule& rule, std::u16string_view text, ReplacementSink& sink) {
  count_ = 0;
  std::int64_t bytes = static_cast<std::int64_t>(text.size()) * 2;
  std::int64_t budgetMs = std::max<std::int64_t>(
      limits_.minimumDeadline.count(), limits_.deadlinePerMegabyte.count() * bytes / (1 << 20));
  deadline_.at = nowNanoseconds() + budgetMs * 1'000'000;
  deadline_.seconds = (budgetMs + 999) / 1000;

  if (rule.literal) {
    runLiteral(rule, text, sink);
    return count_;
  }

  const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer_16(rule.matchData.get());
  bool guarded = !rule.fast;
  if (text.size() >= limits_.startScanMinimum) {
    compiler_.ensureStartUnits(rule, guardedContext_.get());
    if (limits_.literalPrefilter) compiler_.ensureRunUnits(rule, guardedContext_.get());
  }
  const bool skipping = !rule.startUnits.empty();
  CandidateSearch candidates(rule, limits_.literalPrefilter);
  std::size_t offset = 0;
  std::uint32_t options = 0;
  bool lastEmpty = false;
  for (;;) {
    std::uint32_t flags = options | (lastEmpty ? PCRE2_NOTEMPTY_ATSTART : 0);
    std::size_t limit = text.size();
    int rc;
    if (!guarded) {
      limit = std::min(text.size(), offset + kWindow);
      if (candidates.active() && !candidates.next(text, offset, limit, kWindow)) break;
      if (skipping && !candidates.active()) {
        // Try only the run of units that may start a match; PCRE2 would test the others one
        // by one at a higher cost.
        while (offset < text.size() && !rule.admits(text[offset])) ++offset;
        if (offset >= text.size()) break;
        limit = offset;
        while (limit + 1 < text.size() && limit - offset < kWindow && rule.admits(text[limit + 1]))
          ++limit;
      }
      pcre2_set_offset_limit_16(fastContext_.get(), limit);
      rc = pcre::match(rule.fast.get(), rule.fastJit, text, offset, flags, rule.matchData.get(),
                       fastContext_.get());
      if (rc == PCRE2_ERROR_MATCHLIMIT && limits_.enforceDeadline) {
        if (!compiler_.ensureGuarded(rule)) fail(rc);
        guarded = true;
        continue;  // the same start again, now under the clock
      }
    } else {
      rc = pcre::match(rule.guarded.get(), rule.guardedJit, text, offset, flags,
                       rule.matchData.get(), guardedContext_.get());
    }
    options = PCRE2_NO_UTF_CHECK;  // checked once; checking at every offset is quadratic
    if (limits_.enforceDeadline && nowNanoseconds() > deadline_.at) fail(PCRE2_ERROR_CALLOUT);
    if (rc == PCRE2_ERROR_NOMATCH) {
      if (guarded || limit >= text.size()) break;
      offset = limit + 1;
      if (splitsPair(text, offset)) ++offset;  // never start a window inside a pair
      if (offset > text.size()) break;
      lastEmpty = false;
      continue;
    }
    if (rc < 0) fail(rc);
    std::size_t start = ovector[0];
    std::size_t end = ovector[1];
    if (end < start) end = start;  // \K after the end; perl refuses such patterns too
    MatchGroups groups{text, ovector, static_cast<std::uint32_t>(rc), &rule.closeRank};
    emit(rule, groups, start, end, sink);
    if (!rule.global) break;
    lastEmpty = start == end;
    offset = end;
    if (lastEmpty && offset >= text.size()) break;
  }
  return count_;
}

void Matcher::emit(const CompiledRule& rule, const MatchGroups& groups, std::size_t start,
                   std::size_t end, ReplacementSink& sink) {
  // A replacement of plain text is the same for every match: no expansion to build.
  const std::vector<Piece>& pieces = rule.replacement.pieces;
  std::u16string_view produced;
  if (pieces.size() == 1 && pieces[0].kind == PieceKind::Literal) {
    produced = pieces[0].text;
  } else if (!pieces.empty()) {
    expansion_.clear();
    expand(rule.replacement, groups, mapper_, expansion_);
    produced = expansion_;
  }
  if (produced != groups.subject.substr(start, end - start)) {
    sink.replace(start, end - start, produced);
  }
  ++count_;
}

// A pattern without metacharacters matches where the text holds it, leftmost first.
void Matcher::runLiteral(const CompiledRule& rule, std::u16string_view text,
                         ReplacementSink& sink) {
  const LiteralSearch search(rule.pattern);
  const std::size_t m = rule.pattern.size();
  std::size_t ovector[2] = {0, 0};
  for (std::size_t at = search.find(text, 0); at != std::u16string_view::npos;
       at = search.find(text, at + m)) {
    ovector[0] = at;
    ovector[1] = at + m;
    MatchGroups groups{text, ovector, 1, &rule.closeRank};
    emit(rule, groups, at, at + m, sink);
    if (!rule.global) break;
  }
}

void Matcher::fail(int rc) const { throw runFailure(rc, deadline_.seconds); }

}  // namespace morvelle::text::detail
