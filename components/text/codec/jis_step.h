#pragma once
// One step of the ISO-2022-JP decoder: a character, a shift (escape sequence, SO or SI, which
// only changes the state) or undecodable bytes.

#include <cstddef>
#include <cstdint>

#include "codec.h"
#include "tables.h"

namespace morvelle::text::detail {

struct JisStep {
  enum Kind : std::uint8_t { Char, Shift, Raw };
  char32_t codePoint;
  std::uint8_t length;
  Kind kind;
  bool truncated;
};

// The designation an escape at p[i] makes, with its length; length 0 when it is none we know.
// truncated when the bytes end inside what could still become a known escape.
inline bool ParseEscape(const unsigned char* p, std::size_t n, std::size_t i, jis::Set& set,
                        std::uint8_t& length, bool& truncated) {
  struct Known {
    unsigned char bytes[4];
    std::uint8_t length;
    jis::Set set;
  };
  static constexpr Known kKnown[] = {
      {{0x1B, '(', 'B', 0}, 3, jis::Set::Ascii},
      {{0x1B, '(', 'J', 0}, 3, jis::Set::Roman},
      {{0x1B, '(', 'I', 0}, 3, jis::Set::Kana},
      {{0x1B, '$', '@', 0}, 3, jis::Set::Jis1978},
      {{0x1B, '$', 'B', 0}, 3, jis::Set::Jis0208},
      {{0x1B, '$', '(', 'D'}, 4, jis::Set::Jis0212},
      // The long forms ISO 2022 also allows for the two editions of JIS X 0208.
      {{0x1B, '$', '(', 'B'}, 4, jis::Set::Jis0208},
      {{0x1B, '$', '(', '@'}, 4, jis::Set::Jis1978},
  };
  truncated = false;
  for (const Known& k : kKnown) {
    std::size_t m = 0;
    while (m < k.length && i + m < n && p[i + m] == k.bytes[m]) ++m;
    if (m == k.length) {
      set = k.set;
      length = k.length;
      return true;
    }
    if (i + m == n) truncated = true;
  }
  return false;
}

// An escape at p[i] that is none we know: ESC, intermediates 21..2F, then, if `complete`, a
// final byte 30..7E (ESC $ ( Q). The intermediates belong to it even without a final: read as
// text, they could join what an edit puts after them into an escape. `truncated` when the
// bytes end inside it.
struct UnknownEscape {
  std::uint8_t length = 1;
  bool complete = false;
  bool truncated = false;
};

inline UnknownEscape ReadUnknownEscape(const unsigned char* p, std::size_t n, std::size_t i) {
  constexpr std::size_t kMaxIntermediates = 3;
  std::size_t k = i + 1;
  while (k < n && k - i - 1 < kMaxIntermediates && p[k] >= 0x21 && p[k] <= 0x2F) ++k;
  UnknownEscape e;
  e.length = static_cast<std::uint8_t>(k - i);
  if (k == n) {
    e.truncated = true;
  } else if (k > i + 1 && p[k] >= 0x30 && p[k] <= 0x7E) {
    e.complete = true;
    ++e.length;
  }
  return e;
}

// Whether a complete escape of `length` bytes at p[i] designates a set to G0, the only one
// ISO-2022-JP text uses: ESC ( F and ESC $ F for single and multiple byte sets, ESC $ ( F.
inline bool DesignatesG0(const unsigned char* p, std::size_t i, std::size_t length) {
  if (length == 3) return p[i + 1] == '(' || p[i + 1] == '$';
  return length == 4 && p[i + 1] == '$' && p[i + 2] == '(';
}

inline JisStep JisNext(const unsigned char* p, std::size_t n, std::size_t i, jis::State& state) {
  unsigned b = p[i];
  if (b == 0x1B) {
    jis::Set set;
    std::uint8_t length;
    bool truncated;
    if (ParseEscape(p, n, i, set, length, truncated)) {
      state.g0 = set;
      return {0, length, JisStep::Shift, false};
    }
    // An escape we do not know stays undecodable as a whole: its final byte read as text would
    // only misalign what follows. One that designates a set to G0 (JIS X 0213, say) makes the
    // graphic bytes after it that set's, undecodable too until a designation we read.
    const UnknownEscape e = ReadUnknownEscape(p, n, i);
    if (e.complete && DesignatesG0(p, i, e.length)) state.g0 = jis::Set::Unread;
    return {0, e.length, JisStep::Raw, truncated || e.truncated};
  }
  if (b == 0x0E || b == 0x0F) {
    state.shiftOut = b == 0x0E;
    return {0, 1, JisStep::Shift, false};
  }
  if (b >= 0x80) return {0, 1, JisStep::Raw, false};
  if (b < 0x21 || b == 0x7F) return {b, 1, JisStep::Char, false};
  if (state.shiftOut || state.g0 == jis::Set::Kana) {
    if (b <= 0x5F) return {0xFF40 + b, 1, JisStep::Char, false};
    return {0, 1, JisStep::Raw, false};
  }
  switch (state.g0) {
    case jis::Set::Ascii:
    case jis::Set::Roman:
    case jis::Set::Kana:
      return {b, 1, JisStep::Char, false};
    case jis::Set::Unread:
      return {0, 1, JisStep::Raw, false};
    case jis::Set::Jis0208:
    case jis::Set::Jis1978:
    case jis::Set::Jis0212:
      break;
  }
  if (i + 1 >= n) return {0, 1, JisStep::Raw, true};
  unsigned t = p[i + 1];
  if (t < 0x21 || t > 0x7E) return {0, 1, JisStep::Raw, false};
  std::uint16_t u;
  if (state.g0 == jis::Set::Jis0212) {
    u = euc0212[(b - 0x21) * 94 + (t - 0x21)];
  } else {
    std::uint16_t sjis = JisToSjis(b, t);
    u = cp932Pairs[((sjis >> 8) - 0x80) * 192 + ((sjis & 0xFF) - 0x40)];
  }
  if (u == 0) return {0, 2, JisStep::Raw, false};
  return {u, 2, JisStep::Char, false};
}

}  // namespace morvelle::text::detail
