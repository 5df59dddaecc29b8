#include "text/detect/detect.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "pair_model.h"
#include "text/utf16.h"
#include "validity.h"

namespace morvelle::text {
namespace {

using Bytes = std::span<const unsigned char>;

// Enough text to settle any real file; more only costs time.
constexpr std::size_t kSampleBytes = 256 * 1024;
// The head that orders the validity counts, and how far a code is counted there.
constexpr std::size_t kOrderingHeadBytes = 8 * 1024;
constexpr std::size_t kOrderingErrorLimit = 16;
// A valid UTF-8 sample with this many multibyte characters is UTF-8 whatever else it could be:
// the chance that Shift_JIS or EUC-JP text forms that many valid sequences is negligible.
constexpr std::size_t kDecisiveUtf8Characters = 8;
// Below that, UTF-8 starts this many quarter bits ahead of the other readings: it is the code
// of most files written today, and the pair model knows little of the Latin letters that are
// its usual few multibyte characters ("café").
constexpr std::uint64_t kUtf8PriorQuarters = 6 * 4;
// A sample of n bytes is still text of a code with some stray bytes in it when, besides its
// NULs, at most FlawLimit places break the code or hold a control character text has no use
// for, and NULs are at most an eighth of its bytes (a NUL-padded tail, NUL-separated names),
// or a single one. Images, executables, compressed files and message catalogues hold far more
// of either: their numbers spell controls and bytes that fit no code.
constexpr std::size_t FlawLimit(std::size_t n) { return 1 + n / 256; }
constexpr std::size_t NulLimit(std::size_t n) { return n < 16 ? 1 : n / 8; }

// C0 controls other than NUL, the blanks and line ends, ESC, SO and SI (ISO-2022-JP's shifts)
// and SUB (an old end-of-file mark); DEL.
std::size_t CountDataControls(Bytes bytes) {
  return static_cast<std::size_t>(std::count_if(bytes.begin(), bytes.end(), [](unsigned char b) {
    return (b >= 0x01 && b <= 0x08) || (b >= 0x10 && b <= 0x19) || (b >= 0x1C && b <= 0x1F) ||
           b == 0x7F;
  }));
}

struct Sample {
  Bytes bytes;
  bool truncated = false;  // the file goes on after the sample
  bool atStart = false;    // the sample starts at the file's first byte
};

// Ends a cut-off sample after a byte below 0x21, which no multibyte character of any of the
// codes contains, so the last character is whole.
Bytes TrimCut(Bytes sample) {
  const std::size_t floor = sample.size() > 4096 ? sample.size() - 4096 : 0;
  for (std::size_t i = sample.size(); i > floor; --i) {
    if (sample[i - 1] < 0x21) return sample.first(i);
  }
  return sample;
}

// At most kSampleBytes from `from` on.
Sample TakeSample(Bytes bytes, std::size_t from) {
  const std::size_t n = bytes.size();
  Bytes window = bytes.subspan(from, std::min(n - from, kSampleBytes));
  const bool truncated = from + window.size() < n;
  return {truncated ? TrimCut(window) : window, truncated, from == 0};
}

struct Utf16Reading {
  std::size_t units = 0;
  std::size_t bad = 0;     // NUL, unpaired surrogates, non-characters, unusual controls
  std::size_t odd = 0;     // private use, or U+xx00 (rare in text, common with swapped bytes)
  std::size_t narrow = 0;  // U+0001..U+00FF: line ends, blanks, ASCII
  std::size_t lowNul = 0;  // U+xx00: a NUL on the side where text seldom has one
};

Utf16Reading ReadUtf16(Bytes bytes, bool littleEndian) {
  Utf16Reading r;
  const std::size_t n = bytes.size() / 2;
  auto unit = [&](std::size_t k) -> unsigned {
    const unsigned a = bytes[2 * k], b = bytes[2 * k + 1];
    return littleEndian ? (a | (b << 8)) : ((a << 8) | b);
  };
  r.units = n;
  for (std::size_t k = 0; k < n; ++k) {
    const unsigned u = unit(k);
    if (isLeadSurrogate(u)) {
      if (k + 1 < n && isTrailSurrogate(unit(k + 1))) {
        ++k;
      } else if (k + 1 < n) {
        ++r.bad;
      }
    } else if (isTrailSurrogate(u) || u == 0xFFFE || u == 0xFFFF ||
               (u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0B && u != 0x0C && u != 0x0D &&
                u != 0x1A && u != 0x1B) ||
               (u >= 0x80 && u <= 0x9F)) {
      ++r.bad;
    } else if (u < 0x100) {
      ++r.narrow;
    } else if ((u & 0xFF) == 0) {
      ++r.odd;
      ++r.lowNul;
    } else if (u >= 0xE000 && u <= 0xF8FF) {
      ++r.odd;
    }
  }
  return r;
}

// UTF-16 without a byte-order mark: the byte order whose reading is text, a few flaws at most,
// mostly ordinary characters, with its NULs mostly where UTF-16 puts them, in the units of line
// ends, blanks and ASCII. Of two such readings, the one with more ASCII (line ends at least) is
// the right one: swapped, ASCII turns into U+xx00.
struct Utf16Guess {
  Encoding code = Encoding::Binary;  // Binary: neither order reads as text
  // Twice as many NULs in narrow units as in U+xx00 ones, the pattern of text. Stray NULs, or
  // NUL-separated records, fall on either side alike; kana and kanji text puts few anywhere.
  bool clear = false;
};

Utf16Guess Utf16WithoutBom(Bytes bytes) {
  const Utf16Reading le = ReadUtf16(bytes, true);
  const Utf16Reading be = ReadUtf16(bytes, false);
  auto text = [](const Utf16Reading& r) {
    return r.bad * 100 <= r.units && (r.bad + r.odd) * 5 <= r.units && r.narrow > r.lowNul;
  };
  const bool leText = text(le), beText = text(be);
  const Utf16Reading* r = nullptr;
  Utf16Guess guess;
  if (leText && (!beText || le.narrow >= be.narrow)) {
    guess.code = Encoding::Utf16Le;
    r = &le;
  } else if (beText) {
    guess.code = Encoding::Utf16Be;
    r = &be;
  } else {
    return guess;
  }
  guess.clear = r->narrow >= 2 * r->lowNul;
  return guess;
}

// ISO-2022-JP: at least one designation the decoder knows leaves ASCII, and no ESC starts a
// terminal's control sequence (ESC [, ESC ]). Any other ESC (a lone one, or a designation we do
// not know such as ESC $ Z) is a stray byte of the file: it stays undecodable, and does not
// make the file another code.
bool HoldsJisEscapes(Bytes bytes) {
  bool designated = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != 0x1B) continue;
    const std::size_t left = bytes.size() - i - 1;
    auto at = [&](std::size_t k) { return k <= left ? bytes[i + k] : 0; };
    if (at(1) == '(' && (at(2) == 'B' || at(2) == 'J' || at(2) == 'I')) {
      designated = designated || at(2) == 'I';
      i += 2;
    } else if (at(1) == '$' && (at(2) == '@' || at(2) == 'B')) {
      designated = true;
      i += 2;
    } else if (at(1) == '$' && at(2) == '(' && at(3) == 'D') {
      designated = true;
      i += 3;
    } else if (at(1) == '&' && at(2) == '@') {
      i += 2;  // announces the 1990 edition before ESC $ B
    } else if (left < 3) {
      break;  // cut off by the end of the sample
    } else if (at(1) == '[' || at(1) == ']') {
      return false;
    }
  }
  return designated;
}

// The multibyte characters of a valid UTF-8 sample are its lead bytes; a sequence cut off by the
// sample's end does not count. Counting stops once the number is decisive.
std::size_t CountUtf8Characters(Bytes bytes) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < bytes.size() && count < kDecisiveUtf8Characters; ++i) {
    const unsigned char b = bytes[i];
    if (b < 0xC2) continue;
    const std::size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
    if (i + length <= bytes.size()) ++count;
  }
  return count;
}

// The likeliest of the byte-oriented codes, with the number of places the sample breaks it.
struct TextReading {
  Encoding code;
  std::size_t flaws;  // undecodable bytes and sequences, NULs included
};

// `decode`, when given, stands in for the strict validity check of the likeliest code over a
// sample that is the whole input.
TextReading DecideEightBit(const Sample& s, const CleanDecode* decode = nullptr) {
  constexpr std::array<Encoding, 3> kCodes = {Encoding::Utf8, Encoding::ShiftJis, Encoding::EucJp};
  std::array<std::size_t, 3> errors{};
  // Counting beyond the best so far cannot change the outcome, so the likeliest code is counted
  // first, judged on a short head: the others then stop at their first few errors instead of
  // running through the whole sample. The counts that decide are exact in any order.
  const Bytes head = s.bytes.first(std::min<std::size_t>(s.bytes.size(), kOrderingHeadBytes));
  std::array<std::size_t, 3> headErrors{};
  for (std::size_t k = 0; k < kCodes.size(); ++k) {
    headErrors[k] = detect::CountInvalid(kCodes[k], head, true, kOrderingErrorLimit);
  }
  std::array<std::size_t, 3> order = {0, 1, 2};
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return headErrors[a] < headErrors[b]; });
  std::size_t fewest = std::numeric_limits<std::size_t>::max();
  for (const std::size_t k : order) {
    const bool first = fewest == std::numeric_limits<std::size_t>::max();
    if (first && decode && s.atStart && !s.truncated && (*decode)(kCodes[k])) {
      errors[k] = 0;
    } else {
      errors[k] =
          detect::CountInvalid(kCodes[k], s.bytes, s.truncated, first ? fewest : fewest + 1);
    }
    fewest = std::min(fewest, errors[k]);
  }
  std::array<detect::Reading, 3> readings{};
  if (errors[0] == 0 && CountUtf8Characters(s.bytes) >= kDecisiveUtf8Characters) {
    return {Encoding::Utf8, 0};
  }
  std::size_t candidates = 0;
  for (std::size_t k = 0; k < kCodes.size(); ++k) candidates += errors[k] == fewest;
  if (candidates == 1) {
    for (std::size_t k = 0; k < kCodes.size(); ++k) {
      if (errors[k] == fewest) return {kCodes[k], fewest};
    }
  }
  if (errors[0] == fewest) readings[0] = detect::ScoreUtf8(s.bytes);
  readings[0].cost -= std::min(readings[0].cost, kUtf8PriorQuarters);
  if (errors[1] == fewest) readings[1] = detect::ScoreShiftJis(s.bytes);
  if (errors[2] == fewest) readings[2] = detect::ScoreEucJp(s.bytes);
  std::size_t best = kCodes.size();
  for (std::size_t k = 0; k < kCodes.size(); ++k) {
    if (errors[k] != fewest) continue;
    if (best == kCodes.size() || readings[k].cost < readings[best].cost) best = k;
  }
  return {kCodes[best], fewest};
}

// Flaws are counted only for a sample with NULs, the one case that asks for them. Seven bits
// read as ASCII at worst, flawed by their NULs alone: an ISO-2022-JP reading more flawed than
// a few stray bytes allow gives way to it.
TextReading DecideSevenBit(const Sample& s, std::size_t nuls) {
  if (!HoldsJisEscapes(s.bytes)) return {Encoding::Ascii, nuls};
  if (nuls == 0) return {Encoding::Iso2022Jp, 0};
  const std::size_t flaws = detect::CountInvalid(Encoding::Iso2022Jp, s.bytes, s.truncated,
                                                 std::numeric_limits<std::size_t>::max());
  if (flaws - std::min(flaws, nuls) > FlawLimit(s.bytes.size())) return {Encoding::Ascii, nuls};
  return {Encoding::Iso2022Jp, flaws};
}

// The pair model's cost of reading the sample in `code`.
std::uint64_t Cost(Encoding code, Bytes bytes) {
  switch (code) {
    case Encoding::ShiftJis:
      return detect::ScoreShiftJis(bytes).cost;
    case Encoding::EucJp:
      return detect::ScoreEucJp(bytes).cost;
    case Encoding::Ascii:
    case Encoding::Utf8:
      return detect::ScoreUtf8(bytes).cost;
    default:
      return detect::ScoreText(DecodeText(code, bytes)).cost;
  }
}

Encoding Decide(const Sample& s, const CleanDecode* decode = nullptr) {
  // Most samples hold no NUL, which memchr tells at a fraction of the cost of counting (an
  // empty sample may have no storage at all, which memchr must not be given).
  const bool anyNul = !s.bytes.empty() && std::memchr(s.bytes.data(), 0, s.bytes.size()) != nullptr;
  const auto nuls =
      anyNul ? static_cast<std::size_t>(std::count(s.bytes.begin(), s.bytes.end(), 0)) : 0;
  const bool sevenBit =
      std::none_of(s.bytes.begin(), s.bytes.end(), [](unsigned char b) { return b >= 0x80; });
  // A NUL never decodes, so `decode` could only tell what is known.
  if (nuls == 0) return (sevenBit ? DecideSevenBit(s, 0) : DecideEightBit(s, decode)).code;

  // NULs: UTF-16, a text with some stray bytes, or data. UTF-16 needs the file's start, where
  // its units begin; NULs in its pattern in a quarter of the bytes (ASCII in UTF-16) settle it.
  const std::size_t n = s.bytes.size();
  const Utf16Guess utf16 = s.atStart ? Utf16WithoutBom(s.bytes) : Utf16Guess{};
  if (utf16.clear && nuls > n / 4) return utf16.code;
  // Else the likelier reading decides: a NUL or two in a short text can fall where UTF-16's
  // would, and UTF-16 of kana and kanji holds few NULs (its line ends).
  const TextReading text = sevenBit ? DecideSevenBit(s, nuls) : DecideEightBit(s);
  if (utf16.code != Encoding::Binary && Cost(utf16.code, s.bytes) < Cost(text.code, s.bytes)) {
    return utf16.code;
  }
  const bool stray =
      nuls <= NulLimit(n) &&
      text.flaws - std::min(text.flaws, nuls) + CountDataControls(s.bytes) <= FlawLimit(n);
  return stray ? text.code : Encoding::Binary;
}

}  // namespace

Encoding DetectEncoding(std::span<const unsigned char> bytes) { return DetectEncoding(bytes, {}); }

Encoding DetectEncoding(std::span<const unsigned char> bytes, const CleanDecode& decode) {
  const std::size_t n = bytes.size();
  if (n >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) return Encoding::Utf8Bom;
  if (n >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) return Encoding::Utf16Le;
  if (n >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) return Encoding::Utf16Be;

  const Sample head = TakeSample(bytes, 0);
  const Encoding byHead = Decide(head, decode ? &decode : nullptr);
  if (byHead != Encoding::Ascii || !head.truncated) return byHead;

  // A plain-ASCII head: the first byte further on that could tell another code decides, so a
  // long English log with Japanese near its end is not taken for ASCII.
  const auto telling =
      std::find_if(bytes.begin() + static_cast<std::ptrdiff_t>(head.bytes.size()), bytes.end(),
                   [](unsigned char b) { return b >= 0x80 || b == 0x00 || b == 0x1B; });
  if (telling == bytes.end()) return Encoding::Ascii;
  return Decide(TakeSample(bytes, static_cast<std::size_t>(telling - bytes.begin())));
}

}  // namespace morvelle::text
