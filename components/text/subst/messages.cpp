#include "messages.h"

#include "text/utf16.h"

namespace morvelle::text {

SubstituteError::SubstituteError(SubstituteErrorKind kind, std::u16string description,
                                 std::size_t position)
    : std::runtime_error(toUtf8(description)),
      kind_(kind),
      description_(std::move(description)),
      position_(position) {}

std::string toUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (std::size_t i = 0, length = 1; i < text.size(); i += length) {
    char32_t c = text[i];
    length = 1;
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    c = codePointAt(text, i, length);
    if (isSurrogate(c)) c = 0xFFFD;  // a lone surrogate has no UTF-8 form
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string fromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  while (i < text.size()) {
    unsigned char b = byte(i);
    if (b < 0x80) {  // runs of ASCII are the common case
      out += static_cast<char16_t>(b);
      ++i;
      continue;
    }
    char32_t c = 0xFFFD;
    std::size_t len = 1;
    if (b < 0x80) {
      c = b;
    } else if (b >= 0xC2 && b < 0xF5) {
      std::size_t need = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
      char32_t v = b & (need == 2 ? 0x1F : need == 3 ? 0x0F : 0x07);
      std::size_t k = 1;
      for (; k < need && i + k < text.size() && (byte(i + k) & 0xC0) == 0x80; ++k) {
        v = (v << 6) | (byte(i + k) & 0x3F);
      }
      if (k == need && !(need == 3 && v < 0x800) && !(need == 4 && (v < 0x10000 || v > 0x10FFFF)) &&
          !isSurrogate(v)) {
        c = v;
        len = need;
      }
    }
    appendCodePoint(out, c);
    i += len;
  }
  return out;
}

namespace detail {

std::u16string decimal(std::size_t value) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return digits;
}

std::size_t characterPosition(std::u16string_view source, std::size_t index) {
  std::size_t count = 1;
  for (std::size_t i = 0; i < index && i < source.size(); ++i) {
    if (!splitsPair(source, i)) ++count;
  }
  return count;
}

void failAt(SubstituteErrorKind kind, std::u16string_view head, std::u16string_view source,
            std::size_t index, std::u16string_view detail) {
  std::size_t position = characterPosition(source, index);
  std::u16string text(head);
  text += u": ";
  text += decimal(position);
  text += u" 文字目、";
  text += detail;
  throw SubstituteError(kind, std::move(text), position);
}

}  // namespace detail
}  // namespace morvelle::text
