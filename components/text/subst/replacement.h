#pragma once
// The replacement part as perl reads it between the delimiters: a double-quoted string with
// capture variables and the case modifiers \u \l \U \L \F \Q \E, or (with ' delimiters) a
// literal. Compiled once into pieces; expanded once per match.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvelle::text::detail {

class CaseMapper;

enum class PieceKind : std::uint8_t {
  Literal,
  Group,       // $1 ${1} \1
  Named,       // $+{name}: leftmost set group of that name
  Match,       // $& ${^MATCH}
  Prematch,    // $` ${^PREMATCH}
  Postmatch,   // $' ${^POSTMATCH}
  LastParen,   // $+
  LastClosed,  // $^N
  Open,        // start of a case modifier's reach
  Close,
};

struct Piece {
  PieceKind kind = PieceKind::Literal;
  char16_t op = 0;                    // Open: one of u l U L F Q
  std::uint32_t group = 0;            // Group
  std::u16string text;                // Literal text, or the name of Named
  std::vector<std::uint32_t> groups;  // Named, filled in when bound to a pattern
  std::size_t origin = 0;             // index in the expression, for errors
};

struct ReplacementProgram {
  std::vector<Piece> pieces;
  bool hasCaseChanges = false;
};

// Throws SubstituteError; `origin` maps indexes of `replacement` into `source`.
ReplacementProgram compileReplacement(std::u16string_view replacement,
                                      const std::vector<std::size_t>& origin, bool interpolate,
                                      std::u16string_view source);

// One match as the expander sees it; offsets follow PCRE2's ovector (unset = SIZE_MAX).
struct MatchGroups {
  std::u16string_view subject;
  const std::size_t* ovector = nullptr;
  std::uint32_t setCount = 0;  // pcre2_match's return value
  // Rank of each group's closing parenthesis in the pattern, for $^N's tie-break.
  const std::vector<std::uint32_t>* closeRank = nullptr;
};

void expand(const ReplacementProgram& program, const MatchGroups& match, CaseMapper& mapper,
            std::u16string& out);

}  // namespace morvelle::text::detail
