// Names, byte-order marks and the strict validity check of the recogniser.

#include "codec.h"

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
    default:
      return 0;
  }
}

std::string CodePointName(char32_t codePoint) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(codePoint));
  return buffer;
}

bool IsUndecodableByte(Encoding encoding, const Decoded& decoded, std::size_t i) {
  const char16_t u = decoded.text[i];
  if (u < kRawByteBase || u > kRawByteBase + 0xFF) return false;
  switch (encoding) {
    case Encoding::Utf8:
    case Encoding::Utf8Bom:
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
      return decoded.offsets[i + 1] - decoded.offsets[i] == 1;
    default:
      // An ISO-2022-JP byte carries the escapes before it: its span can be longer.
      return true;
  }
}

namespace {

// The run of plain ASCII bytes (01..7F) at p[i], eight at a time; returns the index after it.
std::size_t SkipAscii(const unsigned char* p, std::size_t n, std::size_t i) {
  while (i + 8 <= n && detail::EightPlainAscii(p + i)) i += 8;
  while (i < n && detail::IsPlainAscii(p[i])) ++i;
  return i;
}

template <detail::Step (*kStep)(const unsigned char*, std::size_t, std::size_t)>
std::size_t SteppedPrefix(const unsigned char* p, std::size_t n, std::size_t i, bool truncOk) {
  while (i < n) {
    if (detail::IsPlainAscii(p[i])) {
      // A lone byte (a space between kanji) stays in this loop; longer runs go by words.
      i = i + 1 < n && detail::IsPlainAscii(p[i + 1]) ? SkipAscii(p, n, i) : i + 1;
      continue;
    }
    detail::Step s = kStep(p, n, i);
    if (!s.ok) return s.truncated && truncOk ? n : i;
    i += s.length;
  }
  return n;
}

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
      return SteppedPrefix<detail::Cp932Step>(p, n, 0, allowTruncatedEnd);
    case Encoding::EucJp:
      return SteppedPrefix<detail::EucStep>(p, n, 0, allowTruncatedEnd);
    case Encoding::Utf8:
    case Encoding::Utf8Bom:
      return SteppedPrefix<detail::Utf8Step>(p, n, 0, allowTruncatedEnd);
    case Encoding::Iso2022Jp:
      return JisPrefix(p, n, allowTruncatedEnd);
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
    case Encoding::Binary:
      return n;
  }
  return 0;
}

}  // namespace morvelle::text
