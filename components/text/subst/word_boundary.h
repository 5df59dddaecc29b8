#pragma once
// What the characters on each side of a \b must be, read from the tokens around it, so that
// the common `\bword\b` needs one lookaround instead of an alternation of two pairs: the
// alternation would hide the pattern's first characters from PCRE2's start-of-match search.

#include <cstddef>
#include <vector>

#include "pattern_lexer.h"

namespace morvelle::text::detail {

enum class Side { Word, NonWord, Unknown };

class BoundaryContext {
 public:
  explicit BoundaryContext(const std::vector<Token>& tokens) : t_(tokens) {}

  // The first character of every match of the atom starting at `i`.
  Side firstOf(std::size_t i, int depth = 0) const;
  // The last character of every match of the atom whose last token is `i`.
  Side lastOf(std::size_t i, int depth = 0) const;
  // The atom starting at `i` may match nothing.
  bool optional(std::size_t i) const;

 private:
  Side sideOfClass(std::size_t open) const;

  const std::vector<Token>& t_;
};

}  // namespace morvelle::text::detail
