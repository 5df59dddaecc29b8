#include "pattern_lexer.h"

#include "expression.h"
#include "pattern_escapes.h"
#include "text/utf16.h"

namespace morvelle::text::detail {
namespace {

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool isAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// What PCRE2 skips under /x in UTF mode (Pattern_White_Space).
bool isPatternSpace(char16_t c) {
  return c == u' ' || (c >= u'\t' && c <= u'\r') || c == 0x85 || c == 0x200E || c == 0x200F ||
         c == 0x2028 || c == 0x2029;
}

GroupKind alphaAssertion(std::u16string_view name) {
  if (name == u"pla" || name == u"positive_lookahead") return GroupKind::Lookahead;
  if (name == u"nla" || name == u"negative_lookahead") return GroupKind::NegativeLookahead;
  if (name == u"plb" || name == u"positive_lookbehind") return GroupKind::Lookbehind;
  if (name == u"nlb" || name == u"negative_lookbehind") return GroupKind::NegativeLookbehind;
  if (name == u"atomic") return GroupKind::Atomic;
  return GroupKind::Other;
}

constexpr std::pair<std::u16string_view, GroupKind> kGroupHeads[] = {
    {u"(?:", GroupKind::NonCapture},
    {u"(?|", GroupKind::BranchReset},
    {u"(?>", GroupKind::Atomic},
    {u"(?=", GroupKind::Lookahead},
    {u"(?!", GroupKind::NegativeLookahead},
    {u"(?<=", GroupKind::Lookbehind},
    {u"(?<!", GroupKind::NegativeLookbehind},
    {u"(?<*", GroupKind::Other},
    {u"(?*", GroupKind::Other},
};

class Lexer {
 public:
  Lexer(std::u16string_view pattern, const RuleFlags& flags) : p_(pattern) {
    TokenMode mode;
    mode.caseless = flags.caseless;
    mode.multiline = flags.multiline;
    mode.dotall = flags.dotall;
    mode.noAutoCapture = flags.noAutoCapture;
    mode.unicode = !flags.ascii;
    mode.extended = static_cast<std::uint8_t>(flags.extended);
    modes_.push_back(mode);
  }

  PatternTokens run() {
    while (i_ < p_.size()) {
      if (quoting_) {
        quoted();
        continue;
      }
      char16_t c = p_[i_];
      if (mode().extended && isPatternSpace(c)) {
        std::size_t j = i_;
        while (j < p_.size() && isPatternSpace(p_[j])) ++j;
        add(TokenKind::Space, j);
        continue;
      }
      if (mode().extended && c == u'#') {
        std::size_t j = p_.find(u'\n', i_);
        add(TokenKind::Space, j == std::u16string_view::npos ? p_.size() : j + 1);
        continue;
      }
      switch (c) {
        case u'\\':
          escape(false);
          break;
        case u'[':
          characterClass();
          break;
        case u'(':
          group();
          break;
        case u')':
          closeGroup();
          break;
        case u'|':
          add(TokenKind::Alternation, i_ + 1);
          break;
        case u'.':
          add(TokenKind::Dot, i_ + 1, u'.');
          break;
        case u'^':
        case u'$':
          add(TokenKind::Assertion, i_ + 1, c);
          break;
        case u'*':
          quantifier(i_ + 1, 0, kUnbounded);
          break;
        case u'+':
          quantifier(i_ + 1, 1, kUnbounded);
          break;
        case u'?':
          quantifier(i_ + 1, 0, 1);
          break;
        case u'{':
          if (!braces()) literal(false);
          break;
        default:
          literal(false);
          break;
      }
    }
    return std::move(out_);
  }

 private:
  const TokenMode& mode() const { return modes_.back(); }

  Token& add(TokenKind kind, std::size_t end, char32_t value = 0) {
    Token t;
    t.kind = kind;
    t.mode = mode();
    t.begin = i_;
    t.end = end;
    t.value = value;
    t.inClass = inClass_;
    out_.tokens.push_back(t);
    i_ = end;
    return out_.tokens.back();
  }

  // One character as itself, a surrogate pair as one.
  void literal(bool quoted) {
    char32_t c = p_[i_];
    std::size_t end = i_ + 1;
    if (end < p_.size() && isLeadSurrogate(p_[i_]) && isTrailSurrogate(p_[end])) {
      c = combineSurrogates(p_[i_], p_[end]);
      ++end;
    }
    add(TokenKind::Literal, end, c).quoted = quoted;
  }

  // Inside \Q…\E everything up to \E is literal.
  void quoted() {
    if (p_.substr(i_, 2) == u"\\E") {
      quoting_ = false;
      add(TokenKind::Space, i_ + 2);
      return;
    }
    literal(true);
  }

  std::size_t closingAt(char16_t close, std::size_t from) const {
    std::size_t j = p_.find(close, from);
    return j == std::u16string_view::npos ? p_.size() : j + 1;
  }

  void escape(bool inClass) {
    Escape e = readEscape(p_, i_, inClass);
    Token& t = add(e.kind, e.end, e.value);
    t.negated = e.negated;
    quoting_ = quoting_ || e.quoteStart;
  }

  // {n} {n,} {n,m} as PCRE2 10.42 reads them; anything else is a literal "{".
  bool braces() {
    std::size_t j = i_ + 1;
    auto number = [&](std::uint32_t& value) {
      std::size_t from = j;
      value = 0;
      while (j < p_.size() && isDigit(p_[j])) {
        value = value > 100000 ? value : value * 10 + static_cast<std::uint32_t>(p_[j] - u'0');
        ++j;
      }
      return j > from;
    };
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    if (!number(low)) return false;
    if (j < p_.size() && p_[j] == u'}') {
      quantifier(j + 1, low, low);
      return true;
    }
    if (j >= p_.size() || p_[j] != u',') return false;
    ++j;
    bool bounded = number(high);
    if (j >= p_.size() || p_[j] != u'}') return false;
    quantifier(j + 1, low, bounded ? high : kUnbounded);
    return true;
  }

  void quantifier(std::size_t end, std::uint32_t low, std::uint32_t high) {
    if (end < p_.size() && (p_[end] == u'?' || p_[end] == u'+')) ++end;
    Token& t = add(TokenKind::Quantifier, end);
    t.min = low;
    t.max = high;
  }

  void characterClass() {
    for (std::u16string_view boundary : {u"[[:<:]]", u"[[:>:]]"}) {
      if (p_.substr(i_, 7) == boundary) {  // PCRE2's spelling of word-start and word-end
        add(TokenKind::Assertion, i_ + 7, boundary[3]);
        return;
      }
    }
    std::size_t open = out_.tokens.size();
    std::size_t end = i_ + 1;
    bool negated = end < p_.size() && p_[end] == u'^';
    if (negated) ++end;
    add(TokenKind::ClassOpen, end).negated = negated;
    inClass_ = true;
    bool first = true;  // a "]" right after "[" or "[^" is a member
    while (i_ < p_.size()) {
      if (quoting_) {
        quoted();
        first = false;
        continue;
      }
      char16_t c = p_[i_];
      if (c == u']' && !first) {
        inClass_ = false;
        add(TokenKind::ClassClose, i_ + 1);
        link(open, out_.tokens.size() - 1);
        markRanges(open);
        return;
      }
      first = false;
      if (mode().extended == 2 && (c == u' ' || c == u'\t')) {
        add(TokenKind::Space, i_ + 1);
      } else if (c == u'[' && i_ + 1 < p_.size() &&
                 (p_[i_ + 1] == u':' || p_[i_ + 1] == u'.' || p_[i_ + 1] == u'=') && posixName()) {
      } else if (c == u'\\') {
        escape(true);
      } else {
        literal(false);
      }
    }
    inClass_ = false;
    markRanges(open);
  }

  // [:name:] as PCRE2 finds its end; [.x.] and [=x=] become Other (PCRE2 refuses them).
  bool posixName() {
    char16_t terminator = p_[i_ + 1];
    for (std::size_t k = i_ + 2; k + 1 < p_.size(); ++k) {
      if (p_[k] == u'\\' && (p_[k + 1] == u']' || p_[k + 1] == u'\\')) {
        ++k;
      } else if ((p_[k] == u'[' && p_[k + 1] == terminator) || p_[k] == u']') {
        return false;
      } else if (p_[k] == terminator && p_[k + 1] == u']') {
        bool negated = terminator == u':' && p_[i_ + 2] == u'^';
        add(terminator == u':' ? TokenKind::Posix : TokenKind::Other, k + 2).negated = negated;
        return true;
      }
    }
    return false;
  }

  // A bare "-" between two single characters is a range; anywhere else it is itself.
  void markRanges(std::size_t open) {
    std::vector<Token>& t = out_.tokens;
    bool endsRange = false;
    for (std::size_t k = open + 1; k < t.size() && t[k].kind != TokenKind::ClassClose; ++k) {
      if (t[k].kind == TokenKind::Space) continue;
      bool dash = t[k].kind == TokenKind::Literal && !t[k].quoted && t[k].value == u'-' &&
                  !t[k].escaped(p_);
      std::size_t before = previousNonSpace(t, k);
      std::size_t after = skipSpace(t, k + 1);
      if (dash && before != kNoPartner && before > open && t[before].kind == TokenKind::Literal &&
          !endsRange && after < t.size() && t[after].kind == TokenKind::Literal) {
        t[k].kind = TokenKind::Range;
        endsRange = true;
        k = after;
        continue;
      }
      endsRange = false;
    }
  }

  void link(std::size_t a, std::size_t b) {
    out_.tokens[a].partner = b;
    out_.tokens[b].partner = a;
  }

  void openGroup(std::size_t end, GroupKind kind, TokenMode inner) {
    Token& t = add(TokenKind::GroupOpen, end);
    t.group = kind;
    if (kind == GroupKind::Capture || kind == GroupKind::NamedCapture) {
      t.capture = ++out_.captures;
    }
    if (kind == GroupKind::BranchReset) out_.branchReset = true;
    open_.push_back(out_.tokens.size() - 1);
    modes_.push_back(inner);
  }

  void closeGroup() {
    add(TokenKind::GroupClose, i_ + 1);
    if (open_.empty()) return;  // PCRE2 reports the stray ")"
    link(open_.back(), out_.tokens.size() - 1);
    open_.pop_back();
    modes_.pop_back();
  }

  void group() {
    std::u16string_view rest = p_.substr(i_);
    if (rest.starts_with(u"(?#")) {
      add(TokenKind::Space, closingAt(u')', i_));
      return;
    }
    if (rest.starts_with(u"(*")) {
      std::size_t j = i_ + 2;
      while (j < p_.size() && (isAsciiLetter(p_[j]) || p_[j] == u'_')) ++j;
      std::u16string_view name = p_.substr(i_ + 2, j - i_ - 2);
      bool lower = !name.empty() && name[0] >= u'a' && name[0] <= u'z';
      if (lower && j < p_.size() && p_[j] == u':') {
        openGroup(j + 1, alphaAssertion(name), mode());
      } else {
        add(TokenKind::Verb, closingAt(u')', j));
      }
      return;
    }
    if (!rest.starts_with(u"(?")) {
      openGroup(i_ + 1, mode().noAutoCapture ? GroupKind::NonCapture : GroupKind::Capture, mode());
      return;
    }
    for (auto [head, kind] : kGroupHeads) {
      if (rest.starts_with(head)) {
        openGroup(i_ + head.size(), kind, mode());
        return;
      }
    }
    std::size_t j = i_ + 2;
    char16_t c = j < p_.size() ? p_[j] : u'\0';
    char16_t d = j + 1 < p_.size() ? p_[j + 1] : u'\0';
    switch (c) {
      case u'<':
        openGroup(closingAt(u'>', j), GroupKind::NamedCapture, mode());
        return;
      case u'\'':
        openGroup(closingAt(u'\'', j + 1), GroupKind::NamedCapture, mode());
        return;
      case u'P':
        if (d == u'<') {
          openGroup(closingAt(u'>', j), GroupKind::NamedCapture, mode());
        } else {
          add(d == u'=' ? TokenKind::Backreference : TokenKind::Call, closingAt(u')', j));
        }
        return;
      case u'&':
      case u'R':
        add(TokenKind::Call, closingAt(u')', j));
        return;
      case u'(':
        // The condition is a reference, or an assertion lexed as a group of its own.
        if (d == u'?' || d == u'*') {
          openGroup(j, GroupKind::Conditional, mode());
        } else {
          openGroup(closingAt(u')', j), GroupKind::Conditional, mode());
        }
        return;
      case u'C':
        add(TokenKind::Callout, closingAt(u')', j));
        return;
      default:
        break;
    }
    if (isDigit(c) || ((c == u'+' || c == u'-') && isDigit(d))) {
      add(TokenKind::Call, closingAt(u')', j));
      return;
    }
    std::size_t k = j;
    while (k < p_.size() &&
           std::u16string_view(u"imnsxJUpadlu^-").find(p_[k]) != std::u16string_view::npos) {
      ++k;
    }
    std::u16string_view letters = p_.substr(j, k - j);
    if (k < p_.size() && p_[k] == u')') {
      add(TokenKind::FlagSet, k + 1);
      modes_.back() = withModifiers(mode(), letters);
    } else if (k < p_.size() && p_[k] == u':') {
      openGroup(k + 1, GroupKind::NonCapture, withModifiers(mode(), letters));
    } else {
      openGroup(j, GroupKind::Other, mode());
    }
  }

  std::u16string_view p_;
  std::size_t i_ = 0;
  bool quoting_ = false;
  bool inClass_ = false;
  std::vector<TokenMode> modes_;  // the innermost group's last
  std::vector<std::size_t> open_;
  PatternTokens out_;
};

}  // namespace

PatternTokens lexPattern(std::u16string_view pattern, const RuleFlags& flags) {
  return Lexer(pattern, flags).run();
}

}  // namespace morvelle::text::detail
