// Decoders. Each writes into a buffer sized for the worst case (one unit per byte, or per two
// bytes for UTF-16) and shrinks it once, so the hot loops never reallocate.

#include <cstring>

#include "codec.h"
#include "jis_step.h"
#include "steps.h"

namespace morvelle::text {
namespace {

using detail::Step;

// Collects units and, when kOffsets, where each came from.
template <bool kOffsets>
class Sink {
 public:
  Sink(std::size_t maxUnits, Decoded& out) : out_(out) {
    out_.text.resize(maxUnits);
    text_ = out_.text.data();
    if constexpr (kOffsets) {
      out_.offsets.resize(maxUnits + 1);
      offsets_ = out_.offsets.data();
    }
  }
  void Unit(char16_t u, std::size_t offset) {
    text_[count_] = u;
    if constexpr (kOffsets) offsets_[count_] = offset;
    ++count_;
  }
  void CodePoint(char32_t cp, std::size_t offset) {
    if (cp < 0x10000) {
      Unit(static_cast<char16_t>(cp), offset);
    } else {
      Unit(static_cast<char16_t>(0xD7C0 + (cp >> 10)), offset);
      Unit(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)), offset);
    }
  }
  void Raw(const unsigned char* p, std::size_t i, std::size_t length) {
    for (std::size_t k = 0; k < length; ++k) Unit(kRawByteBase + p[i + k], i + k);
  }
  // Widens the run of ASCII bytes at p[i], returns the index after it.
  std::size_t Ascii(const unsigned char* p, std::size_t n, std::size_t i) {
    while (i + 8 <= n) {
      std::uint64_t word;
      std::memcpy(&word, p + i, 8);
      if (word & 0x8080808080808080ull) break;
      char16_t* t = text_ + count_;
      for (int k = 0; k < 8; ++k) t[k] = p[i + k];
      if constexpr (kOffsets) {
        for (int k = 0; k < 8; ++k) offsets_[count_ + k] = i + k;
      }
      count_ += 8;
      i += 8;
    }
    while (i < n && p[i] < 0x80) {
      Unit(p[i], i);
      ++i;
    }
    return i;
  }
  void Finish(std::size_t inputSize) {
    out_.text.resize(count_);
    if constexpr (kOffsets) {
      out_.offsets[count_] = inputSize;
      out_.offsets.resize(count_ + 1);
    }
  }

 private:
  Decoded& out_;
  char16_t* text_ = nullptr;
  std::size_t* offsets_ = nullptr;
  std::size_t count_ = 0;
};

template <bool kOffsets, Step (*kStep)(const unsigned char*, std::size_t, std::size_t)>
void DecodeStepped(const unsigned char* p, std::size_t n, std::size_t start, Decoded& out) {
  Sink<kOffsets> sink(n - start, out);
  std::size_t i = start;
  while (i < n) {
    if (p[i] < 0x80) {
      i = sink.Ascii(p, n, i);
      continue;
    }
    Step s = kStep(p, n, i);
    if (s.ok) {
      sink.CodePoint(s.codePoint, i);
    } else {
      sink.Raw(p, i, s.length);
    }
    i += s.length;
  }
  sink.Finish(n);
}

template <bool kOffsets>
void DecodeUtf16(const unsigned char* p, std::size_t n, std::size_t start, bool bigEndian,
                 Decoded& out) {
  Sink<kOffsets> sink((n - start) / 2 + 1, out);
  std::size_t i = start;
  const int hi = bigEndian ? 0 : 1;
  for (; i + 1 < n; i += 2) {
    sink.Unit(static_cast<char16_t>((p[i + hi] << 8) | p[i + 1 - hi]), i);
  }
  if (i < n) sink.Raw(p, i, 1);
  sink.Finish(n);
}

template <bool kOffsets>
void DecodeJis(const unsigned char* p, std::size_t n, Decoded& out) {
  Sink<kOffsets> sink(n, out);
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
  sink.Finish(n);
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
      Sink<kOffsets> sink(n, out);
      sink.Raw(p, 0, n);
      return sink.Finish(n);
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
