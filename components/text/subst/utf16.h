#pragma once
// The few UTF-16 facts every part of the engine needs.

#include <string>

namespace morvelle::text::detail {

inline bool isLeadSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool isTrailSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

inline void appendCodePoint(std::u16string& out, char32_t c) {
  if (c >= 0x10000) {
    out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  } else {
    out += static_cast<char16_t>(c);
  }
}

}  // namespace morvelle::text::detail
