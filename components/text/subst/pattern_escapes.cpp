#include "pattern_escapes.h"

#include "text/utf16.h"

namespace morvelle::text::detail {
namespace {

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool isOctal(char16_t c) { return c >= u'0' && c <= u'7'; }
bool isAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

int hexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

std::size_t closingAt(std::u16string_view p, char16_t close, std::size_t from) {
  std::size_t j = p.find(close, from);
  return j == std::u16string_view::npos ? p.size() : j + 1;
}

Escape make(TokenKind kind, std::size_t end, char32_t value = 0) {
  Escape e;
  e.kind = kind;
  e.end = end;
  e.value = value;
  return e;
}

// The digits of {…} from `first` up to the "}" that closes the brace.
Escape bracedNumber(std::u16string_view p, std::size_t brace, std::size_t first, int base) {
  std::size_t end = closingAt(p, u'}', brace);
  char32_t value = 0;
  for (std::size_t k = first; k + 1 < end; ++k) {
    int d = hexValue(p[k]);
    if (d < 0 || d >= base || value > 0x10FFFF) return make(TokenKind::Other, end);
    value = value * static_cast<char32_t>(base) + static_cast<char32_t>(d);
  }
  return make(end > first + 1 ? TokenKind::Literal : TokenKind::Other, end, value);
}

Escape hexEscape(std::u16string_view p, std::size_t i) {
  std::size_t j = i + 2;
  if (j < p.size() && p[j] == u'{') return bracedNumber(p, j, j + 1, 16);
  char32_t value = 0;
  for (int k = 0; k < 2 && j < p.size() && hexValue(p[j]) >= 0; ++k, ++j) {
    value = value * 16 + static_cast<char32_t>(hexValue(p[j]));
  }
  return make(TokenKind::Literal, j, value);
}

// \N{U+…} is a character, \N{3} and \N{2,4} a quantified \N, anything else in braces a name
// (left here only when it could not be resolved).
Escape namedOrNotNewline(std::u16string_view p, std::size_t i, bool inClass) {
  std::size_t j = i + 2;
  if (j < p.size() && p[j] == u'{') {
    if (p.substr(j + 1, 2) == u"U+") return bracedNumber(p, j, j + 3, 16);
    std::size_t k = j + 1;
    while (k < p.size() && (isDigit(p[k]) || p[k] == u',')) ++k;
    if (!(k > j + 1 && k < p.size() && p[k] == u'}')) {
      return make(TokenKind::Other, closingAt(p, u'}', j));
    }
  }
  return make(inClass ? TokenKind::Other : TokenKind::Type, j, u'N');
}

// \0 and (in a class) \1…\7 are octal; \8 \9 in a class are the digits; elsewhere \1… is a
// back reference (PCRE2 decides between that and octal by the group count; neither matters
// to a scan).
Escape digitEscape(std::u16string_view p, std::size_t i, bool inClass) {
  std::size_t j = i + 1;
  if (p[j] == u'0' || (inClass && isOctal(p[j]))) {
    char32_t value = 0;
    for (int k = 0; k < 3 && j < p.size() && isOctal(p[j]); ++k, ++j) {
      value = value * 8 + (p[j] - u'0');
    }
    return make(TokenKind::Literal, j, value);
  }
  if (inClass) return make(TokenKind::Literal, j + 1, p[j]);
  while (j < p.size() && isDigit(p[j])) ++j;
  return make(TokenKind::Backreference, j);
}

Escape reference(std::u16string_view p, std::size_t i) {
  std::size_t j = i + 2;
  char16_t open = j < p.size() ? p[j] : u'\0';
  if (p[i + 1] == u'k') {
    if (open != u'<' && open != u'\'' && open != u'{') return make(TokenKind::Other, j);
    char16_t close = open == u'<' ? u'>' : open == u'{' ? u'}' : u'\'';
    return make(TokenKind::Backreference, closingAt(p, close, j + 1));
  }
  if (open == u'<' || open == u'\'') {  // \g<…> calls a group; it does not match its text
    return make(TokenKind::Call, closingAt(p, open == u'<' ? u'>' : u'\'', j + 1));
  }
  if (open == u'{') return make(TokenKind::Backreference, closingAt(p, u'}', j));
  if (open == u'-' || open == u'+') ++j;
  while (j < p.size() && isDigit(p[j])) ++j;
  return make(TokenKind::Backreference, j);
}

Escape property(std::u16string_view p, std::size_t i) {
  std::size_t j = i + 2;
  Escape e = make(TokenKind::Type, j < p.size() ? j + 1 : j, p[i + 1]);
  e.negated = p[i + 1] == u'P';
  if (j < p.size() && p[j] == u'{') {
    e.end = closingAt(p, u'}', j);
    if (j + 1 < p.size() && p[j + 1] == u'^') e.negated = !e.negated;
  }
  return e;
}

constexpr std::u16string_view kTypes = u"dDwWsShHvV";
constexpr std::u16string_view kTypesOutsideClasses = u"RXC";
constexpr std::u16string_view kAssertions = u"AzZGK";
constexpr std::u16string_view kControlLetters = u"ntrfea";
constexpr std::u16string_view kControls = u"\n\t\r\f\x1B\a";

}  // namespace

Escape readEscape(std::u16string_view p, std::size_t i, bool inClass) {
  if (i + 1 >= p.size()) return make(TokenKind::Other, p.size());
  const char16_t x = p[i + 1];
  const std::size_t j = i + 2;
  if (kTypes.find(x) != std::u16string_view::npos) return make(TokenKind::Type, j, x);
  if (kTypesOutsideClasses.find(x) != std::u16string_view::npos) {
    return make(inClass ? TokenKind::Other : TokenKind::Type, j, x);
  }
  if (kAssertions.find(x) != std::u16string_view::npos) {
    return make(inClass ? TokenKind::Other : TokenKind::Assertion, j, x);
  }
  if (std::size_t k = kControlLetters.find(x); k != std::u16string_view::npos) {
    return make(TokenKind::Literal, j, kControls[k]);
  }
  switch (x) {
    case u'Q': {
      Escape e = make(TokenKind::Space, j);
      e.quoteStart = true;
      return e;
    }
    case u'E':
      return make(TokenKind::Space, j);
    case u'x':
      return hexEscape(p, i);
    case u'o':
      return j < p.size() && p[j] == u'{' ? bracedNumber(p, j, j + 1, 8)
                                          : make(TokenKind::Other, j);
    case u'c': {
      if (j >= p.size()) return make(TokenKind::Other, j);
      char16_t c = p[j] >= u'a' && p[j] <= u'z' ? static_cast<char16_t>(p[j] - 32) : p[j];
      return make(TokenKind::Literal, j + 1, static_cast<char32_t>(c ^ 0x40));
    }
    case u'N':
      return namedOrNotNewline(p, i, inClass);
    case u'p':
    case u'P':
      return property(p, i);
    case u'g':
    case u'k':
      return reference(p, i);
    case u'b':
    case u'B':
      if (inClass) return x == u'b' ? make(TokenKind::Literal, j, 0x08) : make(TokenKind::Other, j);
      if (j < p.size() && p[j] == u'{') return make(TokenKind::Assertion, closingAt(p, u'}', j), x);
      return make(TokenKind::Assertion, j, x);
    default:
      break;
  }
  if (isDigit(x)) return digitEscape(p, i, inClass);
  if (isAsciiLetter(x)) return make(TokenKind::Other, j);
  std::size_t length = 1;
  char32_t c = codePointAt(p, i + 1, length);
  return make(TokenKind::Literal, i + 1 + length, c);  // a character quoted by the backslash
}

}  // namespace morvelle::text::detail
