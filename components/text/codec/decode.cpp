// Decoders. The output never reallocates in the hot loops: capacity for the worst case (one
// unit per byte, or per two bytes for UTF-16) is reserved or sized before they start.

#include <algorithm>
#include <cstring>

#include "codec.h"
#include "jis_step.h"
#include "steps.h"
#include "text/utf16.h"

namespace morvelle::text {
namespace {

using detail::Step;

// Collects units and, when kOffsets, where each came from. The write position lives in locals
// of the caller's loop (Put returns it), which keeps it in a register.
template <bool kOffsets>
struct Out {
  char16_t* text;
  std::size_t* offsets;

  void Unit(char16_t u, std::size_t offset) {
    *text++ = u;
    if constexpr (kOffsets) *offsets++ = offset;
  }
  void CodePoint(char32_t cp, std::size_t offset) {
    if (cp < 0x10000) {
      Unit(static_cast<char16_t>(cp), offset);
    } else {
      Unit(leadSurrogateOf(cp), offset);
      Unit(trailSurrogateOf(cp), offset);
    }
  }
  void Raw(const unsigned char* p, std::size_t i, std::size_t length) {
    for (std::size_t k = 0; k < length; ++k) Unit(kRawByteBase + p[i + k], i + k);
  }
  // Widens the run of plain ASCII bytes (01..7F) at p[i], returns the index after it.
  std::size_t Ascii(const unsigned char* p, std::size_t n, std::size_t i) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    while (i + 8 <= n) {
      std::uint64_t word;
      std::memcpy(&word, p + i, 8);
      // A high bit set, or a NUL (its borrow sets the high bit), ends the fast run.
      if ((word | (word - kOnes)) & kHighs) break;
      for (int k = 0; k < 8; ++k) text[k] = p[i + k];
      if constexpr (kOffsets) {
        for (int k = 0; k < 8; ++k) offsets[k] = i + k;
        offsets += 8;
      }
      text += 8;
      i += 8;
    }
    while (i < n && detail::IsPlainAscii(p[i])) {
      Unit(p[i], i);
      ++i;
    }
    return i;
  }
};

template <bool kOffsets>
Out<kOffsets> Prepare(std::size_t maxUnits, Decoded& d) {
  d.text.resize(maxUnits);
  Out<kOffsets> out{d.text.data(), nullptr};
  if constexpr (kOffsets) {
    d.offsets.resize(maxUnits + 1);
    out.offsets = d.offsets.data();
  }
  return out;
}

template <bool kOffsets>
void Finish(const Out<kOffsets>& out, std::size_t inputSize, Decoded& d) {
  std::size_t count = static_cast<std::size_t>(out.text - d.text.data());
  d.text.resize(count);
  if constexpr (kOffsets) {
    d.offsets[count] = inputSize;
    d.offsets.resize(count + 1);
  }
}

// Grows the output a chunk at a time inside capacity reserved up front, so that only what is
// written gets touched: sizing for the worst case would fault in and clear up to twice the
// memory the text needs.
template <bool kOffsets>
void Grow(Decoded& d, Out<kOffsets>& out, std::size_t units) {
  std::size_t count = static_cast<std::size_t>(out.text - d.text.data());
  d.text.resize(count + units);
  out.text = d.text.data() + count;
  if constexpr (kOffsets) {
    d.offsets.resize(count + units + 1);
    out.offsets = d.offsets.data() + count;
  }
}

template <bool kOffsets, Step (*kStep)(const unsigned char*, std::size_t, std::size_t)>
void DecodeStepped(const unsigned char* p, std::size_t n, std::size_t start, Decoded& d) {
  constexpr std::size_t kChunk = 1 << 16;
  d.text.clear();
  d.text.reserve(n - start);
  if constexpr (kOffsets) {
    d.offsets.clear();
    d.offsets.reserve(n - start + 1);
  }
  Out<kOffsets> out{d.text.data(), d.offsets.data()};
  std::size_t i = start;
  while (i < n) {
    // A character begun before the limit may run past it by three bytes; each byte gives at
    // most one unit.
    const std::size_t limit = std::min(n, i + kChunk);
    Grow(d, out, limit - i + 4);
    while (i < limit) {
      if (detail::IsPlainAscii(p[i])) {
        // Short runs (a space, a slash between kanji) stay in this loop.
        if (i + 1 >= limit || !detail::IsPlainAscii(p[i + 1])) {
          out.Unit(p[i], i);
          ++i;
          continue;
        }
        i = out.Ascii(p, limit, i);
        continue;
      }
      Step s = kStep(p, n, i);
      if (s.ok) {
        out.CodePoint(s.codePoint, i);
      } else {
        out.Raw(p, i, s.length);
      }
      i += s.length;
    }
  }
  Grow(d, out, 0);
  Finish(out, n, d);
}

template <bool kOffsets>
void DecodeUtf16(const unsigned char* p, std::size_t n, std::size_t start, bool bigEndian,
                 Decoded& out) {
  Out<kOffsets> sink = Prepare<kOffsets>((n - start) / 2 + 1, out);
  std::size_t i = start;
  const int hi = bigEndian ? 0 : 1;
  for (; i + 1 < n; i += 2) {
    sink.Unit(static_cast<char16_t>((p[i + hi] << 8) | p[i + 1 - hi]), i);
  }
  if (i < n) sink.Raw(p, i, 1);
  Finish(sink, n, out);
}

template <bool kOffsets>
void DecodeJis(const unsigned char* p, std::size_t n, Decoded& out) {
  Out<kOffsets> sink = Prepare<kOffsets>(n, out);
  jis::State state;
  std::size_t pendingShift = n;  // where escapes before the next character began
  std::size_t i = 0;
  while (i < n) {
    detail::JisStep s = detail::JisNext(p, n, i, state);
    std::size_t at = pendingShift < i ? pendingShift : i;
    switch (s.kind) {
      case detail::JisStep::Shift:
        if (pendingShift == n) pendingShift = i;
        break;
      case detail::JisStep::Char:
        sink.CodePoint(s.codePoint, at);
        pendingShift = n;
        break;
      case detail::JisStep::Raw:
        // The escapes before undecodable bytes belong to their first byte.
        sink.Unit(kRawByteBase + p[i], at);
        sink.Raw(p, i + 1, s.length - 1u);
        pendingShift = n;
        break;
    }
    i += s.length;
  }
  Finish(sink, n, out);
}

template <bool kOffsets>
void DecodeAny(Encoding encoding, std::span<const unsigned char> bytes, Decoded& out) {
  const unsigned char* p = bytes.data();
  const std::size_t n = bytes.size();
  const std::size_t bom = BomLength(encoding, bytes);
  switch (encoding) {
    case Encoding::ShiftJis:
      return DecodeStepped<kOffsets, detail::Cp932Step>(p, n, 0, out);
    case Encoding::EucJp:
      return DecodeStepped<kOffsets, detail::EucStep>(p, n, 0, out);
    case Encoding::Ascii:
    case Encoding::Utf8:
    case Encoding::Utf8Bom:
      return DecodeStepped<kOffsets, detail::Utf8Step>(p, n, bom, out);
    case Encoding::Utf16Le:
      return DecodeUtf16<kOffsets>(p, n, bom, false, out);
    case Encoding::Utf16Be:
      return DecodeUtf16<kOffsets>(p, n, bom, true, out);
    case Encoding::Iso2022Jp:
      return DecodeJis<kOffsets>(p, n, out);
    case Encoding::Binary: {
      Out<kOffsets> sink = Prepare<kOffsets>(n, out);
      sink.Raw(p, 0, n);
      return Finish(sink, n, out);
    }
  }
}

}  // namespace

Decoded Decode(Encoding encoding, std::span<const unsigned char> bytes) {
  Decoded out;
  DecodeAny<true>(encoding, bytes, out);
  return out;
}

std::u16string DecodeText(Encoding encoding, std::span<const unsigned char> bytes) {
  Decoded out;
  DecodeAny<false>(encoding, bytes, out);
  return std::move(out.text);
}

}  // namespace morvelle::text
