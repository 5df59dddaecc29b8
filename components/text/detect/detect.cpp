#include "text/detect/detect.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "pair_model.h"
#include "text/codec/jis_step.h"
#include "text/codec/steps.h"
#include "text/codec/wide.h"
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
// How many flaws (undecodable bytes, and controls text has no use for) a reading of n bytes
// may have and still be text of its code with some stray bytes. NUL is a character, but a NUL
// in 8-bit data is a strong sign of binary data, whose numbers spell controls and bytes that fit
// no code: with one, the strict bound holds. Without, a code holds the data when it reads all
// but an eighth of it (and two bytes), which compressed data and images never give: a sixth or
// more of their bytes are flaws in CP932, the code that holds most of them.
constexpr std::size_t FlawLimit(std::size_t n) { return 1 + n / 256; }
constexpr bool HeldWithoutNul(std::size_t flaws, std::size_t n) { return flaws <= 2 + n / 8; }
// UTF-16 without a mark or a NUL (no line end, no ASCII) is sought in short texts only: a
// longer one always has a line end.
constexpr std::size_t kBareUtf16Bytes = 4096;
// More NULs than an eighth of the bytes (a NUL-padded record file, an archive, UTF-32) make
// data of a longer file; a short one is text whatever its NULs.
constexpr std::size_t NulLimit(std::size_t n) { return n < 16 ? n : n / 8; }

// C0 controls other than NUL, the blanks and line ends, ESC, SO and SI (ISO-2022-JP's shifts)
// and SUB (an old end-of-file mark); DEL. They are single characters in every code here.
constexpr bool IsDataControl(unsigned char b) {
  return (b >= 0x01 && b <= 0x08) || (b >= 0x10 && b <= 0x19) || (b >= 0x1C && b <= 0x1F) ||
         b == 0x7F;
}

// Controls a reading holds that text has no use for: the C0 ones above in every code, and C1
// controls as a reading decodes them (EUC-JP's single bytes 80..8D and 90..9F, UTF-8's C2 80..
// C2 9F; CP932 has none). As unlikely in Japanese text as binary bytes.
struct Controls {
  std::size_t c0 = 0, eucC1 = 0, utf8C1 = 0;
  std::size_t Of(Encoding code) const {
    return c0 + (code == Encoding::EucJp ? eucC1 : code == Encoding::Utf8 ? utf8C1 : 0);
  }
};

#if defined(__SSE2__)
// Bytes of a 16-byte block in [lo, lo + length): 0xFF lanes.
inline __m128i InRange(__m128i block, unsigned char lo, unsigned char length) {
  const __m128i x = _mm_sub_epi8(block, _mm_set1_epi8(static_cast<char>(lo)));
  return _mm_cmpeq_epi8(_mm_min_epu8(x, _mm_set1_epi8(static_cast<char>(length - 1))), x);
}

// The sum of the bytes of a block.
inline std::size_t Sum(__m128i counts) {
  const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
  return static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
         static_cast<std::size_t>(_mm_extract_epi16(sums, 4));
}
#endif

#if defined(MORVELLE_WIDE_BLOCKS)
// CountControls by 512-bit vectors, 64 bytes at a time from p[i] while p[i + 64] is there;
// advances i. One byte permute classes every byte: bit 0 marks the C0 controls among 00..7F,
// bit 1 the EUC-JP C1 controls among 80..FF, each by its low seven bits.
MORVELLE_WIDE void CountControlsWide(const unsigned char* p, std::size_t n, std::size_t& i,
                                     Controls& c) {
  static const std::array<std::uint8_t, 128> kClasses = [] {
    std::array<std::uint8_t, 128> t{};
    for (unsigned b = 0; b < 128; ++b) {
      t[b] = static_cast<std::uint8_t>((IsDataControl(static_cast<unsigned char>(b)) ? 1 : 0) |
                                       ((b < 0x0E) || (b >= 0x10 && b < 0x20) ? 2 : 0));
    }
    return t;
  }();
  const __m512i classes0 = _mm512_loadu_si512(kClasses.data());
  const __m512i classes1 = _mm512_loadu_si512(kClasses.data() + 64);
  const __m512i c0Bit = _mm512_set1_epi8(1), c1Bit = _mm512_set1_epi8(2);
  for (; i + 65 <= n; i += 64) {
    const __m512i b = _mm512_loadu_si512(p + i);
    const __m512i next = _mm512_loadu_si512(p + i + 1);
    const __m512i cls = _mm512_permutex2var_epi8(classes0, b, classes1);
    const __mmask64 high = _mm512_movepi8_mask(b);
    c.c0 += static_cast<std::size_t>(std::popcount(_mm512_test_epi8_mask(cls, c0Bit) & ~high));
    c.eucC1 += static_cast<std::size_t>(std::popcount(_mm512_test_epi8_mask(cls, c1Bit) & high));
    const __mmask64 c2 = _mm512_cmpeq_epi8_mask(b, _mm512_set1_epi8(static_cast<char>(0xC2)));
    const __mmask64 c1After = _mm512_cmplt_epu8_mask(
        _mm512_sub_epi8(next, _mm512_set1_epi8(static_cast<char>(0x80))), _mm512_set1_epi8(0x20));
    c.utf8C1 += static_cast<std::size_t>(std::popcount(c2 & c1After));
  }
}
#endif

Controls CountControls(std::span<const unsigned char> bytes) {
  Controls c;
  const unsigned char* p = bytes.data();
  const std::size_t n = bytes.size();
  std::size_t i = 0;
#if defined(MORVELLE_WIDE_BLOCKS)
  if (detail::HasWideBlocks()) CountControlsWide(p, n, i, c);
#endif
#if defined(__SSE2__)
  // Sixteen bytes at a time: the sample is read in full for every file. Each lane counts up to
  // 255 blocks (a set lane is -1, subtracted) before the counts are summed.
  while (i + 17 <= n) {
    __m128i c0s = _mm_setzero_si128(), eucs = _mm_setzero_si128(), utf8s = _mm_setzero_si128();
    for (int round = 0; round < 255 && i + 17 <= n; ++round, i += 16) {
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 1));
      const __m128i c0 =
          _mm_or_si128(_mm_or_si128(InRange(b, 0x01, 8), InRange(b, 0x10, 10)),
                       _mm_or_si128(InRange(b, 0x1C, 4), _mm_cmpeq_epi8(b, _mm_set1_epi8(0x7F))));
      const __m128i euc = _mm_or_si128(InRange(b, 0x80, 0x0E), InRange(b, 0x90, 0x10));
      const __m128i utf8 = _mm_and_si128(_mm_cmpeq_epi8(b, _mm_set1_epi8(static_cast<char>(0xC2))),
                                         InRange(next, 0x80, 0x20));
      c0s = _mm_sub_epi8(c0s, c0);
      eucs = _mm_sub_epi8(eucs, euc);
      utf8s = _mm_sub_epi8(utf8s, utf8);
    }
    c.c0 += Sum(c0s);
    c.eucC1 += Sum(eucs);
    c.utf8C1 += Sum(utf8s);
  }
#endif
  for (; i < n; ++i) {
    const unsigned b = p[i];
    c.c0 += IsDataControl(static_cast<unsigned char>(b));
    c.eucC1 += (b - 0x80u < 0x0Eu) | (b - 0x90u < 0x10u);
    c.utf8C1 += b == 0xC2 && i + 1 < n && p[i + 1] - 0x80u < 0x20u;
  }
  return c;
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

// At most kSampleBytes from `from` on, of an input of `size` bytes.
Sample TakeSample(const ReadAt& read, std::size_t size, std::size_t from) {
  const Bytes window = read(from, std::min(size, from + kSampleBytes));
  const bool truncated = from + window.size() < size;
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
// mostly ordinary characters, with its NULs, if any, mostly where UTF-16 puts them, in the units of
// line ends, blanks and ASCII. Of two such readings, the one with more ASCII (line ends at least)
// is the right one: swapped, ASCII turns into U+xx00.
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
    return r.units > 0 && r.bad * 100 <= r.units && (r.bad + r.odd) * 5 <= r.units &&
           r.narrow >= r.lowNul;
  };
  const bool leText = text(le), beText = text(be);
  // Without ASCII to tell them apart (kana and kanji alone), the pair model does.
  auto likelierLe = [&] {
    if (le.narrow != be.narrow) return le.narrow > be.narrow;
    return detect::ScoreText(DecodeText(Encoding::Utf16Le, bytes)).cost <=
           detect::ScoreText(DecodeText(Encoding::Utf16Be, bytes)).cost;
  };
  const Utf16Reading* r = nullptr;
  Utf16Guess guess;
  if (leText && (!beText || likelierLe())) {
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

// ISO-2022-JP: at least one designation to G0 that leaves ASCII, of a set the decoder reads or
// of one it does not (JIS X 0213, say: the file is of the family, with bytes we cannot read,
// not ASCII with stray escapes), and no ESC starts a terminal's control sequence (ESC [,
// ESC ]). Any other ESC (a lone one, ESC $ ) F) is a stray byte of the file.
bool HoldsJisEscapes(Bytes bytes) {
  const unsigned char* p = bytes.data();
  const std::size_t n = bytes.size();
  bool designated = false;
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] != 0x1B) continue;
    if (i + 1 < n && (p[i + 1] == '[' || p[i + 1] == ']')) return false;
    jis::Set set;
    std::uint8_t length;
    bool truncated;
    if (detail::ParseEscape(p, n, i, set, length, truncated)) {
      designated = designated || (set != jis::Set::Ascii && set != jis::Set::Roman);
      i += length - 1u;
      continue;
    }
    const detail::UnknownEscape e = detail::ReadUnknownEscape(p, n, i);
    if (e.complete && detail::DesignatesG0(p, i, e.length)) {
      designated = true;
      i += e.length - 1u;
    } else if (truncated || e.truncated) {
      break;  // cut off by the end of the sample
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

// UTF-8 beside a code that breaks fewer bytes: a file that mixes lines in UTF-8 with lines in
// Shift_JIS or EUC-JP (pasted together, or edited in two editors) is UTF-8 with unreadable
// lines when more of its bytes are in runs of UTF-8's three- and four-byte characters, those of
// kana and kanji, than break UTF-8. Legacy text forms such characters by chance (Shift_JIS
// hiragana often does: E5 82 A4), but hardly ever three in a row.
constexpr std::size_t kUtf8Run = 3;
// How far into a sample the question is asked: a mixed file's UTF-8 lines are seldom further in.
constexpr std::size_t kMixedWindowBytes = 64 * 1024;

bool Utf8HoldsMost(Bytes bytes) {
  bytes = bytes.first(std::min(bytes.size(), kMixedWindowBytes));
  std::size_t held = 0, broken = 0, run = 0, runBytes = 0;
  for (std::size_t i = 0; i <= bytes.size();) {
    const bool ascii = i < bytes.size() && bytes[i] < 0x80;
    const detail::Step s = i < bytes.size() && !ascii
                               ? detail::Utf8Step(bytes.data(), bytes.size(), i)
                               : detail::Step{0, 1, false, false};
    if (s.ok && s.length >= 3) {
      ++run;
      runBytes += s.length;
    } else {
      if (run >= kUtf8Run) held += runBytes;
      run = runBytes = 0;
      if (!s.ok && !ascii && i < bytes.size()) broken += s.length;
    }
    i += ascii ? 1 : s.length;
  }
  return held > broken;
}

// The likeliest of the byte-oriented codes, with the number of its flaws: places the sample
// breaks it, and controls the reading holds that text has no use for.
struct TextReading {
  Encoding code;
  std::size_t flaws;
  bool holdsMost = false;  // chosen for holding most of the bytes, flaws or not
};

// `decode`, when given, stands in for the strict validity check of the likeliest code over a
// sample that starts the input: a whole input that decodes cleanly holds no flaw in its start.
TextReading DecideEightBit(const Sample& s, const CleanDecode* decode = nullptr) {
  constexpr std::array<Encoding, 3> kCodes = {Encoding::Utf8, Encoding::ShiftJis, Encoding::EucJp};
  constexpr std::size_t kUncounted = std::numeric_limits<std::size_t>::max();
  const Controls counted = CountControls(s.bytes);
  std::array<std::size_t, 3> controls{};
  for (std::size_t k = 0; k < kCodes.size(); ++k) controls[k] = counted.Of(kCodes[k]);
  std::array<std::size_t, 3> errors{};
  // Counting beyond the best so far cannot change the outcome, so the likeliest code is counted
  // first, judged on a short head: the others then stop at their first few errors instead of
  // running through the whole sample. The counts that decide are exact in any order.
  const Bytes head = s.bytes.first(std::min<std::size_t>(s.bytes.size(), kOrderingHeadBytes));
  std::array<std::size_t, 3> headErrors{};
  for (std::size_t k = 0; k < kCodes.size(); ++k) {
    headErrors[k] = detect::CountInvalid(kCodes[k], head, true, kOrderingErrorLimit) + controls[k];
  }
  std::array<std::size_t, 3> order = {0, 1, 2};
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return headErrors[a] < headErrors[b]; });
  std::size_t fewest = kUncounted;
  for (const std::size_t k : order) {
    const bool first = fewest == kUncounted;
    // Its controls alone lose to the best so far, or its clean decoding shows no place breaks
    // it: either way the count is its controls.
    if ((!first && controls[k] > fewest) ||
        (first && decode && s.atStart && (*decode)(kCodes[k]))) {
      errors[k] = controls[k];
    } else {
      const std::size_t limit = first ? kUncounted : fewest - controls[k] + 1;
      errors[k] = detect::CountInvalid(kCodes[k], s.bytes, s.truncated, limit) + controls[k];
    }
    fewest = std::min(fewest, errors[k]);
  }
  std::array<detect::Reading, 3> readings{};
  if (errors[0] == 0 && CountUtf8Characters(s.bytes) >= kDecisiveUtf8Characters) {
    return {Encoding::Utf8, 0};
  }
  // Legacy text breaks UTF-8 at once; a head that UTF-8 reads for the most part, or a sample
  // no longer than the head, may be mostly UTF-8 all the same.
  const bool utf8Head = headErrors[0] < kOrderingErrorLimit || s.bytes.size() <= head.size();
  if (errors[0] > fewest && utf8Head && Utf8HoldsMost(s.bytes)) {
    return {Encoding::Utf8, errors[0], true};
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

// Seven bits read as ASCII or, with designations, as ISO-2022-JP; controls, NULs included, are
// characters of either.
TextReading DecideSevenBit(const Sample& s) {
  return {HoldsJisEscapes(s.bytes) ? Encoding::Iso2022Jp : Encoding::Ascii, 0};
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

// `evenFile`: the whole file has an even length, as UTF-16 without a byte-order mark must.
Encoding Decide(const Sample& s, bool evenFile, const CleanDecode* decode = nullptr) {
  // Most samples hold no NUL, which memchr tells at a fraction of the cost of counting (an
  // empty sample may have no storage at all, which memchr must not be given).
  const bool anyNul = !s.bytes.empty() && std::memchr(s.bytes.data(), 0, s.bytes.size()) != nullptr;
  const auto nuls =
      anyNul ? static_cast<std::size_t>(std::count(s.bytes.begin(), s.bytes.end(), 0)) : 0;
  const bool sevenBit =
      std::none_of(s.bytes.begin(), s.bytes.end(), [](unsigned char b) { return b >= 0x80; });
  const std::size_t n = s.bytes.size();

  // UTF-16 without a BOM needs the file's start, where its units begin, and an even length. NULs
  // in its pattern in a quarter of the bytes (ASCII in UTF-16) settle it.
  const bool maybeUtf16 = s.atStart && evenFile && n >= 2;
  Utf16Guess utf16;
  if (maybeUtf16 && anyNul) {
    utf16 = Utf16WithoutBom(s.bytes);
    if (utf16.clear && nuls > n / 4) return utf16.code;
  }

  if (sevenBit) return nuls > NulLimit(n) ? Encoding::Binary : DecideSevenBit(s).code;
  // A NUL never reaches `decode`'s question: the decoded text would say nothing new.
  const TextReading text = DecideEightBit(s, anyNul ? nullptr : decode);
  // Else UTF-16 where the pair model finds it the likelier text: where the byte-oriented
  // reading is flawed, or holds NULs (UTF-16 of kana and kanji has few, at its line ends), or
  // the text is short enough to have no line end at all (a word of kana).
  const bool bare = maybeUtf16 && !anyNul && text.flaws == 0 && n <= kBareUtf16Bytes;
  if (maybeUtf16 && !anyNul && (text.flaws > 0 || bare)) utf16 = Utf16WithoutBom(s.bytes);
  if (utf16.code != Encoding::Binary) {
    // Against a reading that holds every byte, UTF-16 has to be the far likelier text: a word
    // or two of kanji in Shift_JIS often reads as one kanji in UTF-16 too.
    const std::uint64_t cost16 = Cost(utf16.code, s.bytes) * (bare ? 2 : 1);
    if (cost16 < Cost(text.code, s.bytes)) return utf16.code;
  }
  const bool held = text.holdsMost || (anyNul ? nuls <= NulLimit(n) && text.flaws <= FlawLimit(n)
                                              : HeldWithoutNul(text.flaws, n));
  return held ? text.code : Encoding::Binary;
}

}  // namespace

namespace {

// How far ahead the search for a telling byte reads at a time.
constexpr std::size_t kScanBytes = std::size_t{1} << 20;

Encoding Detect(std::size_t n, const ReadAt& read, const CleanDecode* decode) {
  // UTF-32's marks first: FF FE 00 00 also begins a UTF-16LE mark.
  const Bytes start = read(0, std::min<std::size_t>(n, 4));
  for (const Encoding code : {Encoding::Utf8Bom, Encoding::Utf32Le, Encoding::Utf32Be,
                              Encoding::Utf16Le, Encoding::Utf16Be}) {
    if (BomLength(code, start) > 0) return code;
  }

  const bool even = n % 2 == 0;
  const Sample head = TakeSample(read, n, 0);
  const Encoding byHead = Decide(head, even, decode);
  if (byHead != Encoding::Ascii || !head.truncated) return byHead;

  // A plain-ASCII head: the first byte further on that could tell another code decides, so a
  // long English log with Japanese near its end is not taken for ASCII.
  for (std::size_t from = head.bytes.size(); from < n;) {
    const Bytes block = read(from, std::min(n, from + kScanBytes));
    if (block.empty()) break;
    const auto telling = std::find_if(block.begin(), block.end(), [](unsigned char b) {
      return b >= 0x80 || b == 0x00 || b == 0x1B;
    });
    if (telling != block.end()) {
      return Decide(TakeSample(read, n, from + static_cast<std::size_t>(telling - block.begin())),
                    even);
    }
    from += block.size();
  }
  return Encoding::Ascii;
}

}  // namespace

Encoding DetectEncoding(std::span<const unsigned char> bytes) { return DetectEncoding(bytes, {}); }

Encoding DetectEncoding(std::span<const unsigned char> bytes, const CleanDecode& decode) {
  return Detect(
      bytes.size(),
      [&](std::size_t from, std::size_t to) { return bytes.subspan(from, to - from); },
      decode ? &decode : nullptr);
}

Encoding DetectEncoding(std::size_t size, const ReadAt& read) {
  return Detect(size, read, nullptr);
}

}  // namespace morvelle::text
