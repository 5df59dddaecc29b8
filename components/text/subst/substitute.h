#pragma once
// One Perl substitution (s/PATTERN/REPLACEMENT/FLAGS) applied to a whole UTF-16 text, with the
// result perl 5.36 gives for `$text =~ s///` on the same character string. PCRE2 only matches:
// the /g loop and the replacement expander are ours, because pcre2_substitute's expansion and
// empty-match rules are not perl's. A Substituter is not thread-safe; run one per thread.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace morvelle::text {

enum class SubstituteErrorKind {
  Syntax,       // not of the form s/…/…/flags
  Unsupported,  // valid perl that we refuse (code, variables, flags, PCRE2 gaps)
  Pattern,      // PCRE2 cannot compile the pattern
  Replacement,  // the replacement cannot be expanded as perl would
  TimeLimit,    // the deadline passed
  MatchLimit,   // a match, depth, heap or stack bound was hit
};

// The description is Japanese, names the cause and, for expression errors, the 1-based
// character position in the expression; PCRE2's own message may follow in parentheses.
class SubstituteError : public std::runtime_error {
 public:
  SubstituteError(SubstituteErrorKind kind, std::u16string description, std::size_t position);

  SubstituteErrorKind kind() const noexcept { return kind_; }
  const std::u16string& description() const noexcept { return description_; }
  // 1-based character position in the expression; 0 when the error is not tied to one.
  std::size_t position() const noexcept { return position_; }

 private:
  SubstituteErrorKind kind_;
  std::u16string description_;
  std::size_t position_;
};

struct SubstituteLimits {
  // Deadline of one call: perMegabyte for every 2^20 bytes of UTF-16 text, never less than
  // minimum. PCRE2's match limit restarts at each start position, so only a clock bounds a run.
  std::chrono::milliseconds minimumDeadline{1000};
  std::chrono::milliseconds deadlinePerMegabyte{3000};
  // The bounds of one match attempt. A match from one start may rightly read the whole text,
  // so each bound is the larger of its base and its rate per UTF-16 unit of the text: a rule
  // whose work grows linearly with the text never meets them, a rule that backtracks
  // exponentially meets them at once on a short text and within the deadline on a long one.
  std::uint32_t matchLimit = 1'000'000;     // per start position (PCRE2 default 10,000,000)
  std::uint32_t matchLimitPerUnit = 64;     // also the depth limit's rate
  std::uint32_t depthLimit = 1'000'000;     // interpreter only (default 10,000,000)
  std::uint32_t heapLimitKiB = 256 * 1024;  // interpreter only (default 20 GB)
  std::uint32_t heapBytesPerUnit = 512;     // a repeated group takes a few frames per unit
  std::size_t jitStackBytes = 64u << 20;    // reserved lazily
  std::size_t jitStackBytesPerUnit = 64;    // about 40 per repeat of a group; grown on need
  std::size_t cacheCapacity = 512;          // compiled expressions kept per Substituter
  bool enforceDeadline = true;              // off only to measure what the clock costs
  // Where every match consumes a literal, search for it first and try PCRE2 only near it;
  // off only to check that prefilter against trying every position.
  bool literalPrefilter = true;
  // Texts at least this long first skip units that cannot start a match (when the pattern
  // begins with a class); building that table costs about a millisecond.
  std::size_t startScanMinimum = 1u << 16;
};

// One replaced span, in UTF-16 units of the input text. Only spans whose text actually
// changes are listed, so an identity replacement leaves the file's bytes alone.
struct ReplacedSpan {
  std::size_t start = 0;
  std::size_t length = 0;
  std::u16string replacement;

  friend bool operator==(const ReplacedSpan&, const ReplacedSpan&) = default;
};

struct SubstituteResult {
  std::u16string text;
  std::vector<ReplacedSpan> spans;  // sorted, non-overlapping
  std::size_t count = 0;            // replacements made, as perl's s/// returns
};

// Where a rule's replacements go as they are made, in text order: a caller that applies them
// to its own text needs neither a second text nor a string per match.
class ReplacementSink {
 public:
  virtual ~ReplacementSink() = default;
  // [start, start + length) of the input becomes `replacement`, which differs from it and is
  // valid during the call only. What this throws ends the substitution and comes out of it.
  virtual void replace(std::size_t start, std::size_t length, std::u16string_view replacement) = 0;
};

// The three parts of a rule, for callers that hold them apart (perl's m'…' pattern, i.e.
// nothing interpolated, and a replacement written as between s/…/ and /).
struct RuleParts {
  std::u16string pattern;
  std::u16string replacement;
  std::u16string flags;
};

// A rule that replaces one text with another: every occurrence, leftmost first and never
// overlapping (only the first without /g), becomes `replacement`.
struct LiteralRule {
  std::u16string pattern;  // never empty
  std::u16string replacement;
  bool global = false;
};

class Substituter {
 public:
  explicit Substituter(SubstituteLimits limits = {});
  ~Substituter();
  Substituter(const Substituter&) = delete;
  Substituter& operator=(const Substituter&) = delete;

  // Throws SubstituteError.
  std::u16string apply(std::u16string_view expression, std::u16string_view text);
  SubstituteResult applyWithSpans(std::u16string_view expression, std::u16string_view text);
  // The replacements that change the text go to `sink`; returns perl's count.
  std::size_t applyTo(std::u16string_view expression, std::u16string_view text,
                      ReplacementSink& sink);
  SubstituteResult applyParts(const RuleParts& parts, std::u16string_view text);

  // Compiles (or finds in the cache) without applying; throws SubstituteError.
  void check(std::u16string_view expression);
  // Text that every match consumes, character for character (under /i only one without ASCII
  // letters): a text without it is left as it is. None when the rule may match without one.
  // Compiles as check() does; throws SubstituteError.
  std::optional<std::u16string> requiredText(std::u16string_view expression);
  // The rule as a text replaced by a text, when it is one; compiles as check() does.
  std::optional<LiteralRule> literalRule(std::u16string_view expression);

  const SubstituteLimits& limits() const noexcept;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// UTF-8 for what(), and the other way for callers holding UTF-8.
std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);

}  // namespace morvelle::text
