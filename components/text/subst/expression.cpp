#include "expression.h"

#include <array>
#include <cstdio>

#include "case_mapping.h"
#include "messages.h"
#include "pattern_lexer.h"
#include "text/utf16.h"

namespace morvelle::text::detail {
namespace {

bool isBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v';
}

bool isAsciiPunct(char16_t c) {
  return (c >= u'!' && c <= u'/') || (c >= u':' && c <= u'@') || (c >= u'[' && c <= u'`') ||
         (c >= u'{' && c <= u'~');
}

bool isAsciiAlnum(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

char16_t closingBracket(char16_t open) {
  switch (open) {
    case u'(':
      return u')';
    case u'[':
      return u']';
    case u'{':
      return u'}';
    case u'<':
      return u'>';
    default:
      return 0;
  }
}

std::u16string quoted(char16_t c) { return std::u16string(u"「") + c + u"」"; }

class Scanner {
 public:
  explicit Scanner(std::u16string_view expr) : e_(expr) {}

  ParsedExpression run() {
    ParsedExpression out;
    std::size_t i = skipBlanks(0);
    if (i >= e_.size()) syntax(i, u"式が空です");
    if (e_[i] != u's' || (i + 1 < e_.size() && isAsciiAlnum(e_[i + 1]))) {
      if (e_.substr(i, 2) == u"tr" || e_[i] == u'y') {
        unsupported(i, u"tr/// と y/// は置換式として使えません。s/…/…/ と書いてください");
      }
      if (e_[i] == u'm' || e_[i] == u'/') {
        unsupported(i, u"照合 (m//) は置換式ではありません。s/…/…/ と書いてください");
      }
      syntax(i, u"s/…/…/ の形で書いてください");
    }
    std::size_t afterS = i + 1;
    i = skipBlanks(afterS);
    if (i >= e_.size()) syntax(i, u"s の後に区切り文字がありません");
    if (i > afterS && e_[i] == u'#')
      syntax(i, u"空白の後の # はコメントになり、区切り文字になりません");
    char16_t open = delimiterAt(i);
    char16_t close = closingBracket(open) ? closingBracket(open) : open;
    std::size_t patternStart = i;
    i = scanPart(i + 1, open, close, true, out.pattern, out.patternOrigin, patternStart);
    out.interpolatePattern = open != u'\'';

    char16_t open2 = open;
    char16_t close2 = close;
    if (closingBracket(open)) {
      i = skipBlanksAndComments(i);
      if (i >= e_.size()) syntax(i, u"置換文字列の区切りがありません");
      open2 = delimiterAt(i);
      close2 = closingBracket(open2) ? closingBracket(open2) : open2;
      std::size_t start2 = i;
      i = scanPart(i + 1, open2, close2, false, out.replacement, out.replacementOrigin, start2);
    } else {
      i = scanPart(i, open, close, false, out.replacement, out.replacementOrigin, patternStart);
    }
    out.interpolateReplacement = open2 != u'\'';

    std::size_t flagStart = i;
    while (i < e_.size() && isAsciiAlnum(e_[i])) ++i;
    out.flags = parseFlags(e_.substr(flagStart, i - flagStart), e_, flagStart);
    i = skipBlanks(i);
    if (i < e_.size()) syntax(i, u"式の終わりの後に余分な文字があります");
    return out;
  }

 private:
  [[noreturn]] void syntax(std::size_t at, std::u16string_view detail) {
    failAt(SubstituteErrorKind::Syntax, kSyntaxHead, e_, at, detail);
  }
  [[noreturn]] void unsupported(std::size_t at, std::u16string_view detail) {
    failAt(SubstituteErrorKind::Unsupported, kUnsupportedHead, e_, at, detail);
  }

  std::size_t skipBlanks(std::size_t i) const {
    while (i < e_.size() && isBlank(e_[i])) ++i;
    return i;
  }

  std::size_t skipBlanksAndComments(std::size_t i) const {
    for (;;) {
      i = skipBlanks(i);
      if (i < e_.size() && e_[i] == u'#') {
        while (i < e_.size() && e_[i] != u'\n') ++i;
        continue;
      }
      return i;
    }
  }

  char16_t delimiterAt(std::size_t i) {
    char16_t c = e_[i];
    if (c == u'\\') syntax(i, u"バックスラッシュは区切り文字に使えません");
    if (!isAsciiPunct(c))
      syntax(i, quoted(c) + u" は区切り文字に使えません (ASCII の記号を使ってください)");
    return c;
  }

  // Copies one delimited part. Like perl, an escaped delimiter loses its backslash, except
  // that a bracket pair's pattern keeps `\)` as is (the regex needs it to stay literal).
  std::size_t scanPart(std::size_t i, char16_t open, char16_t close, bool pattern,
                       std::u16string& text, std::vector<std::size_t>& origin,
                       std::size_t startForError) {
    bool bracketed = open != close;
    int depth = 0;
    auto put = [&](std::size_t k) {
      text += e_[k];
      origin.push_back(k);
    };
    while (i < e_.size()) {
      char16_t c = e_[i];
      if (c == u'\\' && i + 1 < e_.size()) {
        char16_t next = e_[i + 1];
        bool isDelimiter = next == close || (bracketed && next == open);
        if (isDelimiter && !(bracketed && pattern)) {
          put(i + 1);
        } else {
          put(i);
          put(i + 1);
        }
        i += 2;
        continue;
      }
      if (bracketed && c == open) {
        ++depth;
      } else if (c == close) {
        if (depth == 0) {
          origin.push_back(i);
          return i + 1;
        }
        --depth;
      }
      put(i);
      ++i;
    }
    syntax(startForError, concat(pattern ? u"パターンの区切り " : u"置換文字列の区切り ",
                                 quoted(open), u" が閉じていません"));
  }

  std::u16string_view e_;
};

// PCRE2's start-of-pattern settings; perl knows none of them and they would change
// newline or Unicode handling behind the rule's back.
constexpr std::array<std::u16string_view, 20> kPcreStartItems = {u"CR",
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
                                                                 u"LIMIT_HEAP"};

bool isPcreStartItem(std::u16string_view name) {
  for (auto item : kPcreStartItems) {
    if (name == item) return true;
  }
  return name == u"LIMIT_RECURSION";
}

bool isIdentifierStart(char16_t c) {
  // Perl reads any letter (also non-ASCII ones in a UTF-8 source) as a variable name's start.
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c >= 0x80;
}

class PatternChecker {
 public:
  PatternChecker(const ParsedExpression& parsed, std::u16string_view source)
      : p_(parsed.pattern), origin_(parsed.patternOrigin), source_(source), parsed_(parsed) {}

  void run() {
    if (p_.empty()) {
      refuse(0, u"空のパターンは perl では直前に成功したパターンを意味するため使えません");
    }
    checkStartItems();
    bool inClass = false;
    std::size_t classStart = 0;
    for (std::size_t i = 0; i < p_.size();) {
      char16_t c = p_[i];
      if (c == u'\\') {
        i = escape(i, inClass);
        continue;
      }
      checkInterpolation(i);
      if (inClass) {
        if (c == u'[' && i + 1 < p_.size() &&
            (p_[i + 1] == u':' || p_[i + 1] == u'.' || p_[i + 1] == u'=')) {
          std::size_t end = p_.find(std::u16string{p_[i + 1], u']'}, i + 2);
          if (end != std::u16string_view::npos) {
            i = end + 2;
            continue;
          }
        }
        if (c == u']' && i > classStart) inClass = false;
        ++i;
        continue;
      }
      switch (c) {
        case u'[':
          inClass = true;
          classStart = i + 1;
          if (classStart < p_.size() && p_[classStart] == u'^') ++classStart;
          // A leading ']' is a member, not the end.
          if (classStart < p_.size() && p_[classStart] == u']') {
            i = classStart + 1;
            classStart = i;
            continue;
          }
          break;
        case u'(':
          i = group(i);
          continue;
        case u'{':
          brace(i);
          break;
        case u'#':
          if (parsed_.flags.extended) {
            while (i < p_.size() && p_[i] != u'\n') ++i;
            continue;
          }
          break;
        default:
          break;
      }
      ++i;
    }
  }

 private:
  std::size_t originAt(std::size_t i) const {
    return i < origin_.size() ? origin_[i] : (origin_.empty() ? 0 : origin_.back());
  }

  [[noreturn]] void refuse(std::size_t i, std::u16string_view detail) {
    failAt(SubstituteErrorKind::Unsupported, kUnsupportedHead, source_, originAt(i), detail);
  }

  void checkStartItems() {
    std::size_t i = 0;
    while (i + 2 < p_.size() && p_[i] == u'(' && p_[i + 1] == u'*') {
      std::size_t j = i + 2;
      while (j < p_.size() && ((p_[j] >= u'A' && p_[j] <= u'Z') || isDigit(p_[j]) || p_[j] == u'_'))
        ++j;
      std::u16string_view name = p_.substr(i + 2, j - i - 2);
      if (!isPcreStartItem(name)) return;
      refuse(i, concat(u"(*", name, u") は perl にない指定です (改行と Unicode の扱いは固定です)"));
    }
  }

  void checkInterpolation(std::size_t i) {
    if (!parsed_.interpolatePattern) return;
    char16_t c = p_[i];
    if (i + 1 >= p_.size()) return;
    char16_t next = p_[i + 1];
    if (c == u'$') {
      static constexpr std::u16string_view kAnchorFollowers = u"()| \r\n\t";
      if (kAnchorFollowers.find(next) == std::u16string_view::npos) {
        refuse(i,
               concat(u"パターン中の $", next,
                      u" は perl では変数として展開されます (文字の $ は \\$ と書いてください)"));
      }
    } else if (c == u'@') {
      if (isIdentifierStart(next) ||
          std::u16string_view(u":'{$").find(next) != std::u16string_view::npos) {
        refuse(i,
               concat(u"パターン中の @", next,
                      u" は perl では配列として展開されます (文字の @ は \\@ と書いてください)"));
      }
    }
  }

  std::size_t escape(std::size_t i, bool inClass) {
    if (i + 1 >= p_.size()) return i + 1;  // PCRE2 reports the trailing backslash
    char16_t next = p_[i + 1];
    switch (next) {
      case u'Q': {
        // Quoted text is literal for the regex, but perl still interpolates inside it.
        std::size_t j = i + 2;
        while (j < p_.size() && !(p_[j] == u'\\' && j + 1 < p_.size() && p_[j + 1] == u'E')) {
          if (p_[j] == u'\\' && j + 1 < p_.size()) {
            j += 2;
            continue;
          }
          checkInterpolation(j);
          ++j;
        }
        return j + 2;
      }
      case u'b':
      case u'B':
        if (!inClass && i + 2 < p_.size() && p_[i + 2] == u'{') {
          refuse(i, u"\\b{…} (Unicode の境界) には対応していません");
        }
        break;
      case u'N':
        // \N{3} is "three non-newlines", \N{U+41} a code point; anything else a name.
        if (i + 2 < p_.size() && p_[i + 2] == u'{' && !isQuantifierAt(i + 2) &&
            !(i + 4 < p_.size() && p_[i + 3] == u'U' && p_[i + 4] == u'+')) {
          refuse(i, u"文字の名前の \\N{…} が閉じていません");
        }
        break;
      case u'c':
        if (i + 2 < p_.size() && p_[i + 2] == u'{') {
          failAt(SubstituteErrorKind::Pattern, kPatternHead, source_, originAt(i), kControlBrace);
        }
        return i + 3;  // the character after \c is its argument, even a backslash
      case u'U':
      case u'L':
      case u'u':
      case u'l':
      case u'F':
        refuse(i,
               concat(u"パターン中の \\", next, u" (大文字・小文字の変換) には対応していません"));
      default:
        break;
    }
    return i + 2;
  }

  bool isQuantifierAt(std::size_t brace) const {
    std::size_t j = brace + 1;
    std::size_t digits = 0;
    while (j < p_.size() && (isDigit(p_[j]) || p_[j] == u',')) {
      digits += isDigit(p_[j]) ? 1 : 0;
      ++j;
    }
    return digits > 0 && j < p_.size() && p_[j] == u'}';
  }

  std::size_t group(std::size_t i) {
    std::u16string_view rest = p_.substr(i);
    if (rest.starts_with(u"(?#")) {
      std::size_t end = p_.find(u')', i);
      return end == std::u16string_view::npos ? p_.size() : end + 1;
    }
    if (rest.starts_with(u"(?{") || rest.starts_with(u"(??{") || rest.starts_with(u"(*{")) {
      refuse(i, u"パターン中のコード (?{…}) は実行できません");
    }
    if (rest.starts_with(u"(?C")) {
      refuse(i, u"(?C…) は perl にない構文です");
    }
    return i + 1;
  }

  // perl 5.36 reads {,n} and blanks inside braces as a quantifier; PCRE2 10.42 reads them
  // as literal text, which would silently match something else.
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
      refuse(i,
             u"{,n} や空白を含む {…} の量指定には対応していません。{0,n} のように書いてください");
    }
  }

  std::u16string_view p_;
  const std::vector<std::size_t>& origin_;
  std::u16string_view source_;
  const ParsedExpression& parsed_;
};

}  // namespace

ParsedExpression parseExpression(std::u16string_view expression) {
  return Scanner(expression).run();
}

namespace {

std::u16string refusedFlag(char16_t flag) {
  static constexpr std::pair<char16_t, std::u16string_view> kReasons[] = {
      {u'e', u"フラグ e (置換文字列をコードとして実行) には対応していません"},
      {u'r', u"フラグ r (結果を返すだけの置換) には対応していません"},
      {u'c', u"フラグ c は置換には使えません"},
      {u'l', u"フラグ l (ロケール依存) には対応していません"},
      {u'd', u"フラグ d (旧来の文字の意味) には対応していません"},
  };
  for (auto [letter, reason] : kReasons) {
    if (letter == flag) return std::u16string(reason);
  }
  return concat(u"不明なフラグ 「", flag, u"」 です");
}

}  // namespace

RuleFlags parseFlags(std::u16string_view flags, std::u16string_view source, std::size_t origin) {
  RuleFlags out;
  int a = 0;
  int u = 0;
  auto refuse = [&](std::size_t k, std::u16string_view detail) {
    failAt(SubstituteErrorKind::Unsupported, kUnsupportedHead, source, origin + k, detail);
  };
  for (std::size_t k = 0; k < flags.size(); ++k) {
    switch (flags[k]) {
      case u'g':
        out.global = true;
        break;
      case u'i':
        out.caseless = true;
        break;
      case u'm':
        out.multiline = true;
        break;
      case u's':
        out.dotall = true;
        break;
      case u'x':
        out.extended = out.extended == 0 ? 1 : 2;
        break;
      case u'n':
        out.noAutoCapture = true;
        break;
      case u'p':
      case u'o':
        break;  // no effect on a single substitution
      case u'a':
        if (++a == 2) refuse(k, u"フラグ aa には対応していません");
        if (a > 2) refuse(k, u"フラグ a は二つまでしか書けません");
        out.ascii = true;
        break;
      case u'u':
        if (++u > 1) refuse(k, u"フラグ u は一度しか書けません");
        break;
      default:
        refuse(k, refusedFlag(flags[k]));
        break;
    }
  }
  if (a > 0 && u > 0) refuse(0, u"フラグ a と u は同時に使えません");
  return out;
}

void resolveCharacterNames(ParsedExpression& parsed, std::u16string_view source) {
  const std::u16string& p = parsed.pattern;
  if (p.find(u"\\N{") == std::u16string::npos) return;
  std::u16string out;
  std::vector<std::size_t> origin;
  bool quoted = false;
  auto keep = [&](std::size_t k) {
    out += p[k];
    origin.push_back(parsed.patternOrigin[k]);
  };
  for (std::size_t i = 0; i < p.size();) {
    if (p[i] != u'\\' || i + 1 >= p.size()) {
      keep(i++);
      continue;
    }
    char16_t next = p[i + 1];
    if (next == u'Q' || next == u'E') quoted = next == u'Q';
    std::size_t close = p.find(u'}', i + 3);
    bool named = next == u'N' && i + 2 < p.size() && p[i + 2] == u'{' &&
                 close != std::u16string::npos &&
                 !(close >= i + 5 && p[i + 3] == u'U' && p[i + 4] == u'+') &&
                 p.find_first_not_of(u"0123456789,", i + 3) != close;
    if (!named) {
      keep(i);
      keep(i + 1);
      i += 2;
      continue;
    }
    std::u16string_view name = std::u16string_view(p).substr(i + 3, close - i - 3);
    std::optional<char32_t> c = characterByName(name);
    if (!c) {
      failAt(SubstituteErrorKind::Unsupported, kUnsupportedHead, source, parsed.patternOrigin[i],
             concat(u"文字の名前 「", name, u"」 が見つかりません"));
    }
    std::u16string code;
    if (quoted) {  // between \Q and \E the character itself is the literal
      appendCodePoint(code, *c);
    } else {
      char hex[16];
      std::snprintf(hex, sizeof hex, "\\x{%X}", static_cast<unsigned>(*c));
      for (const char* h = hex; *h; ++h) code += static_cast<char16_t>(*h);
    }
    out += code;
    origin.insert(origin.end(), code.size(), parsed.patternOrigin[i]);
    i = close + 1;
  }
  origin.push_back(parsed.patternOrigin.back());
  parsed.pattern = std::move(out);
  parsed.patternOrigin = std::move(origin);
}

void dropCharsetModifiers(ParsedExpression& parsed) {
  const std::u16string& p = parsed.pattern;
  std::u16string out;
  std::vector<std::size_t> origin;
  bool inClass = false;
  bool changed = false;
  for (std::size_t i = 0; i < p.size();) {
    auto keep = [&](std::size_t k) {
      out += p[k];
      origin.push_back(parsed.patternOrigin[k]);
    };
    char16_t c = p[i];
    if (c == u'\\' && i + 1 < p.size()) {
      keep(i);
      keep(i + 1);
      i += 2;
      continue;
    }
    if (inClass || c != u'(' || i + 1 >= p.size() || p[i + 1] != u'?') {
      if (c == u'[' && !inClass)
        inClass = true;
      else if (c == u']' && inClass)
        inClass = false;
      keep(i++);
      continue;
    }
    // (? then flag letters, ^ or -, then ) or :
    std::size_t j = i + 2;
    while (j < p.size() &&
           (std::u16string_view(u"^-imnsxpadlu").find(p[j]) != std::u16string_view::npos)) {
      ++j;
    }
    bool flagGroup = j > i + 2 && j < p.size() && (p[j] == u')' || p[j] == u':');
    std::u16string_view letters = std::u16string_view(p).substr(i + 2, j - i - 2);
    if (!flagGroup || letters.find_first_of(u"ud") == std::u16string_view::npos ||
        letters.find_first_of(u"al") != std::u16string_view::npos) {
      keep(i);
      keep(i + 1);
      i += 2;
      continue;
    }
    keep(i);
    keep(i + 1);
    std::size_t kept = 0;
    for (std::size_t k = i + 2; k < j; ++k) {
      if (p[k] == u'u' || p[k] == u'd') continue;
      keep(k);
      ++kept;
    }
    if (kept == 0 && p[j] == u')') {  // (?u) becomes the empty group (?:)
      out += u':';
      origin.push_back(parsed.patternOrigin[i]);
    }
    changed = true;
    i = j;
  }
  if (!changed) return;
  origin.push_back(parsed.patternOrigin.back());
  parsed.pattern = std::move(out);
  parsed.patternOrigin = std::move(origin);
}

void checkPattern(const ParsedExpression& parsed, std::u16string_view source) {
  PatternChecker(parsed, source).run();
  // perl refuses \N then a "{" that a blank or comment keeps apart (unless a quantifier
  // follows); PCRE2 would read \N and literal text.
  const std::vector<Token> tokens = lexPattern(parsed.pattern, parsed.flags).tokens;
  for (std::size_t k = 0; k + 1 < tokens.size(); ++k) {
    if (tokens[k].kind != TokenKind::Type || tokens[k].value != u'N' ||
        tokens[k + 1].kind != TokenKind::Space) {
      continue;
    }
    std::size_t next = skipSpace(tokens, k + 1);
    if (next < tokens.size() && tokens[next].isLiteral(u'{')) {
      failAt(SubstituteErrorKind::Pattern, kPatternHead, source,
             parsed.patternOrigin[tokens[k].begin],
             u"\\N と { の間に空白やコメントは置けません (perl では誤りです)");
    }
  }
}

}  // namespace morvelle::text::detail
