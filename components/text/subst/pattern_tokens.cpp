// Walking the lexer's tokens: inline modifiers, neighbours past ignored text, atoms, branches.

#include "pattern_lexer.h"

namespace morvelle::text::detail {

TokenMode withModifiers(TokenMode mode, std::u16string_view letters) {
  bool on = true;
  for (std::size_t k = 0; k < letters.size(); ++k) {
    switch (letters[k]) {
      case u'^':  // perl's defaults, d-imnsx; d is Unicode on a character string
        mode = TokenMode{};
        break;
      case u'u':
      case u'd':
        mode.unicode = true;
        break;
      case u'a':
        mode.unicode = false;
        break;
      case u'-':
        on = false;
        break;
      case u'i':
        mode.caseless = on;
        break;
      case u'm':
        mode.multiline = on;
        break;
      case u's':
        mode.dotall = on;
        break;
      case u'n':
        mode.noAutoCapture = on;
        break;
      case u'x':
        if (!on) {
          mode.extended = 0;
        } else if (k + 1 < letters.size() && letters[k + 1] == u'x') {
          mode.extended = 2;
          ++k;
        } else if (mode.extended == 0) {
          mode.extended = 1;
        }
        break;
      default:
        break;  // charset and PCRE2-only letters: no effect on how the pattern is read
    }
  }
  return mode;
}

std::size_t skipSpace(const std::vector<Token>& tokens, std::size_t i) {
  while (i < tokens.size() && tokens[i].kind == TokenKind::Space) ++i;
  return i;
}

std::size_t previousNonSpace(const std::vector<Token>& tokens, std::size_t i) {
  while (i > 0) {
    --i;
    if (tokens[i].kind != TokenKind::Space) return i;
  }
  return kNoPartner;
}

std::size_t atomEnd(const std::vector<Token>& tokens, std::size_t i) {
  const Token& t = tokens[i];
  if (t.kind != TokenKind::GroupOpen && t.kind != TokenKind::ClassOpen) return i;
  return t.partner == kNoPartner ? tokens.size() - 1 : t.partner;
}

std::size_t quantifierAfter(const std::vector<Token>& tokens, std::size_t last) {
  std::size_t q = skipSpace(tokens, last + 1);
  return q < tokens.size() && tokens[q].kind == TokenKind::Quantifier ? q : kNoPartner;
}

std::vector<std::pair<std::size_t, std::size_t>> branchesOf(const std::vector<Token>& tokens,
                                                            std::size_t open) {
  std::size_t begin = open == kNoPartner ? 0 : open + 1;
  std::size_t end = open == kNoPartner || tokens[open].partner == kNoPartner ? tokens.size()
                                                                             : tokens[open].partner;
  std::vector<std::pair<std::size_t, std::size_t>> branches;
  std::size_t from = begin;
  for (std::size_t k = begin; k < end; ++k) {
    const Token& t = tokens[k];
    if ((t.kind == TokenKind::GroupOpen || t.kind == TokenKind::ClassOpen) &&
        t.partner != kNoPartner) {
      k = t.partner;
    } else if (t.kind == TokenKind::Alternation) {
      branches.emplace_back(from, k);
      from = k + 1;
    }
  }
  branches.emplace_back(from, end);
  return branches;
}

}  // namespace morvelle::text::detail
