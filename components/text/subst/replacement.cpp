#include "replacement.h"

#include "case_mapping.h"
#include "messages.h"
#include "text/utf16.h"

namespace morvelle::text::detail {
namespace {

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool isOctal(char16_t c) { return c >= u'0' && c <= u'7'; }
bool isAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool isWordStart(char16_t c) { return isAsciiLetter(c) || c == u'_' || c >= 0x80; }

int hexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

class ReplacementCompiler {
 public:
  ReplacementCompiler(std::u16string_view replacement, const std::vector<std::size_t>& origin,
                      std::u16string_view source)
      : s_(replacement), origin_(origin), source_(source) {}

  ReplacementProgram literal() {
    // Between single quotes perl only undoes \\ and the escaped delimiter (done already).
    std::u16string text;
    for (std::size_t i = 0; i < s_.size(); ++i) {
      if (s_[i] == u'\\' && i + 1 < s_.size() && s_[i + 1] == u'\\') ++i;
      text += s_[i];
    }
    if (!text.empty()) program_.pieces.push_back(Piece{PieceKind::Literal, 0, 0, text, {}, 0});
    return std::move(program_);
  }

  ReplacementProgram interpolated() {
    std::size_t i = 0;
    while (i < s_.size()) {
      char16_t c = s_[i];
      if (c == u'\\' && i + 1 < s_.size()) {
        char16_t x = s_[i + 1];
        if (x == u'E') {
          i = closeAtE(i);
        } else if (std::u16string_view(u"ulULFQ").find(x) != std::u16string_view::npos) {
          i = caseModifier(i);
        } else {
          i = escape(i);
        }
      } else if (c == u'$') {
        i = variable(i);
      } else if (c == u'@') {
        checkArray(i);
        literal_ += c;
        ++i;
      } else {
        literal_ += c;
        ++i;
      }
    }
    flush();
    while (!stack_.empty()) pop();
    return std::move(program_);
  }

 private:
  [[noreturn]] void refuse(std::size_t i, const std::u16string& detail,
                           SubstituteErrorKind kind = SubstituteErrorKind::Unsupported) {
    failAt(kind, kind == SubstituteErrorKind::Unsupported ? kUnsupportedHead : kReplacementHead,
           source_, originOf(i), detail);
  }

  std::size_t originOf(std::size_t i) const {
    if (i < origin_.size()) return origin_[i];
    return origin_.empty() ? 0 : origin_.back();
  }

  void flush() {
    if (literal_.empty()) return;
    program_.pieces.push_back(Piece{PieceKind::Literal, 0, 0, std::move(literal_), {}, 0});
    literal_.clear();
  }

  void add(PieceKind kind, std::size_t at, std::uint32_t group = 0, std::u16string text = {}) {
    flush();
    program_.pieces.push_back(Piece{kind, 0, group, std::move(text), {}, originOf(at)});
  }

  void pop() {
    flush();
    stack_.pop_back();
    program_.pieces.push_back(Piece{PieceKind::Close, 0, 0, {}, {}, 0});
  }

  static bool closesAtE(char16_t op) {
    return op == u'Q' || op == u'F' || op == u'L' || op == u'U';
  }

  // \E ends \u and \l silently on its way to the innermost \Q \F \L or \U, which it ends.
  std::size_t closeAtE(std::size_t i) {
    while (!stack_.empty()) {
      char16_t top = stack_.back();
      pop();
      if (closesAtE(top)) return i + 2;
    }
    return i + 2;
  }

  std::size_t caseModifier(std::size_t i) {
    if (i + 3 < s_.size() && s_[i + 2] == u'\\' && s_[i + 3] == u'E') return i + 4;
    // perl reads \L\u as \u\L and \U\l as \l\U.
    if (i + 3 < s_.size() && s_[i + 2] == u'\\' &&
        ((s_[i + 1] == u'L' && s_[i + 3] == u'u') || (s_[i + 1] == u'U' && s_[i + 3] == u'l'))) {
      std::swap(s_[i + 1], s_[i + 3]);
    }
    char16_t op = s_[i + 1];
    if (op == u'L' || op == u'U' || op == u'F') {
      // \U, \L and \F do not nest: each one first ends everything up to the last of them.
      for (;;) {
        bool pending = false;
        for (char16_t m : stack_) pending = pending || m == u'L' || m == u'U' || m == u'F';
        if (!pending) break;
        pop();
      }
    }
    flush();
    stack_.push_back(op);
    program_.hasCaseChanges = true;
    program_.pieces.push_back(Piece{PieceKind::Open, op, 0, {}, {}, originOf(i)});
    return i + 2;
  }

  std::size_t escape(std::size_t i) {
    char16_t x = s_[i + 1];
    if (x >= u'1' && x <= u'9' && !(i + 2 < s_.size() && isDigit(s_[i + 2]))) {
      add(PieceKind::Group, i, static_cast<std::uint32_t>(x - u'0'));
      return i + 2;
    }
    if (isOctal(x)) {
      std::size_t j = i + 1;
      char32_t value = 0;
      for (int k = 0; k < 3 && j < s_.size() && isOctal(s_[j]); ++k, ++j) {
        value = value * 8 + (s_[j] - u'0');
      }
      appendCodePoint(literal_, value);
      return j;
    }
    static constexpr std::u16string_view kLetters = u"ntrfeab";
    static constexpr std::u16string_view kControls = u"\n\t\r\f\x1B\a\b";
    if (std::size_t k = kLetters.find(x); k != std::u16string_view::npos) {
      literal_ += kControls[k];
      return i + 2;
    }
    switch (x) {
      case u'x':
        return hexEscape(i);
      case u'o':
        return bracedNumber(i, i + 2, 8, u"\\o{…}");
      case u'c': {
        if (i + 2 < s_.size() && s_[i + 2] == u'{') {
          refuse(i, kControlBrace, SubstituteErrorKind::Replacement);
        }
        if (i + 2 >= s_.size() || s_[i + 2] >= 0x80) {
          refuse(i, kControlNeedsAscii, SubstituteErrorKind::Replacement);
        }
        char16_t ch = s_[i + 2];
        if (ch >= u'a' && ch <= u'z') ch = static_cast<char16_t>(ch - u'a' + u'A');
        literal_ += static_cast<char16_t>(ch ^ 0x40);
        return i + 3;
      }
      case u'N':
        if (i + 4 < s_.size() && s_[i + 2] == u'{' && s_[i + 3] == u'U' && s_[i + 4] == u'+') {
          return bracedNumber(i, i + 4, 16, u"\\N{U+…}");
        }
        return namedCharacter(i);
      default:
        break;
    }
    if (isAsciiLetter(x)) {
      refuse(i, unknownEscape(x), SubstituteErrorKind::Replacement);
    }
    literal_ += x;  // \8 \9 before a digit, punctuation, any other character: itself
    return i + 2;
  }

  std::size_t namedCharacter(std::size_t i) {
    std::size_t close =
        i + 2 < s_.size() && s_[i + 2] == u'{' ? s_.find(u'}', i + 3) : std::u16string::npos;
    if (close == std::u16string::npos) {
      refuse(i, kNamedCharacterForm, SubstituteErrorKind::Replacement);
    }
    std::u16string_view name = std::u16string_view(s_).substr(i + 3, close - i - 3);
    std::optional<char32_t> c = characterByName(name);
    if (!c) {
      refuse(i, unknownCharacterName(name), SubstituteErrorKind::Replacement);
    }
    appendCodePoint(literal_, *c);
    return close + 1;
  }

  std::size_t hexEscape(std::size_t i) {
    if (i + 2 < s_.size() && s_[i + 2] == u'{') return bracedNumber(i, i + 2, 16, u"\\x{…}");
    std::size_t j = i + 2;
    char32_t value = 0;
    for (int k = 0; k < 2 && j < s_.size() && hexValue(s_[j]) >= 0; ++k, ++j) {
      value = value * 16 + static_cast<char32_t>(hexValue(s_[j]));
    }
    appendCodePoint(literal_, value);
    return j;
  }

  // `brace` is the index of "{" (for \N{U+…}, of the "+"). As in perl, one "_" may stand
  // before a digit, a trailing one is ignored, and blanks may surround the digits, except
  // between \N{U+ and the first digit, where perl refuses them.
  std::size_t bracedNumber(std::size_t i, std::size_t brace, int base, std::u16string_view form) {
    std::size_t close = s_.find(u'}', brace);
    if (brace >= s_.size() || (s_[brace] != u'{' && s_[brace] != u'+') ||
        close == std::u16string::npos) {
      refuse(i, numberUnclosed(form), SubstituteErrorKind::Replacement);
    }
    const bool codePoint = s_[brace] == u'+';
    auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
    auto digit = [&](char16_t c) { return hexValue(c) >= 0 && hexValue(c) < base; };
    std::size_t a = brace + 1;
    std::size_t b = close;
    while (!codePoint && a < b && blank(s_[a])) ++a;
    while (b > a && blank(s_[b - 1])) --b;
    if (a == b && (base == 8 || codePoint)) {  // perl reads an empty \x{} as 0
      refuse(i, numberEmpty(form), SubstituteErrorKind::Replacement);
    }
    char32_t value = 0;
    for (std::size_t k = a; k < b; ++k) {
      if (s_[k] == u'_' && ((k + 1 < b && digit(s_[k + 1])) || (k + 1 == b && !codePoint))) {
        continue;
      }
      if (!digit(s_[k])) {
        refuse(k, numberNotDigit(form), SubstituteErrorKind::Replacement);
      }
      value = value * static_cast<char32_t>(base) + static_cast<char32_t>(hexValue(s_[k]));
      if (value > 0x10FFFF) {
        refuse(i, numberTooLarge(form), SubstituteErrorKind::Replacement);
      }
    }
    if (isSurrogate(value)) refuse(i, numberSurrogate(form), SubstituteErrorKind::Replacement);
    appendCodePoint(literal_, value);
    return close + 1;
  }

  void checkSubscript(std::size_t j, std::size_t at) {
    if (j >= s_.size()) return;
    bool arrow = s_[j] == u'-' && j + 2 < s_.size() && s_[j + 1] == u'>' &&
                 (s_[j + 2] == u'[' || s_[j + 2] == u'{');
    if (s_[j] == u'[' || s_[j] == u'{' || arrow) {
      refuse(at, subscriptAfterVariable(arrow ? s_[j + 2] : s_[j]));
    }
  }

  std::size_t variable(std::size_t i) {
    if (i + 1 >= s_.size()) {
      refuse(i, kFinalDollar);
    }
    char16_t x = s_[i + 1];
    std::size_t j = i + 2;
    if (x >= u'1' && x <= u'9') {
      std::uint32_t n = 0;
      j = i + 1;
      while (j < s_.size() && isDigit(s_[j])) {
        n = n * 10 + static_cast<std::uint32_t>(s_[j] - u'0');
        if (n > 65535) refuse(i, kGroupNumberTooLarge);
        ++j;
      }
      add(PieceKind::Group, i, n);
    } else if (x == u'{') {
      std::size_t close = s_.find(u'}', i + 2);
      if (close == std::u16string::npos) refuse(i, kUnclosedDollarBrace);
      std::u16string name = s_.substr(i + 2, close - i - 2);
      j = close + 1;
      if (!name.empty() && name[0] >= u'1' && name[0] <= u'9' &&
          name.find_first_not_of(u"0123456789") == std::u16string_view::npos) {
        if (name.size() > 5) refuse(i, kGroupNumberTooLarge);
        std::uint32_t n = 0;
        for (char16_t d : name) n = n * 10 + static_cast<std::uint32_t>(d - u'0');
        add(PieceKind::Group, i, n);
      } else if (name == u"^MATCH") {
        add(PieceKind::Match, i);
      } else if (name == u"^PREMATCH") {
        add(PieceKind::Prematch, i);
      } else if (name == u"^POSTMATCH") {
        add(PieceKind::Postmatch, i);
      } else if (name == u"^N") {
        add(PieceKind::LastClosed, i);
      } else {
        refuse(i, bracedVariable(name));
      }
    } else if (x == u'&') {
      add(PieceKind::Match, i);
    } else if (x == u'`') {
      add(PieceKind::Prematch, i);
    } else if (x == u'\'') {
      add(PieceKind::Postmatch, i);
    } else if (x == u'+') {
      if (j < s_.size() && s_[j] == u'{') {
        std::size_t close = s_.find(u'}', j);
        if (close == std::u16string::npos) refuse(i, kUnclosedNamedGroup);
        std::u16string name(s_.substr(j + 1, close - j - 1));
        if (name.empty() || !isWordStart(name[0])) refuse(i, kBadGroupName);
        add(PieceKind::Named, i, 0, std::move(name));
        j = close + 1;
      } else if (j < s_.size() && s_[j] == u'[') {
        refuse(i, kMatchOffsets);
      } else {
        add(PieceKind::LastParen, i);
      }
    } else if (x == u'^' && j < s_.size() && s_[j] == u'N') {
      add(PieceKind::LastClosed, i);
      ++j;
    } else if (x == u'0') {
      refuse(i, kProgramName);
    } else if (x == u'$') {
      refuse(i, kProcessId);
    } else if (isWordStart(x) || x == u':') {
      std::size_t k = i + 1;
      while (k < s_.size() && (isWordStart(s_[k]) || isDigit(s_[k]) || s_[k] == u':')) ++k;
      refuse(i, namedVariable(std::u16string_view(s_).substr(i + 1, k - i - 1)));
    } else {
      refuse(i, specialVariable(x));
    }
    checkSubscript(j, i);
    return j;
  }

  void checkArray(std::size_t i) {
    if (i + 1 >= s_.size()) return;
    char16_t x = s_[i + 1];
    if (isWordStart(x) || std::u16string_view(u":'{$+-").find(x) != std::u16string_view::npos) {
      refuse(i, arrayVariable(x));
    }
  }

  std::u16string s_;
  const std::vector<std::size_t>& origin_;
  std::u16string_view source_;
  ReplacementProgram program_;
  std::u16string literal_;
  std::vector<char16_t> stack_;
};

}  // namespace

ReplacementProgram compileReplacement(std::u16string_view replacement,
                                      const std::vector<std::size_t>& origin, bool interpolate,
                                      std::u16string_view source) {
  ReplacementCompiler compiler(replacement, origin, source);
  return interpolate ? compiler.interpolated() : compiler.literal();
}

}  // namespace morvelle::text::detail
