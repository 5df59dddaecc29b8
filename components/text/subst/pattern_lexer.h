#pragma once
// One reading of a pattern, the way PCRE2 10.42 will read it: every scan of a pattern (the
// refusals, the rewrites before PCRE2, the analyses after it) walks these tokens, so no two
// of them can disagree about where a class, a group or a quoted run ends. The lexer never
// fails: what it cannot place becomes an Other token, and PCRE2 reports it if it is an error.
//
// The tokens are flat, with the partner of every bracket recorded, so an analysis can walk a
// branch, jump over a group, or look at the quantifier behind an atom without building a tree;
// each carries the flags in force (/i, /x) and, for a character, its code point, which is what
// finding the literal text every match must contain needs.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace morvelle::text::detail {

struct RuleFlags;

enum class TokenKind : std::uint8_t {
  Literal,        // one character matched as itself; `value` is its code point
  Type,           // \d \D \w \W \s \S \h \H \v \V \R \X \N \C, \p{…} \P{…}; `value` the letter
  Dot,            // .
  Assertion,      // ^ $ \b \B \A \z \Z \G \K, \b{…} \B{…}; `value` the letter or ^ $
  Backreference,  // \1 \g{…} \k<…> (?P=name)
  ClassOpen,      // [ or [^ (`negated`)
  ClassClose,     // ]
  Range,          // the - between the two ends of a range inside a class
  Posix,          // [:name:] or [:^name:] (`negated`) inside a class
  GroupOpen,      // ( and its head: "(", "(?:", "(?<name>", "(?i-x:", "(*pla:" …
  GroupClose,     // )
  FlagSet,        // (?i) (?^x) …: changes the flags up to the end of the enclosing group
  Alternation,    // |
  Quantifier,     // * + ? {n} {n,} {n,m}, with a lazy ? or possessive + after it
  Verb,           // (*VERB) (*VERB:NAME), whole
  Call,           // (?R) (?1) (?&name) (?P>name) \g<…>, whole
  Callout,        // (?C…), whole
  Space,          // ignored text: blanks and # comments under /x, (?#…), \Q and \E themselves
  Other,          // what the lexer does not place, such as an unknown escape
};

enum class GroupKind : std::uint8_t {
  Capture,
  NamedCapture,
  NonCapture,  // also (?i:…)
  Atomic,
  BranchReset,
  Lookahead,
  NegativeLookahead,
  Lookbehind,
  NegativeLookbehind,
  Conditional,
  Other,  // script runs, non-atomic assertions and what the lexer cannot name
};

// The flags in force at a token, after inline modifiers.
struct TokenMode {
  bool caseless = false;
  bool multiline = false;
  bool dotall = false;
  bool noAutoCapture = false;
  bool unicode = true;        // \d \s \w and the POSIX classes: false under /a
  std::uint8_t extended = 0;  // 1 for x, 2 for xx
};

inline constexpr std::uint32_t kUnbounded = UINT32_MAX;
inline constexpr std::size_t kNoPartner = SIZE_MAX;

struct Token {
  TokenKind kind = TokenKind::Other;
  GroupKind group = GroupKind::Other;  // GroupOpen
  bool negated = false;                // ClassOpen, Posix, \P{…} and \p{^…}
  bool inClass = false;
  bool quoted = false;  // a Literal between \Q and \E
  TokenMode mode;
  std::size_t begin = 0;  // units of the pattern
  std::size_t end = 0;
  char32_t value = 0;
  std::uint32_t min = 0;  // Quantifier
  std::uint32_t max = 0;
  std::uint32_t capture = 0;  // GroupOpen of a capturing group: its number (not under (?|…))
  std::size_t partner = kNoPartner;  // GroupOpen/GroupClose, ClassOpen/ClassClose: the other one

  bool escaped(std::u16string_view pattern) const { return end > begin && pattern[begin] == u'\\'; }
  bool isLiteral(char32_t c) const { return kind == TokenKind::Literal && value == c; }
};

struct PatternTokens {
  std::vector<Token> tokens;
  std::uint32_t captures = 0;  // capturing groups counted in order; unreliable with branch reset
  bool branchReset = false;
};

PatternTokens lexPattern(std::u16string_view pattern, const RuleFlags& flags);

// The mode after inline modifier letters such as "i-x" or "^s".
TokenMode withModifiers(TokenMode mode, std::u16string_view letters);

// Index of the next token at or after `i` that is not Space; tokens.size() if none.
std::size_t skipSpace(const std::vector<Token>& tokens, std::size_t i);
// Index of the last token before `i` that is not Space; kNoPartner if none.
std::size_t previousNonSpace(const std::vector<Token>& tokens, std::size_t i);

// The last token of the atom starting at `i` (the partner of a bracket, else `i`).
std::size_t atomEnd(const std::vector<Token>& tokens, std::size_t i);
// The Quantifier applied to the atom ending at `last`, or kNoPartner.
std::size_t quantifierAfter(const std::vector<Token>& tokens, std::size_t last);

// The branches of the group opened at `open` (or of the whole pattern for kNoPartner), as
// [first, end) token ranges without the bars.
std::vector<std::pair<std::size_t, std::size_t>> branchesOf(const std::vector<Token>& tokens,
                                                            std::size_t open);

}  // namespace morvelle::text::detail
