#include "pattern_checks.h"

#include <array>

#include "messages.h"

namespace morvelle::text::detail {
namespace {

// PCRE2's start-of-pattern settings; perl knows none of them and they would change newline
// or Unicode handling behind the rule's back.
constexpr std::array<std::u16string_view, 21> kPcreStartItems = {u"CR",
                                                                 u"LF",
                                                                 u"CRLF",
                                                                 u"ANYCRLF",
                                                                 u"ANY",
                                                                 u"NUL",
                                                                 u"BSR_ANYCRLF",
                                                                 u"BSR_UNICODE",
                                                                 u"UTF",
                                                                 u"UTF16",
                                                                 u"UCP",
                                                                 u"NO_JIT",
                                                                 u"NO_START_OPT",
                                                                 u"NO_AUTO_POSSESS",
                                                                 u"NO_DOTSTAR_ANCHOR",
                                                                 u"NOTEMPTY",
                                                                 u"NOTEMPTY_ATSTART",
                                                                 u"LIMIT_MATCH",
                                                                 u"LIMIT_DEPTH",
                                                                 u"LIMIT_HEAP",
                                                                 u"LIMIT_RECURSION"};

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool isIdentifierStart(char16_t c) {
  // Perl reads any letter (also non-ASCII ones in a UTF-8 source) as a variable name's start.
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c >= 0x80;
}

class PatternChecker {
 public:
  PatternChecker(const ParsedExpression& parsed, const std::vector<Token>& tokens,
                 std::u16string_view source)
      : p_(parsed.pattern),
        origin_(parsed.patternOrigin),
        t_(tokens),
        source_(source),
        interpolates_(parsed.interpolatePattern),
        ascii_(parsed.flags.ascii),
        ruleExtended_(parsed.flags.extended != 0) {}

  void run() {
    if (p_.empty()) refuse(0, kEmptyPattern);
    checkStartItems();
    for (std::size_t k = 0; k < t_.size(); ++k) {
      const Token& t = t_[k];
      interpolation(t);
      if (t.kind == TokenKind::Space) continue;  // comments, \Q and \E
      if (ascii_ && t.mode.unicode && followsCharset(t)) refuse(t.begin, kUnicodeInsideAscii);
      std::u16string_view text = p_.substr(t.begin, t.end - t.begin);
      switch (t.kind) {
        case TokenKind::Assertion:
          if ((t.value == u'b' || t.value == u'B') && text.size() > 2) {
            refuse(t.begin, kUnicodeBoundary);
          }
          break;
        case TokenKind::Other:
          other(t, text);
          break;
        case TokenKind::Literal:
          if (text == u"\\c{") fail(SubstituteErrorKind::Pattern, t.begin, kControlBrace);
          if (text == u"{" && !t.inClass && !t.quoted) brace(t.begin);
          break;
        case TokenKind::Type:
          if (t.value == u'N' && apart_ == kNoPartner && separatedBrace(k)) apart_ = k;
          break;
        case TokenKind::GroupOpen:
        case TokenKind::Verb:
          if (p_.substr(t.begin).starts_with(u"(?{") || p_.substr(t.begin).starts_with(u"(??{") ||
              p_.substr(t.begin).starts_with(u"(*{")) {
            refuse(t.begin, kPatternCode);
          }
          break;
        case TokenKind::Callout:
          refuse(t.begin, kCallout);
        default:
          break;
      }
    }
    // perl's own error, reported after the refusals of what perl would run.
    if (apart_ != kNoPartner) fail(SubstituteErrorKind::Pattern, t_[apart_].begin, kBraceApart);
  }

 private:
  std::size_t originAt(std::size_t i) const {
    return i < origin_.size() ? origin_[i] : (origin_.empty() ? 0 : origin_.back());
  }

  [[noreturn]] void fail(SubstituteErrorKind kind, std::size_t i, const std::u16string& detail) {
    failAt(kind, kind == SubstituteErrorKind::Pattern ? kPatternHead : kUnsupportedHead, source_,
           originAt(i), detail);
  }

  [[noreturn]] void refuse(std::size_t i, const std::u16string& detail) {
    fail(SubstituteErrorKind::Unsupported, i, detail);
  }

  // Items that PCRE2 reads by the whole pattern's /a (no UCP) where perl, inside (?^…) or
  // (?u…), would use Unicode rules.
  static bool followsCharset(const Token& t) {
    return (t.kind == TokenKind::Type && std::u16string_view(u"dDwWsS").find(static_cast<char16_t>(
                                             t.value)) != std::u16string_view::npos) ||
           (t.kind == TokenKind::Assertion && (t.value == u'b' || t.value == u'B')) ||
           t.kind == TokenKind::Posix;
  }

  // Only the first of the leading (*…) items counts, as PCRE2 reads a run of them.
  void checkStartItems() {
    if (t_.empty() || t_[0].kind != TokenKind::Verb) return;
    std::size_t j = t_[0].begin + 2;
    while (j < p_.size() && ((p_[j] >= u'A' && p_[j] <= u'Z') || isDigit(p_[j]) || p_[j] == u'_'))
      ++j;
    std::u16string_view name = p_.substr(2, j - 2);
    for (std::u16string_view item : kPcreStartItems) {
      if (name == item) {
        refuse(0, pcreStartItem(name));
      }
    }
  }

  // perl interpolates $name and @name before its regex compiler reads the pattern, so what
  // counts is how perl's lexer sees the text: after a backslash nothing is a variable (also
  // between \Q and \E), nor in (?#…) or in a # comment under the rule's /x; the lexer knows
  // no inline (?x) or (?-x).
  void interpolation(const Token& t) {
    if (!interpolates_) return;
    bool hash = p_[t.begin] == u'#';
    if (t.kind == TokenKind::Space) {
      if (hash && !ruleExtended_) checkInterpolation(t.begin, t.end);
      if (hash && ruleExtended_) lexerComment_ = p_[t.end - 1] != u'\n';
      return;
    }
    if (lexerComment_) {
      lexerComment_ = p_.substr(t.begin, t.end - t.begin).find(u'\n') == std::u16string_view::npos;
      return;
    }
    if (ruleExtended_ && hash && t.kind == TokenKind::Literal && !t.inClass && !t.quoted) {
      lexerComment_ = true;
      return;
    }
    bool escapedHere = t.quoted && quotedEscape_;
    quotedEscape_ = t.quoted && !escapedHere && t.isLiteral(u'\\');
    if (escapedHere) return;
    std::size_t from = t.begin;
    if (t.escaped(p_) && !t.quoted) from += p_.substr(t.begin, 2) == u"\\c" ? 3 : 2;
    checkInterpolation(from, t.end);
  }

  void checkInterpolation(std::size_t from, std::size_t end) {
    for (std::size_t i = from; i < end && i + 1 < p_.size(); ++i) {
      char16_t c = p_[i];
      char16_t next = p_[i + 1];
      if (c == u'$') {
        static constexpr std::u16string_view kAnchorFollowers = u"()| \r\n\t";
        if (kAnchorFollowers.find(next) == std::u16string_view::npos) {
          refuse(i, patternVariable(next));
        }
      } else if (c == u'@') {
        if (isIdentifierStart(next) ||
            std::u16string_view(u":'{$").find(next) != std::u16string_view::npos) {
          refuse(i, patternArray(next));
        }
      }
    }
  }

  void other(const Token& t, std::u16string_view text) {
    if (text.starts_with(u"\\N{") && !text.starts_with(u"\\N{U+")) {
      refuse(t.begin, kUnclosedName);
    }
    if (text.size() == 2 && text[0] == u'\\' &&
        std::u16string_view(u"ULulF").find(text[1]) != std::u16string_view::npos) {
      refuse(t.begin, patternCaseChange(text[1]));
    }
  }

  // perl refuses \N then a "{" that a blank or comment keeps apart (unless a quantifier
  // follows); PCRE2 would read \N and literal text.
  bool separatedBrace(std::size_t k) const {
    if (k + 1 >= t_.size() || t_[k + 1].kind != TokenKind::Space) return false;
    std::size_t next = skipSpace(t_, k + 1);
    return next < t_.size() && t_[next].isLiteral(u'{');
  }

  // perl 5.36 reads {,n} and blanks inside braces as a quantifier; PCRE2 10.42 reads them as
  // literal text, which would silently match something else.
  void brace(std::size_t i) {
    std::size_t j = i + 1;
    bool blanks = false;
    auto skip = [&] {
      while (j < p_.size() && (p_[j] == u' ' || p_[j] == u'\t')) {
        blanks = true;
        ++j;
      }
    };
    auto digits = [&] {
      std::size_t s = j;
      while (j < p_.size() && isDigit(p_[j])) ++j;
      return j - s;
    };
    skip();
    std::size_t low = digits();
    skip();
    std::size_t high = 0;
    if (j < p_.size() && p_[j] == u',') {
      ++j;
      skip();
      high = digits();
      skip();
    }
    if (j >= p_.size() || p_[j] != u'}') return;
    if (low == 0 && high == 0) return;
    if (low == 0 || blanks) {
      refuse(i, kPerlOnlyQuantifier);
    }
  }

  std::u16string_view p_;
  const std::vector<std::size_t>& origin_;
  const std::vector<Token>& t_;
  std::u16string_view source_;
  bool interpolates_;
  bool ascii_;
  bool ruleExtended_;
  bool lexerComment_ = false;       // perl's lexer is inside a # comment of the rule's /x
  bool quotedEscape_ = false;       // the last character between \Q and \E was a backslash
  std::size_t apart_ = kNoPartner;  // the first \N parted from its "{"
};

}  // namespace

void checkPattern(const ParsedExpression& parsed, const std::vector<Token>& tokens,
                  std::u16string_view source) {
  PatternChecker(parsed, tokens, source).run();
}

}  // namespace morvelle::text::detail
