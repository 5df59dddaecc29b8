#include "expression.h"

#include "messages.h"
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

class Scanner {
 public:
  explicit Scanner(std::u16string_view expr) : e_(expr) {}

  ParsedExpression run() {
    ParsedExpression out;
    std::size_t i = skipBlanks(0);
    if (i >= e_.size()) syntax(i, kEmptyExpression);
    if (e_[i] != u's' || (i + 1 < e_.size() && isAsciiAlnum(e_[i + 1]))) {
      if (e_.substr(i, 2) == u"tr" || e_[i] == u'y') {
        unsupported(i, kTransliteration);
      }
      if (e_[i] == u'm' || e_[i] == u'/') {
        unsupported(i, kMatchOnly);
      }
      syntax(i, kNotSubstitution);
    }
    std::size_t afterS = i + 1;
    i = skipBlanks(afterS);
    if (i >= e_.size()) syntax(i, kNoDelimiter);
    if (i > afterS && e_[i] == u'#') syntax(i, kCommentForDelimiter);
    char16_t open = delimiterAt(i);
    char16_t close = closingBracket(open) ? closingBracket(open) : open;
    std::size_t patternStart = i;
    i = scanPart(i + 1, open, close, true, out.pattern, out.patternOrigin, patternStart);
    out.interpolatePattern = open != u'\'';

    char16_t open2 = open;
    char16_t close2 = close;
    if (closingBracket(open)) {
      i = skipBlanksAndComments(i);
      if (i >= e_.size()) syntax(i, kNoReplacementDelimiter);
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
    if (i < e_.size()) syntax(i, kTrailingText);
    return out;
  }

 private:
  [[noreturn]] void syntax(std::size_t at, const std::u16string& detail) {
    failAt(SubstituteErrorKind::Syntax, kSyntaxHead, e_, at, detail);
  }
  [[noreturn]] void unsupported(std::size_t at, const std::u16string& detail) {
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
    if (c == u'\\') syntax(i, kBackslashDelimiter);
    if (!isAsciiPunct(c)) syntax(i, badDelimiter(c));
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
    syntax(startForError, unclosedPart(pattern, open));
  }

  std::u16string_view e_;
};

}  // namespace

ParsedExpression parseExpression(std::u16string_view expression) {
  // Written by a replacement, a lone surrogate would read as a file's kept byte.
  for (std::size_t i = 0; i < expression.size(); ++i) {
    if (isSurrogate(expression[i]) && !pairAt(expression, i) && !splitsPair(expression, i)) {
      failAt(SubstituteErrorKind::Unsupported, kUnsupportedHead, expression, i, kLoneSurrogate);
    }
  }
  return Scanner(expression).run();
}

RuleFlags parseFlags(std::u16string_view flags, std::u16string_view source, std::size_t origin) {
  RuleFlags out;
  int a = 0;
  int u = 0;
  auto refuse = [&](std::size_t k, const std::u16string& detail) {
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
        if (++a == 2) refuse(k, kFlagAa);
        if (a > 2) refuse(k, kFlagAThrice);
        out.ascii = true;
        break;
      case u'u':
        if (++u > 1) refuse(k, kFlagUTwice);
        break;
      default:
        refuse(k, refusedFlag(flags[k]));
        break;
    }
  }
  if (a > 0 && u > 0) refuse(0, kFlagsAAndU);
  return out;
}

}  // namespace morvelle::text::detail
