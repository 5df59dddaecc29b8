#include "match_loop.h"

#include <time.h>

#include <algorithm>
#include <limits>

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

// The larger of `base` and `perUnit` for every unit, within what `T` holds.
template <typename T>
T scaled(T base, std::uint64_t perUnit, std::size_t units) {
  const std::uint64_t most = std::numeric_limits<T>::max();
  std::uint64_t share = units != 0 && perUnit > most / units ? most : perUnit * units;
  return static_cast<T>(std::max<std::uint64_t>(base, share));
}

}  // namespace

Matcher::Matcher(const SubstituteLimits& limits, RuleCompiler& compiler)
    : limits_(limits),
      compiler_(compiler),
      guardedContext_(pcre::owned<pcre::MatchContext>(pcre2_match_context_create_16(nullptr))),
      fastContext_(pcre::owned<pcre::MatchContext>(pcre2_match_context_create_16(nullptr))) {
  pcre2_set_callout_16(guardedContext_.get(), onCallout, &deadline_);
  pcre2_set_match_limit_16(fastContext_.get(), std::max<std::uint32_t>(1, limits.matchLimit / 20));
  useStack(limits.jitStackBytes);
  fitBounds(0);
}

void Matcher::fitBounds(std::size_t units) {
  bounds_.steps = scaled(limits_.matchLimit, limits_.matchLimitPerUnit, units);
  bounds_.depth = scaled(limits_.depthLimit, limits_.matchLimitPerUnit, units);
  bounds_.heapKiB = scaled(limits_.heapLimitKiB, limits_.heapBytesPerUnit, units / 1024);
  bounds_.stackBytes = scaled(limits_.jitStackBytes, limits_.jitStackBytesPerUnit, units);
  pcre2_set_match_limit_16(guardedContext_.get(), bounds_.steps);
  for (pcre2_match_context_16* context : {guardedContext_.get(), fastContext_.get()}) {
    pcre2_set_depth_limit_16(context, bounds_.depth);
    pcre2_set_heap_limit_16(context, bounds_.heapKiB);
  }
}

bool Matcher::useStack(std::size_t bytes) {
  pcre::JitStack stack(pcre2_jit_stack_create_16(32 * 1024, bytes, nullptr));
  if (!stack) return false;
  jitStack_ = std::move(stack);
  stackBytes_ = bytes;
  pcre2_jit_stack_assign_16(guardedContext_.get(), nullptr, jitStack_.get());
  pcre2_jit_stack_assign_16(fastContext_.get(), nullptr, jitStack_.get());
  return true;
}

int Matcher::match(const pcre2_code_16* code, bool jit, std::u16string_view text,
                   std::size_t offset, std::uint32_t flags, pcre2_match_data_16* data,
                   pcre2_match_context_16* context) {
  int rc = pcre::match(code, jit, text, offset, flags, data, context);
  // The stack is reserved at its base size and grows to the text's share only when a match
  // needs it; the same start is then tried again.
  if (rc == PCRE2_ERROR_JIT_STACKLIMIT && stackBytes_ < bounds_.stackBytes &&
      useStack(bounds_.stackBytes)) {
    rc = pcre::match(code, jit, text, offset, flags, data, context);
  }
  return rc;
}

std::size_t Matcher::run(CompiledRule& rule, std::u16string_view text, ReplacementSink& sink) {
  count_ = 0;
  fitBounds(text.size());
  // A stack grown for this text is given back afterwards: its pages stay resident until then.
  struct ShrinkStack {
    Matcher& m;
    ~ShrinkStack() {
      if (m.stackBytes_ > m.limits_.jitStackBytes) m.useStack(m.limits_.jitStackBytes);
    }
  } shrink{*this};
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
      rc = match(rule.fast.get(), rule.fastJit, text, offset, flags, rule.matchData.get(),
                 fastContext_.get());
      if (rc == PCRE2_ERROR_MATCHLIMIT) {
        if (!compiler_.ensureGuarded(rule)) fail(rc);
        guarded = true;
        continue;  // the same start again, now under the clock and the full bounds
      }
    } else {
      rc = match(rule.guarded.get(), rule.guardedJit, text, offset, flags, rule.matchData.get(),
                 guardedContext_.get());
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

void Matcher::fail(int rc) const {
  std::uint64_t bound = 0;
  switch (rc) {
    case PCRE2_ERROR_CALLOUT:
      bound = static_cast<std::uint64_t>(deadline_.seconds);
      break;
    case PCRE2_ERROR_MATCHLIMIT:
      bound = bounds_.steps;
      break;
    case PCRE2_ERROR_DEPTHLIMIT:
      bound = bounds_.depth;
      break;
    case PCRE2_ERROR_HEAPLIMIT:
      bound = std::uint64_t{bounds_.heapKiB} * 1024;
      break;
    case PCRE2_ERROR_JIT_STACKLIMIT:
      bound = stackBytes_;
      break;
    default:
      break;
  }
  throw boundFailure(rc, bound);
}

}  // namespace morvelle::text::detail
