#include "word_boundary.h"

#include <optional>

namespace morvelle::text::detail {
namespace {

// Deeper nesting is read as unknown: the plain boundary is always right, only slower.
constexpr int kDepth = 16;

Side combine(std::optional<Side> a, Side b) { return !a || *a == b ? b : Side::Unknown; }

Side sideOfCharacter(char32_t c) {
  if (c >= 0x80) return Side::Unknown;  // Unicode tables are PCRE2's business
  bool word =
      (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
  return word ? Side::Word : Side::NonWord;
}

Side sideOfRange(char32_t low, char32_t high) {
  if (high >= 0x80 || low > high) return Side::Unknown;
  Side side = sideOfCharacter(low);
  for (char32_t c = low + 1; c <= high; ++c) side = combine(side, sideOfCharacter(c));
  return side;
}

Side sideOfType(char32_t letter) {
  switch (letter) {
    case u'w':
    case u'd':  // decimal digits are word characters
      return Side::Word;
    case u'W':
    case u's':
    case u'h':
    case u'v':
      return Side::NonWord;
    default:
      return Side::Unknown;
  }
}

bool consumes(GroupKind kind) {
  return kind == GroupKind::Capture || kind == GroupKind::NamedCapture ||
         kind == GroupKind::NonCapture || kind == GroupKind::Atomic;
}

}  // namespace

Side BoundaryContext::firstOf(std::size_t i, int depth) const {
  if (i >= t_.size() || depth > kDepth) return Side::Unknown;
  const Token& t = t_[i];
  switch (t.kind) {
    case TokenKind::Literal:
      return sideOfCharacter(t.value);
    case TokenKind::Type:
      return sideOfType(t.value);
    case TokenKind::ClassOpen:
      return sideOfClass(i);
    case TokenKind::GroupOpen: {
      if (!consumes(t.group) || t.partner == kNoPartner) return Side::Unknown;
      std::optional<Side> side;
      for (auto [begin, end] : branchesOf(t_, i)) {
        std::size_t f = skipSpace(t_, begin);
        side = combine(side, f < end && !optional(f) ? firstOf(f, depth + 1) : Side::Unknown);
      }
      return side.value_or(Side::Unknown);
    }
    default:
      return Side::Unknown;
  }
}

Side BoundaryContext::lastOf(std::size_t i, int depth) const {
  if (i >= t_.size() || depth > kDepth) return Side::Unknown;
  const Token& t = t_[i];
  switch (t.kind) {
    case TokenKind::Quantifier: {
      std::size_t atom = previousNonSpace(t_, i);
      return t.min == 0 || atom == kNoPartner ? Side::Unknown : lastOf(atom, depth + 1);
    }
    case TokenKind::Literal:
    case TokenKind::Type:
      return firstOf(i);
    case TokenKind::ClassClose:
      return t.partner == kNoPartner ? Side::Unknown : sideOfClass(t.partner);
    case TokenKind::GroupClose: {
      if (t.partner == kNoPartner || !consumes(t_[t.partner].group)) return Side::Unknown;
      std::optional<Side> side;
      for (auto [begin, end] : branchesOf(t_, t.partner)) {
        std::size_t last = previousNonSpace(t_, end);
        bool empty = last == kNoPartner || last < begin;
        side = combine(side, empty ? Side::Unknown : lastOf(last, depth + 1));
      }
      return side.value_or(Side::Unknown);
    }
    default:
      return Side::Unknown;
  }
}

bool BoundaryContext::optional(std::size_t i) const {
  std::size_t q = quantifierAfter(t_, atomEnd(t_, i));
  return q != kNoPartner && t_[q].min == 0;
}

Side BoundaryContext::sideOfClass(std::size_t open) const {
  const Token& o = t_[open];
  if (o.negated || o.partner == kNoPartner) return Side::Unknown;
  std::optional<Side> side;
  for (std::size_t k = skipSpace(t_, open + 1); k < o.partner; k = skipSpace(t_, k + 1)) {
    const Token& t = t_[k];
    Side item = Side::Unknown;
    std::size_t dash = skipSpace(t_, k + 1);
    if (t.kind == TokenKind::Literal && dash < o.partner && t_[dash].kind == TokenKind::Range) {
      k = skipSpace(t_, dash + 1);
      item = sideOfRange(t.value, t_[k].value);
    } else if (t.kind == TokenKind::Literal) {
      item = sideOfCharacter(t.value);
    } else if (t.kind == TokenKind::Type) {
      item = sideOfType(t.value);
    }
    side = combine(side, item);
  }
  return side.value_or(Side::Unknown);
}

}  // namespace morvelle::text::detail
