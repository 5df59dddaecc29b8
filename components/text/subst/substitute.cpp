#include "substitute.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>
#include <time.h>

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "case_mapping.h"
#include "expression.h"
#include "messages.h"
#include "pattern_rewrite.h"
#include "replacement.h"
#include "text/utf16.h"

namespace morvelle::text {
namespace {

using detail::failAt;
using detail::ParsedExpression;
using detail::ReplacementProgram;

// Every compiled pattern starts with this callout, so the deadline is read at each start
// position; PCRE2's own match limit restarts there and cannot bound a whole run.
constexpr std::u16string_view kDeadlinePrefix = u"(?C)";

std::int64_t nowNanoseconds() {
  timespec ts{};
  // The coarse clock costs a memory read; a few milliseconds of resolution is plenty.
  clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

struct Deadline {
  std::int64_t at = 0;
  std::int64_t seconds = 0;
  bool expired = false;
};

int onCallout(pcre2_callout_block_16*, void* data) {
  auto* deadline = static_cast<Deadline*>(data);
  if (nowNanoseconds() > deadline->at) {
    deadline->expired = true;
    return PCRE2_ERROR_CALLOUT;
  }
  return 0;
}

std::u16string pcreMessage(int code) {
  PCRE2_UCHAR16 buffer[256];
  int n = pcre2_get_error_message_16(code, buffer, 256);
  if (n < 0)
    return detail::concat(u"PCRE2 error ", detail::decimal(static_cast<std::size_t>(-code)));
  return std::u16string(reinterpret_cast<const char16_t*>(buffer), static_cast<std::size_t>(n));
}

std::u16string_view japaneseCompileMessage(int code) {
  switch (code) {
    case PCRE2_ERROR_END_BACKSLASH:
      return u"パターンが \\ で終わっています";
    case PCRE2_ERROR_QUANTIFIER_OUT_OF_ORDER:
      return u"量指定子 {n,m} の数が逆順です";
    case PCRE2_ERROR_MISSING_SQUARE_BRACKET:
      return u"文字クラスの ] がありません";
    case PCRE2_ERROR_CLASS_INVALID_RANGE:
      return u"文字クラスの範囲が正しくありません";
    case PCRE2_ERROR_QUANTIFIER_INVALID:
      return u"量指定子の前に繰り返せるものがありません";
    case PCRE2_ERROR_MISSING_CLOSING_PARENTHESIS:
      return u"括弧が閉じていません";
    case PCRE2_ERROR_UNMATCHED_CLOSING_PARENTHESIS:
      return u"対応する開き括弧のない閉じ括弧があります";
    case PCRE2_ERROR_BAD_SUBPATTERN_REFERENCE:
      return u"存在しないグループを参照しています";
    case PCRE2_ERROR_LOOKBEHIND_NOT_FIXED_LENGTH:
      return u"後読みの長さが一定ではありません (可変長の後読みには対応していません)";
    case PCRE2_ERROR_UNKNOWN_UNICODE_PROPERTY:
      return u"不明な Unicode の特性名です";
    case PCRE2_ERROR_UNSUPPORTED_ESCAPE_SEQUENCE:
      return u"対応していないエスケープです";
    case PCRE2_ERROR_UNKNOWN_ESCAPE:
      return u"不明なエスケープです";
    case PCRE2_ERROR_UNKNOWN_POSIX_CLASS:
      return u"不明な POSIX 文字クラスです";
    default:
      return u"正規表現の誤りです";
  }
}

// Rank of each capture group's ")" in the pattern, for $^N when two groups end together.
// Gives up (empty) on constructs whose numbering it does not follow, like branch reset.
std::vector<std::uint32_t> closeRanks(std::u16string_view p, const detail::RuleFlags& flags,
                                      std::uint32_t captureCount) {
  std::vector<std::uint32_t> rank(captureCount + 1, 0);
  std::vector<std::uint32_t> stack;  // group number, 0 for non-capturing
  std::uint32_t groups = 0;
  std::uint32_t closed = 0;
  bool inClass = false;
  for (std::size_t i = 0; i < p.size(); ++i) {
    char16_t c = p[i];
    if (c == u'\\') {
      if (i + 1 < p.size() && p[i + 1] == u'Q') {
        std::size_t end = p.find(u"\\E", i + 2);
        if (end == std::u16string_view::npos) break;
        i = end + 1;
      } else {
        ++i;
      }
      continue;
    }
    if (inClass) {
      if (c == u']') inClass = false;
      continue;
    }
    if (c == u'[') {
      inClass = true;
      if (i + 1 < p.size() && p[i + 1] == u'^') ++i;
      if (i + 1 < p.size() && p[i + 1] == u']') ++i;
    } else if (c == u'#' && flags.extended) {
      while (i < p.size() && p[i] != u'\n') ++i;
    } else if (c == u'(') {
      std::u16string_view rest = p.substr(i + 1);
      if (rest.starts_with(u"?#")) {
        std::size_t end = p.find(u')', i);
        if (end == std::u16string_view::npos) break;
        i = end;
        continue;
      }
      if (rest.starts_with(u"?|")) return {};
      bool named =
          rest.starts_with(u"?P<") || rest.starts_with(u"?'") ||
          (rest.starts_with(u"?<") && !rest.starts_with(u"?<=") && !rest.starts_with(u"?<!"));
      bool capture =
          named || (!rest.starts_with(u"?") && !rest.starts_with(u"*") && !flags.noAutoCapture);
      stack.push_back(capture ? ++groups : 0);
    } else if (c == u')' && !stack.empty()) {
      std::uint32_t g = stack.back();
      stack.pop_back();
      if (g != 0 && g <= captureCount) rank[g] = ++closed;
    }
  }
  if (groups != captureCount) return {};
  return rank;
}

// How a rule's matches are found. A literal pattern needs no regex engine. Otherwise the fast
// code runs without callouts over windows of start positions, with a low match limit and the
// clock read between calls; the first time a window is expensive (or the pattern uses \G,
// which windows would move) the guarded code takes over, with a callout at every start.
struct CompiledRule {
  std::u16string pattern;  // as given, for building the guarded code
  std::uint32_t options = 0;
  bool literal = false;
  bool usesG = false;
  pcre2_code_16* fast = nullptr;
  pcre2_code_16* guarded = nullptr;
  bool fastJit = false;
  bool guardedJit = false;
  pcre2_match_data_16* matchData = nullptr;
  bool global = false;
  ReplacementProgram replacement;
  std::vector<std::uint32_t> closeRank;
  // When every match starts with one class item (\p{…}, \d, […] …) that PCRE2 cannot scan
  // for by itself: that item alone, and once built, which UTF-16 units it admits.
  std::u16string leadingItem;
  std::vector<std::uint64_t> startUnits;

  bool admits(char16_t unit) const { return (startUnits[unit >> 6] >> (unit & 63)) & 1; }

  CompiledRule() = default;
  CompiledRule(const CompiledRule&) = delete;
  CompiledRule& operator=(const CompiledRule&) = delete;
  ~CompiledRule() {
    if (matchData) pcre2_match_data_free_16(matchData);
    if (fast) pcre2_code_free_16(fast);
    if (guarded) pcre2_code_free_16(guarded);
  }
};

// Start positions one fast call may try. With the fast match limit this keeps one call well
// under a second even where every position backtracks, and costs little on plain scans.
constexpr std::size_t kWindow = 512;

bool isLiteralPattern(std::u16string_view pattern, const detail::RuleFlags& flags) {
  if (pattern.empty() || flags.caseless || flags.extended) return false;
  for (char16_t c : pattern) {
    if (std::u16string_view(u"\\^$.|?*+()[]{}").find(c) != std::u16string_view::npos) return false;
    if (isSurrogate(c)) return false;  // pairs and strays: leave them to PCRE2
  }
  return true;
}

// Index of the ")" that closes the "(" at `open`, or the pattern's size.
std::size_t closingParen(std::u16string_view p, std::size_t open) {
  int depth = 0;
  bool inClass = false;
  for (std::size_t k = open; k < p.size(); ++k) {
    char16_t c = p[k];
    if (c == u'\\') {
      ++k;
    } else if (inClass) {
      if (c == u']') inClass = false;
    } else if (c == u'[') {
      inClass = true;
      if (k + 1 < p.size() && p[k + 1] == u'^') ++k;
      if (k + 1 < p.size() && p[k + 1] == u']') ++k;
    } else if (c == u'(') {
      ++depth;
    } else if (c == u')' && --depth == 0) {
      return k;
    }
  }
  return p.size();
}

// The class item every match must begin with, if the pattern is that simple: leading
// groups, then \p{…} \d \w \s \h \v (or their negations) or a bracketed class, not
// optional. No alternation anywhere, so no other branch can start elsewhere.
std::u16string leadingClassItem(std::u16string_view p, const detail::RuleFlags& flags) {
  if (flags.extended) return {};
  bool inClass = false;
  for (std::size_t k = 0; k < p.size(); ++k) {
    if (p[k] == u'\\') {
      if (k + 1 < p.size() && p[k + 1] == u'Q') return {};  // quoted text hides the structure
      ++k;
    } else if (p[k] == u'[' && !inClass) {
      inClass = true;
      if (k + 1 < p.size() && p[k + 1] == u'^') ++k;
      if (k + 1 < p.size() && p[k + 1] == u']') ++k;
    } else if (p[k] == u']' && inClass) {
      inClass = false;
    } else if (p[k] == u'|' && !inClass) {
      return {};
    }
  }
  auto optional = [&](std::size_t after) {
    if (after >= p.size()) return false;
    char16_t q = p[after];
    return q == u'*' || q == u'?' ||
           (q == u'{' && (after + 1 >= p.size() || p[after + 1] == u'0' || p[after + 1] == u','));
  };
  std::size_t i = 0;
  while (i < p.size() && p[i] == u'(') {
    if (optional(closingParen(p, i) + 1)) return {};
    if (p.substr(i, 3) == u"(?:") {
      i += 3;
    } else if (i + 1 < p.size() && (p[i + 1] == u'?' || p[i + 1] == u'*')) {
      return {};
    } else {
      ++i;
    }
  }
  std::size_t end = i;
  if (i + 1 < p.size() && p[i] == u'\\') {
    char16_t e = p[i + 1];
    if (std::u16string_view(u"dDwWsShHvV").find(e) != std::u16string_view::npos) {
      end = i + 2;
    } else if ((e == u'p' || e == u'P') && i + 2 < p.size()) {
      end = p[i + 2] == u'{' ? p.find(u'}', i + 2) + 1 : i + 3;
      if (end == 0) return {};
    } else {
      return {};
    }
  } else if (i < p.size() && p[i] == u'[') {
    std::size_t k = i + 1;
    if (k < p.size() && p[k] == u'^') ++k;
    if (k < p.size() && p[k] == u']') ++k;
    for (; k < p.size() && p[k] != u']'; ++k) {
      if (p[k] == u'\\') {
        ++k;
      } else if (p[k] == u'[' && k + 1 < p.size() && p[k + 1] == u':') {
        std::size_t close = p.find(u":]", k + 2);
        if (close == std::u16string_view::npos) return {};
        k = close + 1;
      }
    }
    if (k >= p.size()) return {};
    end = k + 1;
  } else {
    return {};
  }
  if (optional(end)) return {};
  return std::u16string(p.substr(i, end - i));
}

bool mentionsG(std::u16string_view pattern) {
  for (std::size_t i = 0; i + 1 < pattern.size(); ++i) {
    if (pattern[i] != u'\\') continue;
    if (pattern[i + 1] == u'G') return true;
    ++i;
  }
  return false;
}

struct CacheEntry {
  std::shared_ptr<CompiledRule> rule;
  std::optional<SubstituteError> error;
};

}  // namespace

struct Substituter::Impl {
  SubstituteLimits limits;
  pcre2_compile_context_16* compileContext = nullptr;
  pcre2_match_context_16* matchContext = nullptr;  // guarded: full limits, the callout
  pcre2_match_context_16* fastContext = nullptr;   // windows: offset limit, low match limit
  pcre2_jit_stack_16* jitStack = nullptr;
  Deadline deadline;
  detail::CaseMapper mapper;
  std::unordered_map<std::u16string, CacheEntry> cache;

  explicit Impl(SubstituteLimits l) : limits(l) {
    compileContext = pcre2_compile_context_create_16(nullptr);
    matchContext = pcre2_match_context_create_16(nullptr);
    fastContext = pcre2_match_context_create_16(nullptr);
    if (!compileContext || !matchContext || !fastContext) throw std::bad_alloc();
    pcre2_set_newline_16(compileContext, PCRE2_NEWLINE_LF);
    pcre2_set_bsr_16(compileContext, PCRE2_BSR_UNICODE);
    pcre2_set_match_limit_16(matchContext, limits.matchLimit);
    pcre2_set_depth_limit_16(matchContext, limits.depthLimit);
    pcre2_set_heap_limit_16(matchContext, limits.heapLimitKiB);
    pcre2_set_callout_16(matchContext, onCallout, &deadline);
    pcre2_set_match_limit_16(fastContext, std::max<std::uint32_t>(1, limits.matchLimit / 20));
    pcre2_set_depth_limit_16(fastContext, limits.depthLimit);
    pcre2_set_heap_limit_16(fastContext, limits.heapLimitKiB);
    jitStack = pcre2_jit_stack_create_16(32 * 1024, limits.jitStackBytes, nullptr);
    if (jitStack) {
      pcre2_jit_stack_assign_16(matchContext, nullptr, jitStack);
      pcre2_jit_stack_assign_16(fastContext, nullptr, jitStack);
    }
  }

  ~Impl() {
    if (jitStack) pcre2_jit_stack_free_16(jitStack);
    pcre2_match_context_free_16(matchContext);
    pcre2_match_context_free_16(fastContext);
    pcre2_compile_context_free_16(compileContext);
  }

  std::shared_ptr<CompiledRule> lookup(std::u16string_view expression) {
    std::u16string key(expression);
    auto found = cache.find(key);
    if (found == cache.end()) {
      CacheEntry entry;
      try {
        ParsedExpression parsed = detail::parseExpression(expression);
        entry.rule = compile(parsed, expression);
      } catch (const SubstituteError& error) {
        entry.error = error;
      }
      if (cache.size() >= limits.cacheCapacity) cache.clear();
      found = cache.emplace(std::move(key), std::move(entry)).first;
    }
    if (found->second.error) throw *found->second.error;
    return found->second.rule;
  }

  std::shared_ptr<CompiledRule> compile(ParsedExpression parsed, std::u16string_view source) {
    detail::resolveCharacterNames(parsed, source);
    detail::dropCharsetModifiers(parsed);
    detail::checkPattern(parsed, source);
    detail::rewriteWordsAndRanges(parsed);
    const detail::RuleFlags& f = parsed.flags;
    std::uint32_t options =
        PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_DUPNAMES | PCRE2_NEVER_BACKSLASH_C;
    if (!f.ascii) options |= PCRE2_UCP;  // /a: \d \s \w and POSIX classes stay ASCII
    if (f.caseless) options |= PCRE2_CASELESS;
    if (f.multiline) options |= PCRE2_MULTILINE;
    if (f.dotall) options |= PCRE2_DOTALL;
    if (f.extended == 1) options |= PCRE2_EXTENDED;
    if (f.extended == 2) options |= PCRE2_EXTENDED_MORE;
    if (f.noAutoCapture) options |= PCRE2_NO_AUTO_CAPTURE;

    auto rule = std::make_shared<CompiledRule>();
    rule->pattern = parsed.pattern;
    rule->options = options;
    rule->global = f.global;
    rule->replacement = detail::compileReplacement(parsed.replacement, parsed.replacementOrigin,
                                                   parsed.interpolateReplacement, source);
    std::uint32_t captureCount = 0;
    if (isLiteralPattern(parsed.pattern, f)) {
      rule->literal = true;
      bind(rule->replacement, nullptr, 0, source);
      return rule;
    }
    rule->usesG = mentionsG(parsed.pattern);
    if (rule->usesG) {
      buildGuarded(*rule, &parsed, source);
    } else {
      rule->fast =
          compileCode(parsed.pattern, options | PCRE2_USE_OFFSET_LIMIT, 0, &parsed, source);
      rule->fastJit = pcre2_jit_compile_16(rule->fast, PCRE2_JIT_COMPLETE) == 0;
      std::uint32_t firstType = 0;
      std::uint32_t all = 0;
      pcre2_pattern_info_16(rule->fast, PCRE2_INFO_FIRSTCODETYPE, &firstType);
      pcre2_pattern_info_16(rule->fast, PCRE2_INFO_ALLOPTIONS, &all);
      if (firstType == 0 && !(all & PCRE2_ANCHORED)) {
        rule->leadingItem = leadingClassItem(parsed.pattern, f);
      }
    }
    const pcre2_code_16* code = rule->fast ? rule->fast : rule->guarded;
    rule->matchData = pcre2_match_data_create_from_pattern_16(code, nullptr);
    if (!rule->matchData) throw std::bad_alloc();
    pcre2_pattern_info_16(code, PCRE2_INFO_CAPTURECOUNT, &captureCount);
    bind(rule->replacement, code, captureCount, source);
    rule->closeRank = closeRanks(parsed.pattern, f, captureCount);
    return rule;
  }

  // Runs the leading item over a string of every BMP character once, so the table costs a
  // few hundred matches of runs, not 64K calls. Surrogates always pass: the pair decides.
  void buildStartUnits(CompiledRule& rule) {
    std::u16string item = u"(?:" + rule.leadingItem + u")+";
    rule.leadingItem.clear();
    int error = 0;
    PCRE2_SIZE where = 0;
    pcre2_code_16* code = pcre2_compile_16(reinterpret_cast<PCRE2_SPTR16>(item.data()), item.size(),
                                           rule.options, &error, &where, compileContext);
    if (!code) return;
    bool jit = pcre2_jit_compile_16(code, PCRE2_JIT_COMPLETE) == 0;
    pcre2_match_data_16* data = pcre2_match_data_create_16(1, nullptr);
    std::u16string every;
    every.reserve(0x10000 - 0x800);
    for (std::uint32_t c = 0; c < 0x10000; ++c) {
      if (c < 0xD800 || c > 0xDFFF) every += static_cast<char16_t>(c);
    }
    auto unitAt = [](std::size_t index) { return index < 0xD800 ? index : index + 0x800; };
    std::vector<std::uint64_t> bits(1024, 0);
    auto admit = [&bits](std::size_t c) { bits[c >> 6] |= std::uint64_t{1} << (c & 63); };
    for (std::size_t c = 0xD800; c <= 0xDFFF; ++c) admit(c);
    auto subject = reinterpret_cast<PCRE2_SPTR16>(every.data());
    PCRE2_SIZE* ovector = pcre2_get_ovector_pointer_16(data);
    for (std::size_t offset = 0; offset < every.size();) {
      int rc = jit ? pcre2_jit_match_16(code, subject, every.size(), offset, 0, data, matchContext)
                   : pcre2_match_16(code, subject, every.size(), offset, 0, data, matchContext);
      if (rc == PCRE2_ERROR_NOMATCH) break;
      if (rc < 0 || ovector[1] <= ovector[0]) {  // in doubt, every unit may start a match
        bits.assign(1024, ~std::uint64_t{0});
        break;
      }
      for (std::size_t k = ovector[0]; k < ovector[1]; ++k) admit(unitAt(k));
      offset = ovector[1];
    }
    pcre2_match_data_free_16(data);
    pcre2_code_free_16(code);
    rule.startUnits = std::move(bits);
  }

  // `parsed` and `source` place compile errors; without them (a later rebuild of a pattern
  // that compiled once) a failure gives nullptr.
  pcre2_code_16* compileCode(std::u16string_view body, std::uint32_t options,
                             std::size_t prefixLength, const ParsedExpression* parsed,
                             std::u16string_view source) {
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code_16* code = pcre2_compile_16(reinterpret_cast<PCRE2_SPTR16>(body.data()), body.size(),
                                           options, &errorCode, &errorOffset, compileContext);
    if (code || !parsed) return code;
    std::size_t at = errorOffset > prefixLength ? errorOffset - prefixLength : 0;
    std::size_t index = at < parsed->patternOrigin.size() ? parsed->patternOrigin[at]
                                                          : parsed->patternOrigin.back();
    std::u16string detail(japaneseCompileMessage(errorCode));
    detail += detail::concat(u" (", pcreMessage(errorCode), u")");
    failAt(SubstituteErrorKind::Pattern, detail::kPatternHead, source, index, detail);
  }

  void buildGuarded(CompiledRule& rule, const ParsedExpression* parsed,
                    std::u16string_view source) {
    if (rule.guarded) return;
    std::u16string_view prefix = limits.enforceDeadline ? kDeadlinePrefix : std::u16string_view();
    std::u16string body(prefix);
    body += rule.pattern;
    rule.guarded = compileCode(body, rule.options, prefix.size(), parsed, source);
    rule.guardedJit = rule.guarded && pcre2_jit_compile_16(rule.guarded, PCRE2_JIT_COMPLETE) == 0;
  }

  // perl would quietly interpolate an empty string for a group the pattern lacks; that is
  // almost always a mistake in a rule, so it is an error here.
  static void bind(ReplacementProgram& program, const pcre2_code_16* code,
                   std::uint32_t captureCount, std::u16string_view source) {
    for (detail::Piece& piece : program.pieces) {
      if (piece.kind == detail::PieceKind::Group && piece.group > captureCount) {
        failAt(SubstituteErrorKind::Replacement, detail::kReplacementHead, source, piece.origin,
               detail::concat(u"グループ ", detail::decimal(piece.group),
                              u" はパターンにありません (グループは ",
                              detail::decimal(captureCount), u" 個です)"));
      }
      if (piece.kind == detail::PieceKind::Named) {
        piece.groups = namedGroups(code, piece.text);
        if (piece.groups.empty()) {
          failAt(SubstituteErrorKind::Replacement, detail::kReplacementHead, source, piece.origin,
                 detail::concat(u"名前付きグループ 「", piece.text, u"」 はパターンにありません"));
        }
      }
    }
  }

  // Groups of that name in ascending order, so that the first set one is the leftmost.
  static std::vector<std::uint32_t> namedGroups(const pcre2_code_16* code,
                                                const std::u16string& name) {
    if (!code) return {};
    std::uint32_t count = 0;
    std::uint32_t entrySize = 0;
    PCRE2_SPTR16 table = nullptr;
    pcre2_pattern_info_16(code, PCRE2_INFO_NAMECOUNT, &count);
    pcre2_pattern_info_16(code, PCRE2_INFO_NAMEENTRYSIZE, &entrySize);
    pcre2_pattern_info_16(code, PCRE2_INFO_NAMETABLE, &table);
    std::vector<std::uint32_t> groups;
    for (std::uint32_t k = 0; k < count; ++k) {
      PCRE2_SPTR16 entry = table + static_cast<std::size_t>(k) * entrySize;
      std::u16string_view entryName(reinterpret_cast<const char16_t*>(entry + 1));
      if (entryName == name) groups.push_back(entry[0]);
    }
    std::sort(groups.begin(), groups.end());
    return groups;
  }

  template <bool kSpans>
  SubstituteResult run(CompiledRule& rule, std::u16string_view text) {
    SubstituteResult result;
    result.text.reserve(text.size() + text.size() / 8);
    std::int64_t bytes = static_cast<std::int64_t>(text.size()) * 2;
    std::int64_t budgetMs = std::max<std::int64_t>(
        limits.minimumDeadline.count(), limits.deadlinePerMegabyte.count() * bytes / (1 << 20));
    deadline.at = nowNanoseconds() + budgetMs * 1'000'000;
    deadline.seconds = (budgetMs + 999) / 1000;
    deadline.expired = false;

    if (rule.literal) return runLiteral<kSpans>(rule, text, std::move(result));

    auto subject = reinterpret_cast<PCRE2_SPTR16>(text.data());
    PCRE2_SIZE* ovector = pcre2_get_ovector_pointer_16(rule.matchData);
    bool guarded = rule.fast == nullptr;
    if (!rule.leadingItem.empty() && text.size() >= limits.startScanMinimum) buildStartUnits(rule);
    const bool skipping = !rule.startUnits.empty();
    std::size_t copied = 0;
    std::size_t offset = 0;
    std::uint32_t options = 0;
    bool lastEmpty = false;
    for (;;) {
      std::uint32_t flags = options | (lastEmpty ? PCRE2_NOTEMPTY_ATSTART : 0);
      std::size_t limit = text.size();
      int rc;
      if (!guarded) {
        limit = std::min(text.size(), offset + kWindow);
        if (skipping) {
          // Try only the run of units that may start a match; PCRE2 would test the others
          // one by one at a higher cost.
          while (offset < text.size() && !rule.admits(text[offset])) ++offset;
          if (offset >= text.size()) break;
          limit = offset;
          while (limit + 1 < text.size() && limit - offset < kWindow &&
                 rule.admits(text[limit + 1]))
            ++limit;
        }
        pcre2_set_offset_limit_16(fastContext, limit);
        rc = rule.fastJit ? pcre2_jit_match_16(rule.fast, subject, text.size(), offset, flags,
                                               rule.matchData, fastContext)
                          : pcre2_match_16(rule.fast, subject, text.size(), offset, flags,
                                           rule.matchData, fastContext);
        if (rc == PCRE2_ERROR_MATCHLIMIT && limits.enforceDeadline) {
          buildGuarded(rule, nullptr, {});
          if (!rule.guarded) fail(rc);
          guarded = true;
          continue;  // the same start again, now under the clock
        }
      } else {
        rc = rule.guardedJit ? pcre2_jit_match_16(rule.guarded, subject, text.size(), offset, flags,
                                                  rule.matchData, matchContext)
                             : pcre2_match_16(rule.guarded, subject, text.size(), offset, flags,
                                              rule.matchData, matchContext);
      }
      options = PCRE2_NO_UTF_CHECK;  // checked once; checking at every offset is quadratic
      if (limits.enforceDeadline && nowNanoseconds() > deadline.at) fail(PCRE2_ERROR_CALLOUT);
      if (rc == PCRE2_ERROR_NOMATCH) {
        if (guarded || limit >= text.size()) break;
        offset = limit + 1;
        // Never start a window between the halves of a surrogate pair.
        if (splitsPair(text, offset)) ++offset;
        if (offset > text.size()) break;
        lastEmpty = false;
        continue;
      }
      if (rc < 0) fail(rc);
      std::size_t start = ovector[0];
      std::size_t end = ovector[1];
      if (end < start) end = start;  // \K after the end; perl refuses such patterns too
      detail::MatchGroups groups{text, ovector, static_cast<std::uint32_t>(rc), &rule.closeRank};
      emit<kSpans>(rule, groups, start, end, copied, result);
      if (!rule.global) break;
      lastEmpty = start == end;
      offset = end;
      if (lastEmpty && offset >= text.size()) break;
    }
    result.text.append(text.substr(std::min(copied, text.size())));
    return result;
  }

  template <bool kSpans>
  void emit(const CompiledRule& rule, const detail::MatchGroups& groups, std::size_t start,
            std::size_t end, std::size_t& copied, SubstituteResult& result) {
    std::u16string_view text = groups.subject;
    result.text.append(text.substr(copied, start - copied));
    std::size_t before = result.text.size();
    detail::expand(rule.replacement, groups, mapper, result.text);
    if constexpr (kSpans) {
      std::u16string_view produced = std::u16string_view(result.text).substr(before);
      if (produced != text.substr(start, end - start)) {
        result.spans.push_back(ReplacedSpan{start, end - start, std::u16string(produced)});
      }
    }
    copied = std::max(copied, end);
    ++result.count;
  }

  // A pattern without metacharacters matches where the text holds it, leftmost first.
  template <bool kSpans>
  SubstituteResult runLiteral(const CompiledRule& rule, std::u16string_view text,
                              SubstituteResult result) {
    std::u16string_view needle = rule.pattern;
    const std::size_t m = needle.size();
    const std::size_t anchor = rarestUnit(needle);
    const char16_t key = needle[anchor];
    PCRE2_SIZE ovector[2] = {0, 0};
    std::size_t copied = 0;
    std::size_t pos = 0;
    const char16_t* data = text.data();
    while (pos + m <= text.size()) {
      std::size_t hit = findUnit(data, text.size() - (m - 1 - anchor), pos + anchor, key);
      if (hit == std::u16string_view::npos) break;
      std::size_t at = hit - anchor;
      if (std::char_traits<char16_t>::compare(data + at, needle.data(), m) != 0) {
        pos = at + 1;
        continue;
      }
      ovector[0] = at;
      ovector[1] = at + m;
      detail::MatchGroups groups{text, ovector, 1, &rule.closeRank};
      emit<kSpans>(rule, groups, at, at + m, copied, result);
      if (!rule.global) break;
      pos = at + m;
    }
    result.text.append(text.substr(copied));
    return result;
  }

  // The unit to scan for: anything outside ASCII, else the letter English uses least.
  static std::size_t rarestUnit(std::u16string_view needle) {
    constexpr std::u16string_view kCommonFirst = u" etaoinshrdlcumwfgypbvkjxqz";
    std::size_t best = 0;
    std::size_t bestRank = 0;
    for (std::size_t i = 0; i < needle.size(); ++i) {
      char16_t c = needle[i];
      char16_t lower = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
      std::size_t where = kCommonFirst.find(lower);
      std::size_t rank = c >= 0x80 ? 1000 : where == std::u16string_view::npos ? 100 : where;
      if (rank > bestRank) {
        bestRank = rank;
        best = i;
      }
    }
    return best;
  }

  // First index >= from and < end holding c. Blocks of 16 units without an early exit let
  // the compiler compare them with vector instructions.
  static std::size_t findUnit(const char16_t* data, std::size_t end, std::size_t from, char16_t c) {
    std::size_t i = from;
    for (; i + 16 <= end; i += 16) {
      unsigned any = 0;
      for (std::size_t k = 0; k < 16; ++k) any |= data[i + k] == c;
      if (any) break;
    }
    for (; i < end; ++i) {
      if (data[i] == c) return i;
    }
    return std::u16string_view::npos;
  }

  [[noreturn]] void fail(int rc) {
    std::u16string why;
    SubstituteErrorKind kind = SubstituteErrorKind::MatchLimit;
    switch (rc) {
      case PCRE2_ERROR_CALLOUT:
        kind = SubstituteErrorKind::TimeLimit;
        why = detail::concat(u"制限時間 ",
                             detail::decimal(static_cast<std::size_t>(deadline.seconds)),
                             u" 秒を超えました");
        break;
      case PCRE2_ERROR_MATCHLIMIT:
        why = u"照合の試行回数が上限を超えました";
        break;
      case PCRE2_ERROR_DEPTHLIMIT:
        why = u"照合の深さが上限を超えました";
        break;
      case PCRE2_ERROR_HEAPLIMIT:
      case PCRE2_ERROR_NOMEMORY:
        why = u"照合に使うメモリが上限を超えました";
        break;
      case PCRE2_ERROR_JIT_STACKLIMIT:
        why = u"照合に使うスタックが上限を超えました";
        break;
      default:
        why = detail::concat(u"照合中に誤りが起きました (", pcreMessage(rc), u")");
        throw SubstituteError(SubstituteErrorKind::MatchLimit,
                              detail::concat(u"置換できません: ", why), 0);
    }
    throw SubstituteError(
        kind,
        detail::concat(u"置換を中止しました: この式はこのテキストに対して時間がかかりすぎます (",
                       why, u")"),
        0);
  }
};

Substituter::Substituter(SubstituteLimits limits) : impl_(std::make_unique<Impl>(limits)) {}
Substituter::~Substituter() = default;

const SubstituteLimits& Substituter::limits() const noexcept { return impl_->limits; }

void Substituter::check(std::u16string_view expression) { impl_->lookup(expression); }

std::u16string Substituter::apply(std::u16string_view expression, std::u16string_view text) {
  std::shared_ptr<CompiledRule> rule = impl_->lookup(expression);
  return impl_->run<false>(*rule, text).text;
}

SubstituteResult Substituter::applyWithSpans(std::u16string_view expression,
                                             std::u16string_view text) {
  std::shared_ptr<CompiledRule> rule = impl_->lookup(expression);
  return impl_->run<true>(*rule, text);
}

SubstituteResult Substituter::applyParts(const RuleParts& parts, std::u16string_view text) {
  // Error positions count in "pattern replacement flags", the parts joined by one blank.
  std::u16string source = parts.pattern + u" " + parts.replacement + u" " + parts.flags;
  ParsedExpression parsed;
  parsed.pattern = parts.pattern;
  for (std::size_t i = 0; i <= parts.pattern.size(); ++i) parsed.patternOrigin.push_back(i);
  parsed.replacement = parts.replacement;
  std::size_t base = parts.pattern.size() + 1;
  for (std::size_t i = 0; i <= parts.replacement.size(); ++i) {
    parsed.replacementOrigin.push_back(base + i);
  }
  parsed.interpolatePattern = false;
  parsed.flags = detail::parseFlags(parts.flags, source, base + parts.replacement.size() + 1);
  std::shared_ptr<CompiledRule> rule = impl_->compile(parsed, source);
  return impl_->run<true>(*rule, text);
}

}  // namespace morvelle::text
