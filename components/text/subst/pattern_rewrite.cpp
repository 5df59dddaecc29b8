#include "pattern_rewrite.h"

#include <optional>

#include "pattern_lexer.h"

namespace morvelle::text::detail {
namespace {

// perl's \w on character strings. PCRE2 10.42 and perl 5.36 share Unicode 14, and over every
// code point this set equals perl's \w, with and without /i.
constexpr std::u16string_view kWordItems = u"\\p{Alphabetic}\\p{M}\\p{Nd}\\p{Pc}\\x{200C}\\x{200D}";

std::u16string wordClass(bool negated) {
  std::u16string out(negated ? u"[^" : u"[");
  out += kWordItems;
  out += u']';
  return out;
}

std::u16string lookaround(std::u16string_view head, bool word) {
  std::u16string out(head);
  out += wordClass(!word);
  out += u')';
  return out;
}

// What every character at one side of a boundary is known to be.
enum class Side { Word, NonWord, Unknown };

Side combine(Side a, Side b) { return a == b ? a : Side::Unknown; }

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

bool consumes(GroupKind kind) {
  return kind == GroupKind::Capture || kind == GroupKind::NamedCapture ||
         kind == GroupKind::NonCapture || kind == GroupKind::Atomic;
}

// Finds, from the tokens around \b, what the characters on each side must be, so that the
// common `\bword\b` needs one lookaround instead of an alternation of two pairs: the
// alternation would hide the pattern's first characters from PCRE2's start-of-match search.
class BoundaryContext {
 public:
  explicit BoundaryContext(const std::vector<Token>& tokens) : t_(tokens) {}

  // The first character of every match of the atom starting at `i`.
  Side firstOf(std::size_t i, int depth = 0) const {
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
          Side branch = f < end && !optional(f) ? firstOf(f, depth + 1) : Side::Unknown;
          side = side ? combine(*side, branch) : branch;
        }
        return side.value_or(Side::Unknown);
      }
      default:
        return Side::Unknown;
    }
  }

  // The last character of every match of the atom whose last token is `i`.
  Side lastOf(std::size_t i, int depth = 0) const {
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
          Side branch =
              last != kNoPartner && last >= begin ? lastOf(last, depth + 1) : Side::Unknown;
          side = side ? combine(*side, branch) : branch;
        }
        return side.value_or(Side::Unknown);
      }
      default:
        return Side::Unknown;
    }
  }

  // The atom starting at `i` may match nothing.
  bool optional(std::size_t i) const {
    std::size_t q = quantifierAfter(t_, atomEnd(t_, i));
    return q != kNoPartner && t_[q].min == 0;
  }

 private:
  static constexpr int kDepth = 16;

  static Side sideOfType(char32_t letter) {
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

  Side sideOfClass(std::size_t open) const {
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
      side = side ? combine(*side, item) : item;
    }
    return side.value_or(Side::Unknown);
  }

  const std::vector<Token>& t_;
};

class Rewriter {
 public:
  Rewriter(const ParsedExpression& parsed, const std::vector<Token>& tokens)
      : p_(parsed.pattern),
        origin_(parsed.patternOrigin),
        t_(tokens),
        words_(!parsed.flags.ascii),
        context_(tokens) {}

  bool run() {
    for (std::size_t k = 0; k < t_.size(); ++k) {
      const Token& t = t_[k];
      if (t.kind == TokenKind::ClassOpen && t.partner != kNoPartner) {
        characterClass(k);
        k = t.partner;
      } else if (words_ && t.kind == TokenKind::Type && !t.inClass &&
                 (t.value == u'w' || t.value == u'W')) {
        emit(wordClass(t.value == u'W'), k);
      } else if (t.kind == TokenKind::Assertion && t.end - t.begin == 2 &&
                 (t.value == u'b' || t.value == u'B') && (words_ || quantified(k))) {
        boundary(k);
      } else {
        copy(t.begin, t.end);
      }
    }
    return changed_;
  }

  std::u16string pattern;
  std::vector<std::size_t> origin;

 private:
  void copy(std::size_t begin, std::size_t end) {
    pattern.append(p_, begin, end - begin);
    origin.insert(origin.end(), origin_.begin() + static_cast<std::ptrdiff_t>(begin),
                  origin_.begin() + static_cast<std::ptrdiff_t>(end));
  }

  void emit(std::u16string_view text, std::size_t token) {
    pattern += text;
    origin.insert(origin.end(), text.size(), origin_[t_[token].begin]);
    changed_ = true;
  }

  bool quantified(std::size_t k) const { return quantifierAfter(t_, k) != kNoPartner; }

  void boundary(std::size_t k) {
    const Token& t = t_[k];
    bool inverted = t.value == u'B';
    std::size_t quantifier = quantifierAfter(t_, k);
    Side next = Side::Unknown;
    std::size_t f = skipSpace(t_, k + 1);
    if (quantifier == kNoPartner && f < t_.size() && !context_.optional(f)) {
      next = context_.firstOf(f);
    }
    std::size_t before = previousNonSpace(t_, k);
    Side previous = before == kNoPartner ? Side::Unknown : context_.lastOf(before);
    std::u16string text;
    if (!words_) {
      text = p_.substr(t.begin, t.end - t.begin);
    } else if (next != Side::Unknown) {  // a boundary iff the character before is of the other kind
      text = lookaround((next == Side::Word) != inverted ? u"(?<!" : u"(?<=", true);
    } else if (previous != Side::Unknown) {
      text = lookaround((previous == Side::Word) != inverted ? u"(?!" : u"(?=", true);
    } else if (!inverted) {
      text = u"(?:" + lookaround(u"(?<=", true) + lookaround(u"(?!", true) + u"|" +
             lookaround(u"(?<!", true) + lookaround(u"(?=", true) + u")";
    } else {
      text = u"(?:" + lookaround(u"(?<=", true) + lookaround(u"(?=", true) + u"|" +
             lookaround(u"(?<!", true) + lookaround(u"(?!", true) + u")";
    }
    // perl lets an assertion be quantified; PCRE2 only a group.
    if (quantifier != kNoPartner) text = u"(?:" + text + u")";
    emit(text, k);
  }

  static bool isWordItem(const Token& t, std::u16string_view p, bool& negated) {
    if (t.kind == TokenKind::Type && (t.value == u'w' || t.value == u'W')) {
      negated = t.value == u'W';
      return true;
    }
    if (t.kind == TokenKind::Posix) {
      std::u16string_view name = p.substr(t.begin, t.end - t.begin);
      negated = t.negated;
      return name == (negated ? u"[:^word:]" : u"[:word:]");
    }
    return false;
  }

  // A bare "-" that is not a range: perl reads it as itself wherever it stands.
  bool bareDash(const Token& t) const {
    return t.kind == TokenKind::Literal && t.value == u'-' && !t.quoted && !t.escaped(p_);
  }

  void characterClass(std::size_t open) {
    const Token& o = t_[open];
    std::size_t close = o.partner;
    bool positiveWord = false;
    bool negativeWord = false;
    bool middleDash = false;
    std::size_t first = skipSpace(t_, open + 1);
    std::size_t last = previousNonSpace(t_, close);
    for (std::size_t k = open + 1; k < close; ++k) {
      bool negated = false;
      if (words_ && isWordItem(t_[k], p_, negated)) {
        (negated ? negativeWord : positiveWord) = true;
      } else if (bareDash(t_[k]) && k != first && k != last) {
        middleDash = true;
      }
    }
    if (!positiveWord && !negativeWord && !middleDash) {
      copy(o.begin, t_[close].end);
      return;
    }
    // The other members keep their place in the expression; a bare "-", "^" or "]" among
    // them is escaped, as it may now stand where it would mean something else.
    std::u16string rest;
    std::vector<std::size_t> restOrigin;
    bool members = false;
    for (std::size_t k = open + 1; k < close; ++k) {
      const Token& t = t_[k];
      bool negated = false;
      if (words_ && isWordItem(t, p_, negated)) continue;
      members = members || t.kind != TokenKind::Space;
      bool special = bareDash(t) || (t.kind == TokenKind::Literal && !t.quoted && !t.escaped(p_) &&
                                     (t.value == u'^' || t.value == u']'));
      if (special) {
        rest += u'\\';
        restOrigin.push_back(origin_[t.begin]);
      }
      rest.append(p_, t.begin, t.end - t.begin);
      for (std::size_t u = t.begin; u < t.end; ++u) restOrigin.push_back(origin_[u]);
    }
    std::size_t at = origin_[o.begin];
    auto put = [&](std::u16string_view text) {
      pattern += text;
      origin.insert(origin.end(), text.size(), at);
    };
    auto putMembers = [&] {
      pattern += rest;
      origin.insert(origin.end(), restOrigin.begin(), restOrigin.end());
    };
    bool negatedClass = o.negated;
    changed_ = true;
    if (!negativeWord) {
      put(negatedClass ? u"[^" : u"[");
      putMembers();
      if (positiveWord) put(kWordItems);
      at = origin_[t_[close].begin];
      put(u"]");
    } else if (positiveWord) {
      put(negatedClass ? u"(?:(?!))" : u"[\\s\\S]");  // no character, or every one
    } else if (!members) {
      put(wordClass(!negatedClass));
    } else if (!negatedClass) {  // [a\W] is a, or not a word character
      put(u"(?:[");
      putMembers();
      put(u"]|" + wordClass(true) + u")");
    } else {  // [^a\W] is a word character other than a
      put(u"(?:(?![");
      putMembers();
      put(u"])" + wordClass(false) + u")");
    }
  }

  const std::u16string& p_;
  const std::vector<std::size_t>& origin_;
  const std::vector<Token>& t_;
  bool words_;
  BoundaryContext context_;
  bool changed_ = false;
};

}  // namespace

void rewriteWordsAndRanges(ParsedExpression& parsed) {
  if (parsed.pattern.find_first_of(u"\\[") == std::u16string::npos) return;
  PatternTokens lexed = lexPattern(parsed.pattern, parsed.flags);
  Rewriter rewriter(parsed, lexed.tokens);
  if (!rewriter.run()) return;
  rewriter.origin.push_back(parsed.patternOrigin.back());
  parsed.pattern = std::move(rewriter.pattern);
  parsed.patternOrigin = std::move(rewriter.origin);
}

}  // namespace morvelle::text::detail
