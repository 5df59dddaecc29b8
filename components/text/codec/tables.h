#pragma once
// Lookup tables of the legacy codes. Decoding reads the generated arrays directly; the encoders
// are flat arrays over the BMP, built once from glibc's encoder pairs on first use.

#include <cstdint>

namespace morvelle::text::detail {

inline constexpr std::uint16_t kInvalidSingle = 0xFFFF;
inline constexpr std::uint16_t kLeadByte = 0xFFFE;

extern const std::uint16_t* const cp932Single;  // [256]
extern const std::uint16_t* const cp932Pairs;   // [(lead - 0x80) * 192 + (trail - 0x40)]
extern const std::uint16_t* const eucSingle;    // [256]
extern const std::uint16_t* const eucKana;      // [trail - 0xA0], 64 entries
extern const std::uint16_t* const euc0208;      // [(b1 - 0xA1) * 94 + (b2 - 0xA1)]
extern const std::uint16_t* const euc0212;      // the same after 8F

// Code point -> CP932 code (one byte < 0x100, else two); 0 when not encodable (U+0000 -> 00).
const std::uint16_t* Cp932Encoder();
// Code point -> eucJP-ms code (up to three bytes); 0 when not encodable.
const std::uint32_t* EucEncoder();
// Code point -> ISO-2022-JP: 0x2121..0x7E7E for JIS X 0208 (with NEC row 13 and the IBM rows
// as NEC selected them), 0x00A1..0x00DF for half-width katakana, 0x0000..0x007F ASCII; 0xFFFF
// when not encodable.
const std::uint16_t* JisEncoder();

inline constexpr std::uint16_t kNoJis = 0xFFFF;

// JIS row/cell bytes (0x21..0x7E each) <-> Shift_JIS.
constexpr std::uint16_t JisToSjis(unsigned j1, unsigned j2) {
  unsigned s1 = ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0);
  unsigned s2 = (j1 & 1) ? j2 + (j2 >= 0x60 ? 0x20 : 0x1F) : j2 + 0x7E;
  return static_cast<std::uint16_t>((s1 << 8) | s2);
}
constexpr std::uint16_t SjisToJis(unsigned s1, unsigned s2) {
  unsigned j1 = (s1 <= 0x9F ? (s1 - 0x70) : (s1 - 0xB0)) * 2;
  unsigned j2;
  if (s2 >= 0x9F) {
    j2 = s2 - 0x7E;
  } else {
    j1 -= 1;
    j2 = s2 - (s2 >= 0x80 ? 0x20 : 0x1F);
  }
  return static_cast<std::uint16_t>((j1 << 8) | j2);
}

}  // namespace morvelle::text::detail
