#pragma once
// One character step of each code, shared by decoding and the validity check so that both
// agree on every byte.

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "tables.h"
#include "text/utf16.h"

namespace morvelle::text::detail {

// The character starting at p[i]. ok == false: the `length` bytes are undecodable (an
// unassigned pair counts as two such bytes). truncated: a sequence cut off by the end.
struct Step {
  char32_t codePoint;
  std::uint8_t length;
  bool ok;
  bool truncated;
};

inline Step Bad(std::uint8_t length, bool truncated = false) {
  return {0, length, false, truncated};
}

// 00..7F: one byte, the character itself, in every byte-oriented code here (NUL included, as
// for perl and iconv).
constexpr bool IsPlainAscii(unsigned b) { return b < 0x80u; }

// Whether the eight bytes at p are all plain ASCII.
inline bool EightPlainAscii(const unsigned char* p) {
  constexpr std::uint64_t kHighs = 0x8080808080808080ull;
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  return (word & kHighs) == 0;
}

// Whether the sixteen bytes at p are all plain ASCII.
inline bool SixteenPlainAscii(const unsigned char* p) {
#if defined(__SSE2__)
  return _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))) == 0;
#else
  return EightPlainAscii(p) && EightPlainAscii(p + 8);
#endif
}

inline Step Cp932Step(const unsigned char* p, std::size_t n, std::size_t i) {
  unsigned b = p[i];
  std::uint16_t v = cp932Single[b];
  if (v < kLeadByte) return {v, 1, true, false};
  if (v == kInvalidSingle) return Bad(1);
  if (i + 1 >= n) return Bad(1, true);
  unsigned t = p[i + 1];
  if (t < 0x40 || t > 0xFC || t == 0x7F) return Bad(1);
  std::uint16_t u = cp932Pairs[(b - 0x80) * 192 + (t - 0x40)];
  if (u == 0) return Bad(2);
  return {u, 2, true, false};
}

inline bool InEucRange(unsigned b) { return b >= 0xA1 && b <= 0xFE; }

inline Step EucStep(const unsigned char* p, std::size_t n, std::size_t i) {
  unsigned b = p[i];
  std::uint16_t v = eucSingle[b];
  if (v != kInvalidSingle) return {v, 1, true, false};
  if (b == 0x8E) {
    if (i + 1 >= n) return Bad(1, true);
    unsigned t = p[i + 1];
    if (t < 0xA0 || t > 0xDF) return InEucRange(t) ? Bad(2) : Bad(1);
    std::uint16_t u = eucKana[t - 0xA0];
    return u ? Step{u, 2, true, false} : Bad(2);
  }
  if (b == 0x8F) {
    if (i + 1 >= n) return Bad(1, true);
    if (!InEucRange(p[i + 1])) return Bad(1);
    if (i + 2 >= n) return Bad(1, true);
    if (!InEucRange(p[i + 2])) return Bad(1);
    std::uint16_t u = euc0212[(p[i + 1] - 0xA1) * 94 + (p[i + 2] - 0xA1)];
    return u ? Step{u, 3, true, false} : Bad(3);
  }
  if (!InEucRange(b)) return Bad(1);
  if (i + 1 >= n) return Bad(1, true);
  if (!InEucRange(p[i + 1])) return Bad(1);
  std::uint16_t u = euc0208[(b - 0xA1) * 94 + (p[i + 1] - 0xA1)];
  return u ? Step{u, 2, true, false} : Bad(2);
}

// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF. A bad sequence
// yields its first byte alone, so decoding resynchronises on the next byte.
inline Step Utf8Step(const unsigned char* p, std::size_t n, std::size_t i) {
  unsigned b = p[i];
  if (IsPlainAscii(b)) return {b, 1, true, false};
  unsigned length;
  char32_t cp;
  unsigned lo = 0x80, hi = 0xBF;  // bounds of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
    cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    cp = b & 0x0F;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    cp = b & 0x07;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;
  } else {
    return Bad(1);
  }
  for (unsigned k = 1; k < length; ++k) {
    if (i + k >= n) return Bad(1, true);
    unsigned c = p[i + k];
    if (k == 1 ? (c < lo || c > hi) : (c < 0x80 || c > 0xBF)) return Bad(1);
    cp = (cp << 6) | (c & 0x3F);
  }
  return {cp, static_cast<std::uint8_t>(length), true, false};
}

// The common case first, for decoders: a two-byte Shift_JIS or EUC-JP character by one lookup
// without range tests, UTF-8's three bytes of kana and kanji by arithmetic. 0 sends the caller
// to the full step (which also decides every other case).
enum class Quick { None, Cp932, Euc, Utf8 };

// CP932 pairs indexed by both bytes whole, (lead - 0x80) * 256 + trail; 0 where no character is
// (and one entry more, 0, for gathers that read four bytes an entry).
const std::uint16_t* Cp932PairTable();
// The same pairs as flags, 32 KB: ((lead << 8) | trail) - 0x8000 is 1 where a character is. Bytes
// 80..FF that begin no pair (A1..DF among them) have no flags.
const std::uint8_t* Cp932PairFlags();

#if defined(__SSE2__)
// The lead bytes of a two-byte code among 64 bytes beginning a character, given the bytes that
// may lead (bit k for byte k): in a run of them every other one does, beginning with the run's
// first, since the byte before a run leads nothing and the byte after a lead byte is its trail
// whatever it is.
inline std::uint64_t LeadsOfRuns(std::uint64_t may) {
  constexpr std::uint64_t kEven = 0x5555555555555555ull;
  // Runs beginning on an even bit vanish from the sum: their bits are the even-run bits.
  const std::uint64_t runStarts = may & ~(may << 1);
  const std::uint64_t evenRuns = may & ~(may + (runStarts & kEven));
  return (evenRuns & kEven) | (may & ~evenRuns & ~kEven);
}

// Bit k for each byte p[k] of 64 that `match` marks.
template <class Match>
inline std::uint64_t Mask64(const unsigned char* p, Match match) {
  std::uint64_t mask = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    mask |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(match(x)))} << (16 * k);
  }
  return mask;
}

// The lead bytes among the 64 bytes at p, p[0] beginning a character: bit k for p[k]. The bytes
// that may lead are 80..A0 and E0..FF; one that begins no pair (80, 85, A0, FD...) is still
// counted, for the pair lookup to refuse. `singles`: the bytes 80..FF that are neither lead nor
// trail bytes, characters by themselves (the half-width katakana) or undecodable.
struct Cp932Bytes {
  std::uint64_t leads, singles;
};

inline Cp932Bytes Cp932LeadBytes(const unsigned char* p) {
  const __m128i low = _mm_set1_epi8(static_cast<char>(0xA1));   // below: 80..A0 (signed)
  const __m128i high = _mm_set1_epi8(static_cast<char>(0xDF));  // above: E0..FF (signed)
  const __m128i zero = _mm_setzero_si128();
  const std::uint64_t may = Mask64(p, [&](__m128i x) {
    return _mm_or_si128(_mm_cmplt_epi8(x, low),
                        _mm_and_si128(_mm_cmpgt_epi8(x, high), _mm_cmplt_epi8(x, zero)));
  });
  const std::uint64_t leads = LeadsOfRuns(may);
  return {leads, Mask64(p, [](__m128i x) { return x; }) & ~leads & ~(leads << 1)};
}
#endif

template <Quick kQuick>
inline char16_t QuickUnit(const unsigned char* p, std::size_t n, std::size_t i,
                          const std::uint16_t* pairs, unsigned& length) {
  const unsigned b = p[i];
  if constexpr (kQuick == Quick::Cp932) {
    if (b < 0x81 || i + 1 >= n) return 0;
    length = 2;
    return pairs[((b - 0x80) << 8) | p[i + 1]];
  } else if constexpr (kQuick == Quick::Euc) {
    if (b - 0xA1u > 0x5Du || i + 1 >= n || p[i + 1] - 0xA1u > 0x5Du) return 0;
    length = 2;
    return euc0208[(b - 0xA1) * 94 + (p[i + 1] - 0xA1)];
  } else if constexpr (kQuick == Quick::Utf8) {
    // E1..EC and EE..EF: no overlong form, no surrogate, whatever the continuation bytes.
    if (b - 0xE1u > 0x0Eu || b == 0xED || i + 2 >= n) return 0;
    const unsigned c1 = p[i + 1], c2 = p[i + 2];
    if (((c1 ^ 0x80) | (c2 ^ 0x80)) >= 0x40) return 0;
    length = 3;
    return static_cast<char16_t>(((b & 0x0F) << 12) | ((c1 & 0x3F) << 6) | (c2 & 0x3F));
  } else {
    (void)p, (void)n, (void)i, (void)pairs, (void)length, (void)b;
    return 0;
  }
}

// UTF-16 and UTF-32 take a unit a step, a pair of UTF-16 units one step. A unit that is no
// character (a lone surrogate, a value beyond U+10FFFF) is undecodable byte by byte, as are the
// bytes of a unit cut off by the end.
template <bool kBigEndian>
inline unsigned Utf16UnitAt(const unsigned char* p) {
  return kBigEndian ? (unsigned{p[0]} << 8) | p[1] : p[0] | (unsigned{p[1]} << 8);
}

template <bool kBigEndian>
inline Step Utf16Step(const unsigned char* p, std::size_t n, std::size_t i) {
  if (n - i < 2) return Bad(1, true);
  const unsigned u = Utf16UnitAt<kBigEndian>(p + i);
  if (!isSurrogate(u)) return {u, 2, true, false};
  if (isLeadSurrogate(u)) {
    if (n - i < 4) return Bad(2, true);
    const unsigned t = Utf16UnitAt<kBigEndian>(p + i + 2);
    if (isTrailSurrogate(t)) {
      return {combineSurrogates(static_cast<char16_t>(u), static_cast<char16_t>(t)), 4, true,
              false};
    }
  }
  return Bad(2);
}

template <bool kBigEndian>
inline Step Utf32Step(const unsigned char* p, std::size_t n, std::size_t i) {
  if (n - i < 4) return Bad(static_cast<std::uint8_t>(n - i), true);
  const char32_t u = kBigEndian ? (char32_t{p[i]} << 24) | (char32_t{p[i + 1]} << 16) |
                                      (char32_t{p[i + 2]} << 8) | p[i + 3]
                                : p[i] | (char32_t{p[i + 1]} << 8) | (char32_t{p[i + 2]} << 16) |
                                      (char32_t{p[i + 3]} << 24);
  if (u > 0x10FFFF || isSurrogate(u)) return Bad(4);
  return {u, 4, true, false};
}

}  // namespace morvelle::text::detail
