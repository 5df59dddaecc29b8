// Decoders. The output never reallocates in the hot loops: capacity for the worst case (one
// unit per byte, or per two bytes for UTF-16) is reserved or sized before they start.

#include <algorithm>
#include <cstring>

#include "codec.h"
#include "index_entry.h"
#include "jis_step.h"
#include "offset_index.h"
#include "steps.h"
#include "text/utf16.h"

namespace morvelle::text {
namespace {

using detail::Step;

// What a decoder keeps besides the text: nothing, every unit's offset, the sparse index, or
// every unit's offset in four bytes beside a text that can be edited in place.
enum class Mode { Text, Offsets, Index, Dense };

// Collects units and what the mode keeps of where they came from. The write position lives in
// locals of the caller's loop (Put returns it), which keeps it in a register.
template <Mode kMode>
struct Out {
  char16_t* text;
  std::size_t* offsets = nullptr;  // Offsets
  std::uint32_t* dense = nullptr;  // Dense
  // Index: the first unit, the unit whose entry comes next, and the entries.
  const char16_t* base = nullptr;
  std::size_t mark = 0;
  std::vector<std::uint64_t>* entries = nullptr;
  bool raw = false;  // a byte did not decode

  void Unit(char16_t u, std::size_t offset) {
    *text++ = u;
    if constexpr (kMode == Mode::Offsets) *offsets++ = offset;
    if constexpr (kMode == Mode::Dense) *dense++ = static_cast<std::uint32_t>(offset);
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
    raw = true;
    for (std::size_t k = 0; k < length; ++k) Unit(RawByteUnit(p[i + k]), i + k);
  }
  // Widens the run of plain ASCII bytes (01..7F) at p[i], returns the index after it.
  std::size_t Ascii(const unsigned char* p, std::size_t n, std::size_t i) {
    while (i + 8 <= n && detail::EightPlainAscii(p + i)) {
      for (int k = 0; k < 8; ++k) text[k] = p[i + k];
      if constexpr (kMode == Mode::Offsets) {
        for (int k = 0; k < 8; ++k) offsets[k] = i + k;
        offsets += 8;
      }
      if constexpr (kMode == Mode::Dense) {
        for (int k = 0; k < 8; ++k) dense[k] = static_cast<std::uint32_t>(i + k);
        dense += 8;
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

  // After a step that began at `offset` (at its escapes) in `state` and wrote units from
  // `first` on: the entry of a marked unit among them. A step yields fewer than kBlock units.
  [[gnu::always_inline]] void Stepped(const char16_t* first, std::size_t offset,
                                      jis::State state = {}) {
    if constexpr (kMode == Mode::Index) {
      if (static_cast<std::size_t>(text - base) > mark) {
        entries->push_back(
            detail::PackEntry(offset, mark - static_cast<std::size_t>(first - base), state));
        mark += OffsetIndex::kBlock;
      }
    }
  }
  // After ASCII units from `first` on, one byte and one step each, the first at `offset`.
  [[gnu::always_inline]] void SteppedAscii(const char16_t* first, std::size_t offset) {
    if constexpr (kMode == Mode::Index) {
      const auto from = static_cast<std::size_t>(first - base);
      while (static_cast<std::size_t>(text - base) > mark) {
        entries->push_back(detail::PackEntry(offset + (mark - from), 0, {}));
        mark += OffsetIndex::kBlock;
      }
    }
  }
};

// Where the units go. Decoded: a string and offsets, grown a chunk at a time inside capacity
// reserved up front, so that only what is written gets touched (sizing for the worst case would
// fault in and clear up to twice the memory the text needs).
template <Mode kMode>
struct Store {
  Decoded& d;

  Out<kMode> Begin(std::size_t reserveUnits) {
    d.text.clear();
    d.text.reserve(reserveUnits);
    if constexpr (kMode == Mode::Offsets) {
      d.offsets.clear();
      d.offsets.reserve(reserveUnits + 1);
    }
    return {d.text.data(), d.offsets.data()};
  }
  void Grow(Out<kMode>& out, std::size_t units) {
    std::size_t count = static_cast<std::size_t>(out.text - d.text.data());
    d.text.resize(count + units);
    out.text = d.text.data() + count;
    if constexpr (kMode == Mode::Offsets) {
      d.offsets.resize(count + units + 1);
      out.offsets = d.offsets.data() + count;
    }
  }
  Out<kMode> Prepare(std::size_t maxUnits) {
    d.text.resize(maxUnits);
    Out<kMode> out{d.text.data()};
    if constexpr (kMode == Mode::Offsets) {
      d.offsets.resize(maxUnits + 1);
      out.offsets = d.offsets.data();
    }
    return out;
  }
  void Finish(const Out<kMode>& out, std::size_t inputSize, jis::State = {}) {
    std::size_t count = static_cast<std::size_t>(out.text - d.text.data());
    d.text.resize(count);
    if constexpr (kMode == Mode::Offsets) {
      d.offsets[count] = inputSize;
      d.offsets.resize(count + 1);
    }
  }
};

// The indexed text: a UnitBuffer whose room is reserved once (untouched room costs nothing),
// with the sparse index's entries or, dense, every offset.
template <Mode kMode>
struct IndexStore {
  UnitBuffer& text;
  OffsetIndex& index;
  std::vector<std::uint64_t>& entries;
  ReallocBuffer<std::uint32_t>& dense;
  std::size_t& units;
  jis::State& end;
  bool& clean;

  Out<kMode> Begin(std::size_t reserveUnits) {
    text.resize(0);
    text.reserve(reserveUnits + 4);
    entries.clear();
    dense.resize(0);
    Out<kMode> out{text.data()};
    if constexpr (kMode == Mode::Index) {
      entries.reserve(reserveUnits / OffsetIndex::kBlock + 2);
      out.base = text.data();
      out.entries = &entries;
    } else {
      dense.resize(reserveUnits + 5);
      out.dense = dense.data();
    }
    return out;
  }
  void Grow(Out<kMode>&, std::size_t) {}
  Out<kMode> Prepare(std::size_t maxUnits) { return Begin(maxUnits); }
  void Finish(const Out<kMode>& out, std::size_t inputSize, jis::State state = {}) {
    units = static_cast<std::size_t>(out.text - text.data());
    text.resize(units);
    text.shrinkToFit();
    end = state;
    clean = !out.raw;
    if constexpr (kMode == Mode::Dense) {
      dense.data()[units] = static_cast<std::uint32_t>(inputSize);
      dense.resize(units + 1);
      dense.shrinkToFit();
    } else {
      dense.resize(0);
    }
  }
};

template <typename S, Step (*kStep)(const unsigned char*, std::size_t, std::size_t),
          detail::Quick kQuick = detail::Quick::None>
void DecodeStepped(const unsigned char* p, std::size_t n, std::size_t start, S store) {
  constexpr std::size_t kChunk = 1 << 16;
  const std::uint16_t* pairs = kQuick == detail::Quick::Cp932 ? detail::Cp932PairTable() : nullptr;
  auto out = store.Begin(n - start);
  std::size_t i = start;
  while (i < n) {
    // A character begun before the limit may run past it by three bytes; each byte gives at
    // most one unit.
    const std::size_t limit = std::min(n, i + kChunk);
    store.Grow(out, limit - i + 4);
    while (i < limit) {
      const char16_t* first = out.text;
      if (detail::IsPlainAscii(p[i])) {
        // Short runs (a space, a slash between kanji) stay in this loop.
        if (i + 1 >= limit || !detail::IsPlainAscii(p[i + 1])) {
          out.Unit(p[i], i);
          out.Stepped(first, i);
          ++i;
          continue;
        }
        const std::size_t at = i;
        i = out.Ascii(p, limit, i);
        out.SteppedAscii(first, at);
        continue;
      }
      unsigned length = 0;
      if (const char16_t u = detail::QuickUnit<kQuick>(p, n, i, pairs, length)) {
        out.Unit(u, i);
        out.Stepped(first, i);
        i += length;
        continue;
      }
      Step s = kStep(p, n, i);
      if (s.ok) {
        out.CodePoint(s.codePoint, i);
      } else {
        out.Raw(p, i, s.length);
      }
      out.Stepped(first, i);
      i += s.length;
    }
  }
  store.Grow(out, 0);
  store.Finish(out, n);
}

// UTF-16 and UTF-32, a step a unit (a UTF-16 pair one step). The halves of a UTF-16 pair
// keep their own offsets, two bytes apart, so that a clean text's offsets are arithmetic.
template <typename S, Step (*kStep)(const unsigned char*, std::size_t, std::size_t),
          std::size_t kUnitBytes>
void DecodeWide(const unsigned char* p, std::size_t n, std::size_t start, S store) {
  constexpr std::size_t kChunk = 1 << 16;
  // Room for the worst case, a unit a byte (broken units), which costs nothing until written.
  auto out = store.Begin(n - start + kUnitBytes);
  std::size_t i = start;
  while (i < n) {
    const std::size_t limit = std::min(n, i + kChunk);
    store.Grow(out, limit - i + 4);
    while (i < limit) {
      const char16_t* first = out.text;
      const Step s = kStep(p, n, i);
      if (!s.ok) {
        out.Raw(p, i, s.length);
      } else if (s.codePoint < 0x10000) {
        out.Unit(static_cast<char16_t>(s.codePoint), i);
      } else if constexpr (kUnitBytes == 2) {
        out.Unit(leadSurrogateOf(s.codePoint), i);
        out.Unit(trailSurrogateOf(s.codePoint), i + 2);
      } else {
        out.CodePoint(s.codePoint, i);
      }
      out.Stepped(first, i);
      i += s.length;
    }
  }
  store.Grow(out, 0);
  store.Finish(out, n);
}

template <typename S>
void DecodeJis(const unsigned char* p, std::size_t n, S store) {
  auto sink = store.Prepare(n);
  jis::State state;
  std::size_t pendingShift = n;  // where escapes before the next character began
  jis::State pendingState;       // the state there
  std::size_t i = 0;
  while (i < n) {
    const jis::State before = state;
    detail::JisStep s = detail::JisNext(p, n, i, state);
    const bool pending = pendingShift < i;
    const std::size_t at = pending ? pendingShift : i;
    const jis::State atState = pending ? pendingState : before;
    const char16_t* first = sink.text;
    switch (s.kind) {
      case detail::JisStep::Shift:
        if (pendingShift == n) {
          pendingShift = i;
          pendingState = before;
        }
        break;
      case detail::JisStep::Char:
        sink.CodePoint(s.codePoint, at);
        sink.Stepped(first, at, atState);
        pendingShift = n;
        break;
      case detail::JisStep::Raw:
        // The escapes before undecodable bytes belong to their first byte.
        sink.raw = true;
        sink.Unit(RawByteUnit(p[i]), at);
        sink.Raw(p, i + 1, s.length - 1u);
        sink.Stepped(first, at, atState);
        pendingShift = n;
        break;
    }
    i += s.length;
  }
  store.Finish(sink, n, state);
}

template <typename S>
void DecodeAny(Encoding encoding, std::span<const unsigned char> bytes, S store,
               bool atStart = true) {
  const unsigned char* p = bytes.data();
  const std::size_t n = bytes.size();
  const std::size_t bom = atStart ? BomLength(encoding, bytes) : 0;
  switch (encoding) {
    case Encoding::ShiftJis:
      return DecodeStepped<S, detail::Cp932Step, detail::Quick::Cp932>(p, n, 0, store);
    case Encoding::EucJp:
      return DecodeStepped<S, detail::EucStep, detail::Quick::Euc>(p, n, 0, store);
    case Encoding::Ascii:
    case Encoding::Utf8:
    case Encoding::Utf8Bom:
      return DecodeStepped<S, detail::Utf8Step, detail::Quick::Utf8>(p, n, bom, store);
    case Encoding::Utf16Le:
      return DecodeWide<S, detail::Utf16Step<false>, 2>(p, n, bom, store);
    case Encoding::Utf16Be:
      return DecodeWide<S, detail::Utf16Step<true>, 2>(p, n, bom, store);
    case Encoding::Utf32Le:
      return DecodeWide<S, detail::Utf32Step<false>, 4>(p, n, bom, store);
    case Encoding::Utf32Be:
      return DecodeWide<S, detail::Utf32Step<true>, 4>(p, n, bom, store);
    case Encoding::Iso2022Jp:
      return DecodeJis(p, n, store);
    case Encoding::Binary: {
      auto sink = store.Prepare(n);
      sink.Raw(p, 0, n);
      return store.Finish(sink, n);
    }
  }
}

}  // namespace

Decoded Decode(Encoding encoding, std::span<const unsigned char> bytes) {
  Decoded out;
  DecodeAny(encoding, bytes, Store<Mode::Offsets>{out});
  return out;
}

std::u16string DecodeText(Encoding encoding, std::span<const unsigned char> bytes) {
  Decoded out;
  DecodeAny(encoding, bytes, Store<Mode::Text>{out});
  return std::move(out.text);
}

std::u16string DecodePiece(Encoding encoding, std::span<const unsigned char> bytes) {
  Decoded out;
  DecodeAny(encoding, bytes, Store<Mode::Text>{out}, false);
  return std::move(out.text);
}

Decoded DecodePieceWithOffsets(Encoding encoding, std::span<const unsigned char> bytes) {
  Decoded out;
  DecodeAny(encoding, bytes, Store<Mode::Offsets>{out}, false);
  return out;
}

void DecodeIndexed(Encoding encoding, std::span<const unsigned char> bytes, UnitBuffer& text,
                   OffsetIndex& index, bool dense) {
  index.encoding_ = encoding;
  index.bytes_ = bytes.size();
  index.start_ = BomLength(encoding, bytes);
  index.end_ = {};
  const bool utf16 = encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be;
  if (dense && !utf16 && encoding != Encoding::Binary && encoding != Encoding::Iso2022Jp &&
      bytes.size() < UINT32_MAX) {
    DecodeAny(encoding, bytes,
              IndexStore<Mode::Dense>{text, index, index.entries_, index.dense_, index.units_,
                                      index.end_, index.clean_});
    return;
  }
  DecodeAny(encoding, bytes,
            IndexStore<Mode::Index>{text, index, index.entries_, index.dense_, index.units_,
                                    index.end_, index.clean_});
  // Binary offsets, and those of UTF-16 without a broken unit, are arithmetic.
  if (encoding == Encoding::Binary || (utf16 && index.clean_)) index.entries_.clear();
  index.entries_.shrink_to_fit();
}

}  // namespace morvelle::text
