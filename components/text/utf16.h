#pragma once
// The UTF-16 facts every part of components/text needs. Text here may hold lone surrogates
// (a file's broken bytes, a half-typed pair), so every helper takes units as they come and
// never assumes that a lead surrogate has its trail.

#include <cstddef>
#include <string>
#include <string_view>

namespace morvelle::text {

constexpr bool isLeadSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool isTrailSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
constexpr bool isSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

constexpr char32_t combineSurrogates(char16_t lead, char16_t trail) {
  return 0x10000 + ((static_cast<char32_t>(lead) - 0xD800) << 10) + (trail - 0xDC00u);
}
constexpr char16_t leadSurrogateOf(char32_t c) {
  return static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
}
constexpr char16_t trailSurrogateOf(char32_t c) {
  return static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
}

// True when a pair starts at `i`.
constexpr bool pairAt(std::u16string_view text, std::size_t i) {
  return i + 1 < text.size() && isLeadSurrogate(text[i]) && isTrailSurrogate(text[i + 1]);
}

// True when `i` falls between the two halves of a pair.
constexpr bool splitsPair(std::u16string_view text, std::size_t i) {
  return i > 0 && i < text.size() && isTrailSurrogate(text[i]) && isLeadSurrogate(text[i - 1]);
}

// The code point starting at `i` (a lone surrogate is itself); `length` gets 1 or 2.
constexpr char32_t codePointAt(std::u16string_view text, std::size_t i, std::size_t& length) {
  if (pairAt(text, i)) {
    length = 2;
    return combineSurrogates(text[i], text[i + 1]);
  }
  length = 1;
  return text[i];
}

inline void appendCodePoint(std::u16string& out, char32_t c) {
  if (c >= 0x10000) {
    out += leadSurrogateOf(c);
    out += trailSurrogateOf(c);
  } else {
    out += static_cast<char16_t>(c);
  }
}

}  // namespace morvelle::text
