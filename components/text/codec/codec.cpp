// Names, byte-order marks and the strict validity check of the recogniser.

#include "codec.h"

#include <bit>
#include <cstdio>
#include <cstring>

#include "jis_step.h"
#include "steps.h"
#include "wide.h"

namespace morvelle::text {

std::string_view EncodingName(Encoding encoding) {
  switch (encoding) {
    case Encoding::Ascii:
      return "ASCII";
    case Encoding::ShiftJis:
      return "Shift_JIS";
    case Encoding::EucJp:
      return "EUC-JP";
    case Encoding::Iso2022Jp:
      return "ISO-2022-JP";
    case Encoding::Utf8:
      return "UTF-8";
    case Encoding::Utf8Bom:
      return "UTF-8 (BOM)";
    case Encoding::Utf16Le:
      return "UTF-16LE";
    case Encoding::Utf16Be:
      return "UTF-16BE";
    case Encoding::Utf32Le:
      return "UTF-32LE";
    case Encoding::Utf32Be:
      return "UTF-32BE";
    case Encoding::Binary:
      return "バイナリ";
  }
  return "?";
}

std::size_t BomLength(Encoding encoding, std::span<const unsigned char> b) {
  switch (encoding) {
    case Encoding::Utf8Bom:
      return b.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF ? 3 : 0;
    case Encoding::Utf16Le:
      return b.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE ? 2 : 0;
    case Encoding::Utf16Be:
      return b.size() >= 2 && b[0] == 0xFE && b[1] == 0xFF ? 2 : 0;
    case Encoding::Utf32Le:
      return b.size() >= 4 && b[0] == 0xFF && b[1] == 0xFE && b[2] == 0 && b[3] == 0 ? 4 : 0;
    case Encoding::Utf32Be:
      return b.size() >= 4 && b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF ? 4 : 0;
    default:
      return 0;
  }
}

std::string CodePointName(char32_t codePoint) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(codePoint));
  return buffer;
}

std::size_t FindRawByte(std::u16string_view text, std::size_t from) {
  for (std::size_t i = from; i < text.size(); ++i) {
    // Most units are far from the surrogates: one comparison each.
    if (text[i] - 0xDC00u < 0x100u && IsRawByteAt(text, i)) return i;
  }
  return std::u16string_view::npos;
}

namespace {

// The run of plain ASCII bytes (01..7F) at p[i], eight at a time; returns the index after it.
std::size_t SkipAscii(const unsigned char* p, std::size_t n, std::size_t i) {
  while (i + 8 <= n && detail::EightPlainAscii(p + i)) i += 8;
  while (i < n && detail::IsPlainAscii(p[i])) ++i;
  return i;
}

template <detail::Step (*kStep)(const unsigned char*, std::size_t, std::size_t)>
std::size_t UnitPrefix(const unsigned char* p, std::size_t n, std::size_t i, bool truncOk) {
  while (i < n) {
    const detail::Step s = kStep(p, n, i);
    if (!s.ok) return s.truncated && truncOk ? n : i;
    i += s.length;
  }
  return n;
}

template <detail::Step (*kStep)(const unsigned char*, std::size_t, std::size_t),
          detail::Quick kQuick>
std::size_t SteppedPrefix(const unsigned char* p, std::size_t n, std::size_t i, bool truncOk) {
  const std::uint16_t* pairs = kQuick == detail::Quick::Cp932 ? detail::Cp932PairTable() : nullptr;
  while (i < n) {
    if (detail::IsPlainAscii(p[i])) {
      // A lone byte (a space between kanji) stays in this loop; longer runs go by words.
      i = i + 1 < n && detail::IsPlainAscii(p[i + 1]) ? SkipAscii(p, n, i) : i + 1;
      continue;
    }
    // The common characters by one lookup, as decoding takes them.
    unsigned length = 0;
    if (detail::QuickUnit<kQuick>(p, n, i, pairs, length) != 0) {
      i += length;
      continue;
    }
    detail::Step s = kStep(p, n, i);
    if (!s.ok) return s.truncated && truncOk ? n : i;
    i += s.length;
  }
  return n;
}

#if defined(__SSE2__)
// CP932 sixty-four bytes at a time, from a character's start: returns where a character begins
// before which every byte is valid, at most 64 bytes from the end or at the block holding the
// first invalid byte; the stepped check goes on from there. Each lead byte's pair is looked up
// in the flags, where the bytes that begin no pair have none; every other byte at a character's
// start (ASCII, the half-width katakana) is a character by itself.
std::size_t Cp932Blocks(const unsigned char* p, std::size_t n) {
  const std::uint8_t* flags = detail::Cp932PairFlags();
  std::size_t i = 0;
  // A lead byte at the block's end reads one byte past it.
  while (n - i > 64) {
    const std::uint64_t leads = detail::Cp932LeadBytes(p + i).leads;
    unsigned found = 1;
    for (std::uint64_t m = leads; m != 0; m &= m - 1) {
      std::uint16_t pair;  // lead and trail byte, read as one
      std::memcpy(&pair, p + i + std::countr_zero(m), 2);
      if constexpr (std::endian::native == std::endian::little) pair = __builtin_bswap16(pair);
      found &= flags[pair - 0x8000u];
    }
    if (!found) return i;
    i += 64 + (leads >> 63);
  }
  return i;
}
#endif

#if defined(MORVELLE_WIDE_BLOCKS)
// The lead bytes of a block whose bytes that may lead are `may`, its first byte the trail of the
// last block's last lead where `carry`. Both readings are worked out, so that only the choice
// waits for the last block.
inline std::uint64_t BlockLeads(std::uint64_t may, std::uint64_t carry) {
  const std::uint64_t fromFirst = detail::LeadsOfRuns(may);
  const std::uint64_t fromSecond = detail::LeadsOfRuns(may & ~std::uint64_t{1});
  return carry ? fromSecond : fromFirst;
}

// Whether `valid` takes every pair whose lead `leads` marks among the bytes at p: the pairs the
// classes leave to a lookup.
template <class Valid>
bool PairsValid(const unsigned char* p, std::uint64_t leads, Valid valid) {
  for (; leads != 0; leads &= leads - 1) {
    const unsigned char* at = p + std::countr_zero(leads);
    if (!valid(at[0], at[1])) return false;
  }
  return true;
}

// The CP932 pairs as classes for a check by byte permutes: a pair is valid where its lead's
// class and its trail's share a bit. Each bit stands for the row of one lead below, and the
// leads whose row is that one's: the kana, the symbols and the rows of kanji, which hold
// nearly every pair of Japanese text. The leads of the other rows have no bit and are looked
// up one by one.
struct Cp932Classes {
  alignas(64) std::uint8_t lead[128];   // by lead byte - 0x80
  alignas(64) std::uint8_t trail[256];  // by trail byte
};

const Cp932Classes& Cp932PairClasses() {
  static const Cp932Classes classes = [] {
    constexpr unsigned char kRows[8] = {0x81, 0x82, 0x83, 0x84, 0x88, 0x89, 0x98, 0xEA};
    const std::uint8_t* flags = detail::Cp932PairFlags();
    const auto row = [&](unsigned lead) { return flags + (lead - 0x80) * 256; };
    Cp932Classes c{};
    for (unsigned k = 0; k < 8; ++k) {
      const auto bit = static_cast<std::uint8_t>(1u << k);
      for (unsigned lead = 0x80; lead < 0x100; ++lead) {
        if (std::memcmp(row(lead), row(kRows[k]), 256) == 0) c.lead[lead - 0x80] |= bit;
      }
      for (unsigned trail = 0; trail < 256; ++trail) {
        if (row(kRows[k])[trail]) c.trail[trail] |= bit;
      }
    }
    return c;
  }();
  return classes;
}

// Cp932Blocks by 512-bit vectors: the classes of every byte and of the byte after it, by
// byte permutes, and a test of each lead against its trail.
MORVELLE_WIDE std::size_t Cp932BlocksWide(const unsigned char* p, std::size_t n) {
  const Cp932Classes& c = Cp932PairClasses();
  const std::uint8_t* flags = detail::Cp932PairFlags();
  const __m512i lead0 = _mm512_load_si512(c.lead), lead1 = _mm512_load_si512(c.lead + 64);
  const __m512i trail0 = _mm512_load_si512(c.trail), trail1 = _mm512_load_si512(c.trail + 64);
  const __m512i trail2 = _mm512_load_si512(c.trail + 128);
  const __m512i trail3 = _mm512_load_si512(c.trail + 192);
  // Blocks at a fixed stride, so that no load waits for the last block's leads; `carry` is 1
  // where a block's first byte is the trail of the last block's last lead.
  std::uint64_t carry = 0;
  std::size_t i = 0;
  for (; n - i > 64; i += 64) {
    const __m512i v = _mm512_loadu_si512(p + i);
    const __m512i next = _mm512_loadu_si512(p + i + 1);
    // 80..A0 and E0..FF, as Cp932LeadBytes takes them.
    const __mmask64 may =
        _mm512_cmplt_epu8_mask(_mm512_sub_epi8(v, _mm512_set1_epi8(static_cast<char>(0x80))),
                               _mm512_set1_epi8(0x21)) |
        _mm512_cmpge_epu8_mask(v, _mm512_set1_epi8(static_cast<char>(0xE0)));
    const __m512i leadClass = _mm512_permutex2var_epi8(lead0, v, lead1);
    const __m512i trailClass = _mm512_mask_blend_epi8(
        _mm512_movepi8_mask(next), _mm512_permutex2var_epi8(trail0, next, trail1),
        _mm512_permutex2var_epi8(trail2, next, trail3));
    const std::uint64_t leads = BlockLeads(may, carry);
    if (!PairsValid(p + i, leads & ~_mm512_test_epi8_mask(leadClass, trailClass),
                    [&](unsigned lead, unsigned trail) {
                      return flags[(lead - 0x80) * 256 + trail] != 0;
                    })) {
      return i + carry;
    }
    carry = leads >> 63;
  }
  return i + carry;
}

// The indices for _mm512_permutex2var_epi8(block, index, before) that give the bytes `back`
// places before each byte of a block, the last ones of `before` leading.
struct BytesBack {
  alignas(64) std::uint8_t index[3][64];
  constexpr BytesBack() : index() {
    for (unsigned back = 1; back <= 3; ++back) {
      for (unsigned j = 0; j < 64; ++j) {
        index[back - 1][j] = static_cast<std::uint8_t>(j >= back ? j - back : 128 - back + j);
      }
    }
  }
};
constexpr BytesBack kBytesBack;

// UTF-8 by 512-bit vectors: each byte is judged with the three before it by three nibble
// lookups (the method of Keiser and Lemire), so a block holds no step per character. Returns
// where a character begins before which every byte is valid: the start of a character that
// runs into the first block not taken, or of that block; the stepped check goes on from there.
MORVELLE_WIDE std::size_t Utf8BlocksWide(const unsigned char* p, std::size_t n) {
  // What a pair of bytes breaks, as bits: by the first byte's high and low nibble and the
  // second's high nibble; a pair is bad where all three share a bit.
  constexpr char kShort = 1 << 0;                        // a lead without its continuations
  constexpr char kLong = 1 << 1;                         // a continuation after ASCII
  constexpr char kOverlong3 = 1 << 2;                    // E0 80..9F
  constexpr char kLarge = 1 << 3;                        // F4 90.., F5..FF
  constexpr char kSurrogate = 1 << 4;                    // ED A0..BF
  constexpr char kOverlong2 = 1 << 5;                    // C0, C1
  constexpr char kLarge1000 = 1 << 6;                    // F5..FF 80..8F
  constexpr char kOverlong4 = 1 << 6;                    // F0 80..8F
  constexpr char kTwoConts = static_cast<char>(1 << 7);  // a continuation after a continuation
  constexpr char kCarry = kShort | kLong | kTwoConts;
  // The table in every 128-bit lane; GCC 12 warns of its own unmasked broadcast.
  constexpr __mmask16 kEvery = 0xFFFF;
  const __m512i firstHigh = _mm512_maskz_broadcast_i32x4(
      kEvery,
      _mm_setr_epi8(kLong, kLong, kLong, kLong, kLong, kLong, kLong, kLong, kTwoConts, kTwoConts,
                    kTwoConts, kTwoConts, kShort | kOverlong2, kShort,
                    kShort | kOverlong3 | kSurrogate, kShort | kLarge | kLarge1000 | kOverlong4));
  constexpr char kAbove = kCarry | kLarge | kLarge1000;
  const __m512i firstLow = _mm512_maskz_broadcast_i32x4(
      kEvery, _mm_setr_epi8(kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2,
                            kCarry, kCarry, kCarry | kLarge, kAbove, kAbove, kAbove, kAbove, kAbove,
                            kAbove, kAbove, kAbove, kAbove | kSurrogate, kAbove, kAbove));
  constexpr char kCont = kLong | kOverlong2 | kTwoConts;
  const __m512i secondHigh = _mm512_maskz_broadcast_i32x4(
      kEvery, _mm_setr_epi8(kShort, kShort, kShort, kShort, kShort, kShort, kShort, kShort,
                            kCont | kOverlong3 | kLarge1000 | kOverlong4,
                            kCont | kOverlong3 | kLarge, kCont | kSurrogate | kLarge,
                            kCont | kSurrogate | kLarge, kShort, kShort, kShort, kShort));
  const __m512i nibble = _mm512_set1_epi8(0x0F);
  const __m512i back1 = _mm512_load_si512(kBytesBack.index[0]);
  const __m512i back2 = _mm512_load_si512(kBytesBack.index[1]);
  const __m512i back3 = _mm512_load_si512(kBytesBack.index[2]);
  __m512i before = _mm512_setzero_si512();
  std::size_t i = 0;
  for (; n - i >= 64; i += 64) {
    const __m512i block = _mm512_loadu_si512(p + i);
    const __m512i prev1 = _mm512_permutex2var_epi8(block, back1, before);
    const __m512i prev2 = _mm512_permutex2var_epi8(block, back2, before);
    const __m512i prev3 = _mm512_permutex2var_epi8(block, back3, before);
    const __m512i special = _mm512_and_si512(
        _mm512_and_si512(
            _mm512_shuffle_epi8(firstHigh, _mm512_and_si512(_mm512_srli_epi16(prev1, 4), nibble)),
            _mm512_shuffle_epi8(firstLow, _mm512_and_si512(prev1, nibble))),
        _mm512_shuffle_epi8(secondHigh, _mm512_and_si512(_mm512_srli_epi16(block, 4), nibble)));
    // The third and fourth bytes of a character must be continuations, which the pair
    // lookups mark kTwoConts: there the mark is wanted, anywhere else it is an error.
    const __mmask64 third =
        _mm512_cmpge_epu8_mask(prev2, _mm512_set1_epi8(static_cast<char>(0xE0))) |
        _mm512_cmpge_epu8_mask(prev3, _mm512_set1_epi8(static_cast<char>(0xF0)));
    const __m512i wanted = _mm512_maskz_mov_epi8(third, _mm512_set1_epi8(kTwoConts));
    if (_mm512_test_epi8_mask(_mm512_xor_si512(special, wanted), _mm512_set1_epi8(-1)) != 0) {
      break;
    }
    before = block;
  }
  // Back to the start of a character that runs past i, if one does.
  if (i >= 1 && p[i - 1] >= 0xC0) return i - 1;
  if (i >= 2 && p[i - 2] >= 0xE0) return i - 2;
  if (i >= 3 && p[i - 3] >= 0xF0) return i - 3;
  return i;
}

// The eucJP-ms pairs as classes, as Cp932Classes: each bit stands for the row of one lead below
// and the leads whose row is that one's (the full rows, symbols, letters, kana and the last row
// of kanji); the other leads are looked up one by one.
struct EucClasses {
  alignas(64) std::uint8_t lead[128];   // by lead byte - 0x80
  alignas(64) std::uint8_t trail[128];  // by trail byte - 0x80
};

// Whether lead and trail are a JIS X 0208 character of eucJP-ms.
inline bool EucPairValid(unsigned lead, unsigned trail) {
  return detail::InEucRange(lead) && detail::InEucRange(trail) &&
         detail::euc0208[(lead - 0xA1) * 94 + (trail - 0xA1)] != 0;
}

const EucClasses& EucPairClasses() {
  static const EucClasses classes = [] {
    constexpr unsigned char kRows[8] = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xCF};
    const auto sameRow = [](unsigned a, unsigned b) {
      for (unsigned trail = 0x80; trail < 0x100; ++trail) {
        if (EucPairValid(a, trail) != EucPairValid(b, trail)) return false;
      }
      return true;
    };
    EucClasses c{};
    for (unsigned k = 0; k < 8; ++k) {
      const auto bit = static_cast<std::uint8_t>(1u << k);
      for (unsigned lead = 0xA1; lead <= 0xFE; ++lead) {
        if (sameRow(lead, kRows[k])) c.lead[lead - 0x80] |= bit;
      }
      for (unsigned trail = 0x80; trail < 0x100; ++trail) {
        if (EucPairValid(kRows[k], trail)) c.trail[trail - 0x80] |= bit;
      }
    }
    return c;
  }();
  return classes;
}

// eucJP-ms by 512-bit vectors, as Cp932BlocksWide, for blocks of ASCII and pairs; a block that
// holds a single shift, a C1 control or a byte no character begins with goes a character at a
// time. Returns where a character begins before which every byte is valid.
MORVELLE_WIDE std::size_t EucBlocksWide(const unsigned char* p, std::size_t n) {
  const EucClasses& c = EucPairClasses();
  const __m512i lead0 = _mm512_load_si512(c.lead), lead1 = _mm512_load_si512(c.lead + 64);
  const __m512i trail0 = _mm512_load_si512(c.trail), trail1 = _mm512_load_si512(c.trail + 64);
  const __m512i a1 = _mm512_set1_epi8(static_cast<char>(0xA1));
  const __m512i ff = _mm512_set1_epi8(static_cast<char>(0xFF));
  std::uint64_t carry = 0;  // as in Cp932BlocksWide
  std::size_t i = 0;
  while (n - i > 64) {
    const __m512i v = _mm512_loadu_si512(p + i);
    const __m512i next = _mm512_loadu_si512(p + i + 1);
    const __mmask64 high = _mm512_movepi8_mask(v);
    const __mmask64 pairBytes = _mm512_cmpge_epu8_mask(v, a1) & _mm512_cmpneq_epi8_mask(v, ff);
    if ((high & ~pairBytes) != 0) {
      // 80..A0 or FF: a character at a time past this block, then blocks again.
      const std::size_t end = i + 64;
      for (i += carry; i < end;) {
        const detail::Step step = detail::EucStep(p, n, i);
        if (!step.ok) return i;
        i += step.length;
      }
      carry = 0;
      continue;
    }
    const __m512i leadClass = _mm512_permutex2var_epi8(lead0, v, lead1);
    const __m512i trailClass =
        _mm512_maskz_permutex2var_epi8(_mm512_movepi8_mask(next), trail0, next, trail1);
    const std::uint64_t leads = BlockLeads(pairBytes, carry);
    if (!PairsValid(p + i, leads & ~_mm512_test_epi8_mask(leadClass, trailClass), EucPairValid)) {
      return i + carry;
    }
    carry = leads >> 63;
    i += 64;
  }
  return i + carry;
}
#endif

std::size_t JisPrefix(const unsigned char* p, std::size_t n, bool truncOk) {
  jis::State state;
  for (std::size_t i = 0; i < n;) {
    detail::JisStep s = detail::JisNext(p, n, i, state);
    if (s.kind == detail::JisStep::Raw) return s.truncated && truncOk ? n : i;
    i += s.length;
  }
  return n;
}

}  // namespace

std::size_t ValidPrefixLength(Encoding encoding, std::span<const unsigned char> bytes,
                              bool allowTruncatedEnd) {
  const unsigned char* p = bytes.data();
  const std::size_t n = bytes.size();
  switch (encoding) {
    case Encoding::Ascii:
      return SkipAscii(p, n, 0);
    case Encoding::ShiftJis:
#if defined(MORVELLE_WIDE_BLOCKS)
      if (detail::HasWideBlocks()) {
        return SteppedPrefix<detail::Cp932Step, detail::Quick::Cp932>(p, n, Cp932BlocksWide(p, n),
                                                                      allowTruncatedEnd);
      }
#endif
#if defined(__SSE2__)
      return SteppedPrefix<detail::Cp932Step, detail::Quick::Cp932>(p, n, Cp932Blocks(p, n),
                                                                    allowTruncatedEnd);
#else
      return SteppedPrefix<detail::Cp932Step, detail::Quick::Cp932>(p, n, 0, allowTruncatedEnd);
#endif
    case Encoding::EucJp:
#if defined(MORVELLE_WIDE_BLOCKS)
      if (detail::HasWideBlocks()) {
        return SteppedPrefix<detail::EucStep, detail::Quick::Euc>(p, n, EucBlocksWide(p, n),
                                                                  allowTruncatedEnd);
      }
#endif
      return SteppedPrefix<detail::EucStep, detail::Quick::Euc>(p, n, 0, allowTruncatedEnd);
    case Encoding::Utf8:
    case Encoding::Utf8Bom:
#if defined(MORVELLE_WIDE_BLOCKS)
      if (detail::HasWideBlocks()) {
        return SteppedPrefix<detail::Utf8Step, detail::Quick::Utf8>(p, n, Utf8BlocksWide(p, n),
                                                                    allowTruncatedEnd);
      }
#endif
      return SteppedPrefix<detail::Utf8Step, detail::Quick::Utf8>(p, n, 0, allowTruncatedEnd);
    case Encoding::Iso2022Jp:
      return JisPrefix(p, n, allowTruncatedEnd);
    case Encoding::Utf16Le:
      return UnitPrefix<detail::Utf16Step<false>>(p, n, BomLength(encoding, bytes),
                                                  allowTruncatedEnd);
    case Encoding::Utf16Be:
      return UnitPrefix<detail::Utf16Step<true>>(p, n, BomLength(encoding, bytes),
                                                 allowTruncatedEnd);
    case Encoding::Utf32Le:
      return UnitPrefix<detail::Utf32Step<false>>(p, n, BomLength(encoding, bytes),
                                                  allowTruncatedEnd);
    case Encoding::Utf32Be:
      return UnitPrefix<detail::Utf32Step<true>>(p, n, BomLength(encoding, bytes),
                                                 allowTruncatedEnd);
    case Encoding::Binary:
      return n;
  }
  return 0;
}

}  // namespace morvelle::text
