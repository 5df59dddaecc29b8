// Names, byte-order marks and the strict validity check of the recogniser.

#include "codec.h"

#include <bit>
#include <cstdio>
#include <cstring>

#include "jis_step.h"
#include "steps.h"

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
#if defined(__SSE2__)
      return SteppedPrefix<detail::Cp932Step, detail::Quick::Cp932>(p, n, Cp932Blocks(p, n),
                                                                    allowTruncatedEnd);
#else
      return SteppedPrefix<detail::Cp932Step, detail::Quick::Cp932>(p, n, 0, allowTruncatedEnd);
#endif
    case Encoding::EucJp:
      return SteppedPrefix<detail::EucStep, detail::Quick::Euc>(p, n, 0, allowTruncatedEnd);
    case Encoding::Utf8:
    case Encoding::Utf8Bom:
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
