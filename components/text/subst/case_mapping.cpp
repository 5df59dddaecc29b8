#include "case_mapping.h"

#include <unicode/ucasemap.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include "text/utf16.h"

namespace morvelle::text::detail {
namespace {

// Runs an ICU "preflight, then convert" function; a failure leaves the text as it was.
template <typename F>
std::u16string mapWith(std::u16string_view text, F&& call) {
  std::u16string out(text.size() + 8, u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode error = U_ZERO_ERROR;
    int32_t length = call(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                          reinterpret_cast<const UChar*>(text.data()),
                          static_cast<int32_t>(text.size()), &error);
    if (error == U_BUFFER_OVERFLOW_ERROR) {
      out.assign(static_cast<std::size_t>(length), u'\0');
      continue;
    }
    if (U_FAILURE(error)) return std::u16string(text);
    out.resize(static_cast<std::size_t>(length));
    return out;
  }
  return std::u16string(text);
}

std::size_t firstCodePointLength(std::u16string_view text) {
  return pairAt(text, 0) ? 2 : text.empty() ? 0 : 1;
}

bool quotedByQuoteMeta(UChar32 c) {
  if (c < 0x80) {
    return !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
             c == '_');
  }
  return u_hasBinaryProperty(c, UCHAR_PATTERN_SYNTAX) ||
         u_hasBinaryProperty(c, UCHAR_PATTERN_WHITE_SPACE) ||
         u_hasBinaryProperty(c, UCHAR_WHITE_SPACE) ||
         u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT) ||
         u_charType(c) == U_CONTROL_CHAR;
}

}  // namespace

std::optional<char32_t> characterByName(std::u16string_view name) {
  std::string ascii;
  for (char16_t c : name) {
    bool allowed = (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u' ' || c == u'-';
    if (!allowed) return std::nullopt;
    ascii += static_cast<char>(c);
  }
  if (ascii.empty()) return std::nullopt;
  for (UCharNameChoice choice : {U_UNICODE_CHAR_NAME, U_CHAR_NAME_ALIAS}) {
    UErrorCode error = U_ZERO_ERROR;
    UChar32 c = u_charFromName(choice, ascii.c_str(), &error);
    if (U_SUCCESS(error) && c >= 0) return static_cast<char32_t>(c);
  }
  return std::nullopt;
}

CaseMapper::CaseMapper() {
  UErrorCode error = U_ZERO_ERROR;
  // Whole-string titlecasing needs no word-break data; we only ever pass one character.
  titleMap_ = ucasemap_open(
      "", U_TITLECASE_WHOLE_STRING | U_TITLECASE_NO_BREAK_ADJUSTMENT | U_TITLECASE_NO_LOWERCASE,
      &error);
  if (U_FAILURE(error)) titleMap_ = nullptr;
}

CaseMapper::~CaseMapper() {
  if (titleMap_) ucasemap_close(titleMap_);
}

std::u16string CaseMapper::apply(char16_t op, std::u16string_view text) {
  switch (op) {
    case u'U':
      return upper(text);
    case u'L':
      return lower(text);
    case u'F':
      return fold(text);
    case u'u':
      return titleFirst(text);
    case u'l':
      return lowerFirst(text);
    case u'Q':
      return quoteMeta(text);
    default:
      return std::u16string(text);
  }
}

std::u16string CaseMapper::upper(std::u16string_view text) {
  return mapWith(text, [](UChar* d, int32_t c, const UChar* s, int32_t n, UErrorCode* e) {
    return u_strToUpper(d, c, s, n, "", e);
  });
}

std::u16string CaseMapper::lower(std::u16string_view text) {
  // ICU lowercases a capital sigma by its context; perl always gives σ.
  std::u16string out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t sigma = text.find(u'\u03A3', start);
    std::u16string_view run = text.substr(
        start, sigma == std::u16string_view::npos ? std::u16string_view::npos : sigma - start);
    out += mapWith(run, [](UChar* d, int32_t c, const UChar* s, int32_t n, UErrorCode* e) {
      return u_strToLower(d, c, s, n, "", e);
    });
    if (sigma == std::u16string_view::npos) break;
    out += u'\u03C3';
    start = sigma + 1;
  }
  return out;
}

std::u16string CaseMapper::fold(std::u16string_view text) {
  return mapWith(text, [](UChar* d, int32_t c, const UChar* s, int32_t n, UErrorCode* e) {
    return u_strFoldCase(d, c, s, n, U_FOLD_CASE_DEFAULT, e);
  });
}

std::u16string CaseMapper::titleFirst(std::u16string_view text) {
  std::size_t first = firstCodePointLength(text);
  if (first == 0) return {};
  std::u16string head;
  if (titleMap_) {
    UCaseMap* map = titleMap_;
    head = mapWith(text.substr(0, first),
                   [map](UChar* d, int32_t c, const UChar* s, int32_t n, UErrorCode* e) {
                     return ucasemap_toTitle(map, d, c, s, n, e);
                   });
  } else {
    std::size_t length = 1;
    appendCodePoint(
        head, static_cast<char32_t>(u_totitle(static_cast<UChar32>(codePointAt(text, 0, length)))));
  }
  head += text.substr(first);
  return head;
}

std::u16string CaseMapper::lowerFirst(std::u16string_view text) {
  std::size_t first = firstCodePointLength(text);
  if (first == 0) return {};
  std::u16string head = lower(text.substr(0, first));
  head += text.substr(first);
  return head;
}

std::u16string CaseMapper::quoteMeta(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() * 2);
  for (std::size_t i = 0; i < text.size();) {
    std::size_t len = 1;
    char32_t c = codePointAt(text, i, len);
    if (quotedByQuoteMeta(static_cast<UChar32>(c))) out += u'\\';
    out += text.substr(i, len);
    i += len;
  }
  return out;
}

}  // namespace morvelle::text::detail
