// Direct conversion between codes, a block at a time. For CP932 and eucJP-ms sources each input
// code indexes a table holding the target's bytes, so a conversion is one lookup and one store
// per character; UTF-8 and UTF-16 sources decode a code point and look up the target's bytes;
// ISO-2022-JP targets look up a JIS code and write an escape where the set changes; the rest
// (ISO-2022-JP and UTF-32 sources) go through the text a block at a time. No path builds the
// text of a whole file, and every path writes what Encode(to, Decode(from)) would.

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <memory>
#include <mutex>
#include <type_traits>
#include <vector>

#include "codec.h"
#include "jis_step.h"
#include "steps.h"
#include "tables.h"
#include "unit_buffer.h"
#include "wide.h"

namespace morvelle::text {
namespace {

// Up to three target bytes in memory order in the low 24 bits, their count in the top byte;
// 0 when the input code is undecodable or its character has no code in the target.
using Entry = std::uint32_t;

// Input codes of a source: CP932 singles [0, 256), pairs [256, 256 + 128 * 256); eucJP-ms
// singles [0, 256), 8E kana [256, 320), two bytes [320, +8836), 8F three bytes [.., +8836).
constexpr std::size_t kSjisPairs = 256;
constexpr std::size_t kSjisSize = kSjisPairs + 128 * 256;
constexpr std::size_t kEucKana = 256;
constexpr std::size_t kEuc0208 = kEucKana + 64;
constexpr std::size_t kEuc0212 = kEuc0208 + 94 * 94;
constexpr std::size_t kEucSize = kEuc0212 + 94 * 94;

// The longest character of any source code here, in bytes: a block's last bytes wait for the
// next block unless they hold a whole character.
constexpr std::size_t kLongest = 4;
// Target bytes a source byte gives at most (a half-width katakana byte in UTF-8: three).
constexpr std::size_t kMaxPerByte = 4;

// 81..9F and E0..FC; the unassigned leads among them (85, 86, EB, EC, EF) only have empty
// pairs, so they are refused all the same.
constexpr bool IsSjisLead(unsigned b) { return ((b ^ 0x20) - 0xA1) < 0x3C; }

Entry Pack(const std::string& bytes) {
  if (bytes.empty() || bytes.size() > 3) return 0;
  Entry e = static_cast<Entry>(bytes.size()) << 24;
  for (std::size_t k = 0; k < bytes.size(); ++k) {
    e |= static_cast<Entry>(static_cast<unsigned char>(bytes[k])) << (8 * k);
  }
  return e;
}

// What Encode writes for `u` (a character of the BMP), straight from the tables: a table of
// 40,000 entries is built in a millisecond, not in the time of as many encodings.
Entry EntryFor(char16_t u, Encoding to) {
  if (isSurrogate(u)) return 0;
  std::string bytes;
  switch (to) {
    case Encoding::Utf16Le:
      bytes = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
      break;
    case Encoding::ShiftJis: {
      const std::uint16_t code = u < 0x80 ? u : detail::Cp932Encoder()[u];
      if (code > 0xFF) bytes.push_back(static_cast<char>(code >> 8));
      if (code != 0 || u == 0) bytes.push_back(static_cast<char>(code));
      break;
    }
    case Encoding::EucJp: {
      const std::uint32_t code = u < 0x80 ? u : detail::EucEncoder()[u];
      if (code > 0xFFFF) bytes.push_back(static_cast<char>(code >> 16));
      if (code > 0xFF) bytes.push_back(static_cast<char>(code >> 8));
      if (code != 0 || u == 0) bytes.push_back(static_cast<char>(code));
      break;
    }
    default:  // UTF-8 (and ASCII, which writes it)
      if (u < 0x80) {
        bytes.push_back(static_cast<char>(u));
      } else if (u < 0x800) {
        bytes = {static_cast<char>(0xC0 | (u >> 6)), static_cast<char>(0x80 | (u & 0x3F))};
      } else {
        bytes = {static_cast<char>(0xE0 | (u >> 12)), static_cast<char>(0x80 | ((u >> 6) & 0x3F)),
                 static_cast<char>(0x80 | (u & 0x3F))};
      }
      break;
  }
  return Pack(bytes);
}

std::unique_ptr<Entry[]> BuildTable(Encoding from, Encoding to) {
  const bool sjis = from == Encoding::ShiftJis;
  auto table = std::make_unique<Entry[]>(sjis ? kSjisSize : kEucSize);
  auto decodeOne = [&](std::initializer_list<unsigned char> code) -> int {
    std::u16string t = DecodeText(from, std::span<const unsigned char>(code.begin(), code.size()));
    if (t.size() != 1 || IsRawByteAt(t, 0)) return -1;
    return t[0];
  };
  for (unsigned b = 0; b < 256; ++b) {
    int u = decodeOne({static_cast<unsigned char>(b)});
    if (u >= 0) table[b] = EntryFor(static_cast<char16_t>(u), to);
  }
  if (sjis) {
    for (unsigned lead = 0x80; lead < 0x100; ++lead) {
      if (detail::cp932Single[lead] != detail::kLeadByte) continue;
      for (unsigned trail = 0x40; trail < 0x100; ++trail) {
        std::uint16_t u = detail::cp932Pairs[(lead - 0x80) * 192 + (trail - 0x40)];
        if (u != 0) table[kSjisPairs + (lead - 0x80) * 256 + trail] = EntryFor(u, to);
      }
    }
  } else {
    for (unsigned t = 0; t < 64; ++t) {
      if (detail::eucKana[t]) table[kEucKana + t] = EntryFor(detail::eucKana[t], to);
    }
    for (unsigned k = 0; k < 94 * 94; ++k) {
      if (detail::euc0208[k]) table[kEuc0208 + k] = EntryFor(detail::euc0208[k], to);
      if (detail::euc0212[k]) table[kEuc0212 + k] = EntryFor(detail::euc0212[k], to);
    }
  }
  return table;
}

const Entry* TableFor(Encoding from, Encoding to) {
  static std::mutex mutex;
  static std::unique_ptr<Entry[]> tables[2][static_cast<int>(Encoding::Binary) + 1];
  std::lock_guard lock(mutex);
  auto& slot = tables[from == Encoding::ShiftJis ? 0 : 1][static_cast<int>(to)];
  if (!slot) slot = BuildTable(from, to);
  return slot.get();
}

// The input code index of the character at p[i] and its length. CP932 needs no test of the
// trail byte: pairs are indexed by the whole byte, and those no code uses hold 0, as does the
// pair of a lead byte at the end (its trail is read as 0).
inline std::size_t SjisIndex(const unsigned char* p, std::size_t n, std::size_t i,
                             std::size_t& length) {
  unsigned b = p[i];
  unsigned t = i + 1 < n ? p[i + 1] : 0;
  std::size_t lead = IsSjisLead(b);
  length = 1 + lead;
  std::size_t pair = kSjisPairs + ((b & 0x7F) << 8 | t);
  return lead ? pair : b;
}

inline std::size_t EucIndex(const unsigned char* p, std::size_t n, std::size_t i,
                            std::size_t& length) {
  unsigned b = p[i];
  length = 0;
  if (b == 0x8E) {
    if (i + 1 >= n || p[i + 1] < 0xA0 || p[i + 1] > 0xDF) return 0;
    length = 2;
    return kEucKana + (p[i + 1] - 0xA0);
  }
  if (b == 0x8F) {
    if (i + 2 >= n || !detail::InEucRange(p[i + 1]) || !detail::InEucRange(p[i + 2])) return 0;
    length = 3;
    return kEuc0212 + (p[i + 1] - 0xA1) * 94 + (p[i + 2] - 0xA1);
  }
  if (detail::InEucRange(b)) {
    if (i + 1 >= n || !detail::InEucRange(p[i + 1])) return 0;
    length = 2;
    return kEuc0208 + (b - 0xA1) * 94 + (p[i + 1] - 0xA1);
  }
  length = 1;
  return b;
}

// What a block converts to, in one block that grows with realloc and is never cleared before it
// is written.
using Output = packed::ReallocBuffer<char>;

// Where a block's bytes go: a pointer into room made for the block's worst case.
struct Room {
  Output& out;
  char* o;

  Room(Output& buffer, std::size_t bytes) : out(buffer) {
    const std::size_t written = out.size();
    out.resize(written + bytes * kMaxPerByte + 16);
    o = out.data() + written;
  }
  void Close() { out.resize(static_cast<std::size_t>(o - out.data())); }
};

// Writers of the targets the direct paths reach: false when the target lacks the character.
enum class Target { Cp932, Euc, Utf8, Utf16Le };

template <Target kTarget>
inline bool Put(char32_t cp, char*& o) {
  if constexpr (kTarget == Target::Utf16Le) {
    auto unit = [&](char16_t u) {
      o[0] = static_cast<char>(u & 0xFF);
      o[1] = static_cast<char>(u >> 8);
      o += 2;
    };
    if (cp >= 0x10000) {
      unit(leadSurrogateOf(cp));
      unit(trailSurrogateOf(cp));
    } else {
      unit(static_cast<char16_t>(cp));
    }
    return true;
  } else if constexpr (kTarget == Target::Utf8) {
    if (cp < 0x80) {
      *o++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
      *o++ = static_cast<char>(0xC0 | (cp >> 6));
      *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      *o++ = static_cast<char>(0xE0 | (cp >> 12));
      *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      *o++ = static_cast<char>(0xF0 | (cp >> 18));
      *o++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return true;
  } else {
    if (cp < 0x80) {
      *o++ = static_cast<char>(cp);
      return true;
    }
    if (cp >= 0x10000) return false;
    if constexpr (kTarget == Target::Cp932) {
      const std::uint16_t code = detail::Cp932Encoder()[cp];
      if (code == 0) return false;
      if (code > 0xFF) *o++ = static_cast<char>(code >> 8);
      *o++ = static_cast<char>(code);
    } else {
      const std::uint32_t code = detail::EucEncoder()[cp];
      if (code == 0) return false;
      if (code > 0xFFFF) *o++ = static_cast<char>(code >> 16);
      if (code > 0xFF) *o++ = static_cast<char>(code >> 8);
      *o++ = static_cast<char>(code);
    }
    return true;
  }
}

// The legacy target's codes by code point, 0 where it has none.
template <Target kTarget>
inline auto CodesOf() {
  if constexpr (kTarget == Target::Cp932) {
    return detail::Cp932Encoder();
  } else {
    return detail::EucEncoder();
  }
}

// The legacy target's bytes for each character of the BMP as an Entry, 0 where it has none
// (surrogates, U+0000 aside, which is its own byte): a UTF-16 or UTF-8 source's character is one
// lookup and one store with no branch on how many bytes it takes. 256 KB, built at first use.
template <Target kTarget>
const Entry* BmpEntries() {
  static const std::unique_ptr<Entry[]> table = [] {
    auto t = std::make_unique<Entry[]>(0x10000);
    const auto codes = CodesOf<kTarget>();
    for (std::uint32_t u = 0; u < 0x10000; ++u) {
      const std::uint32_t code = u < 0x80 ? u : isSurrogate(u) ? 0 : codes[u];
      if (code == 0 && u != 0) continue;
      const unsigned length = 1 + (code > 0xFF) + (code > 0xFFFF);
      Entry e = Entry{length} << 24;
      for (unsigned k = 0; k < length; ++k) {
        e |= ((code >> (8 * (length - 1 - k))) & 0xFF) << (8 * k);
      }
      t[u] = e;
    }
    return t;
  }();
  return table.get();
}

// Eight ASCII bytes as they are, or kWide as UTF-16LE units.
template <bool kWide>
inline void PutEightAscii(const unsigned char* p, char*& o) {
  if constexpr (kWide) {
    for (int k = 0; k < 8; ++k) {
      o[2 * k] = static_cast<char>(p[k]);
      o[2 * k + 1] = 0;
    }
    o += 16;
  } else {
    std::memcpy(o, p, 8);
    o += 8;
  }
}

// One step of a loop: where it stopped and whether it stopped at a failure.
struct Stop {
  std::size_t at;
  bool failed;
};

#if defined(MORVELLE_WIDE_BLOCKS)
using detail::HasWideBlocks;

const std::uint16_t* EucPairCp932Codes();
MORVELLE_WIDE std::size_t EucPairsInPlaceWide(const std::uint16_t* codes, const unsigned char* p,
                                              char*& o);
#endif

#if defined(__SSE2__)
// eucJP-ms to CP932 for the 64 bytes at p (p[0] beginning a character) when they hold only ASCII
// and JIS X 0208 characters, which CP932 writes in two bytes too: each goes where it was. How
// many bytes they take (65 when the last byte is a lead byte); 0, with nothing kept at o, for a
// block the character loop must take (katakana, JIS X 0212, what fails). Reads a byte past it.
std::size_t EucPairsInPlace(const Entry* table, const unsigned char* p, char*& o) {
  const __m128i ss2 = _mm_set1_epi8(static_cast<char>(0x8E));
  const __m128i ss3 = _mm_set1_epi8(static_cast<char>(0x8F));
  if (detail::Mask64(p, [&](__m128i x) {
        return _mm_or_si128(_mm_cmpeq_epi8(x, ss2), _mm_cmpeq_epi8(x, ss3));
      }) != 0) {
    return 0;
  }
  // Every byte 80..FF leads a pair or trails one; a lead byte whose trail is ASCII fails below.
  const std::uint64_t leads = detail::LeadsOfRuns(detail::Mask64(p, [](__m128i x) { return x; }));
  std::memcpy(o, p, 64);
  bool found = true;
  for (std::uint64_t m = leads; m != 0;) {
    const std::size_t j = static_cast<std::size_t>(std::countr_zero(m));
    m &= m - 1;
    const unsigned row = p[j] - 0xA1u, cell = p[j + 1] - 0xA1u;
    const bool pair = row < 94 && cell < 94;
    const Entry e = table[kEuc0208 + (pair ? row * 94 + cell : 0)];
    found &= pair && e >> 24 == 2;
    std::memcpy(o + j, &e, 2);
  }
  if (!found) return 0;
  o += 64 + (leads >> 63);
  return 64 + (leads >> 63);
}
#endif

// CP932 and eucJP-ms sources: characters that begin before `limit` (and end by n). kInPlace:
// eucJP-ms to CP932, whose blocks of ASCII and pairs go by EucPairsInPlace.
template <bool kSjis, bool kWide, bool kInPlace = false>
Stop RunLegacy(const Entry* table, const unsigned char* p, std::size_t n, std::size_t limit,
               Output& out) {
  Room room(out, limit);
  char* o = room.o;
  std::size_t i = 0;
  std::size_t end = 0;  // where the character loop hands back to the blocks
  const auto index = [&](std::size_t at, std::size_t& length) {
    return kSjis ? SjisIndex(p, n, at, length) : EucIndex(p, n, at, length);
  };
  const auto put = [&](Entry e) {
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(o, &e, 4);
    } else {
      o[0] = static_cast<char>(e);
      o[1] = static_cast<char>(e >> 8);
      o[2] = static_cast<char>(e >> 16);
    }
    o += e >> 24;
  };
#if defined(MORVELLE_WIDE_BLOCKS)
  [[maybe_unused]] const std::uint16_t* wideCodes =
      kInPlace && HasWideBlocks() ? EucPairCp932Codes() : nullptr;
#endif
  while (i < limit) {
#if defined(__SSE2__)
    if constexpr (kInPlace) {
      if (i >= end && limit - i > 64) {
#if defined(MORVELLE_WIDE_BLOCKS)
        const std::size_t taken = wideCodes != nullptr ? EucPairsInPlaceWide(wideCodes, p + i, o)
                                                       : EucPairsInPlace(table, p + i, o);
#else
        const std::size_t taken = EucPairsInPlace(table, p + i, o);
#endif
        if (taken != 0) {
          i += taken;
          continue;
        }
        end = i + 64;
      }
    }
#endif
    // Runs of ASCII, which is itself in every target here, eight bytes at a time.
    if (i + 8 <= limit && detail::EightPlainAscii(p + i)) {
      PutEightAscii<kWide>(p + i, o);
      i += 8;
      continue;
    }
    if (detail::IsPlainAscii(p[i])) {
      if constexpr (kWide) {
        o[0] = static_cast<char>(p[i]);
        o[1] = 0;
        o += 2;
      } else {
        *o++ = static_cast<char>(p[i]);
      }
      ++i;
      continue;
    }
    std::size_t length;
    const std::size_t x = index(i, length);
    const Entry e = length ? table[x] : 0;
    if (e == 0) {
      room.o = o;
      room.Close();
      return {i, true};
    }
    put(e);
    i += length;
  }
  room.o = o;
  room.Close();
  return {i, false};
}

// CP932 in tables small enough for the caches nearest the core, each 23 to 46 KB: a row for
// each lead byte CP932 uses, a column for each trail byte 40..FF. `units` holds the character
// (0 where none is), `euc` its eucJP-ms code when that is two bytes, `jis` its two-byte JIS code,
// `utf8` its UTF-8 bytes as an Entry (0: ask the full tables). A conversion touches one of them.
struct CompactCp932 {
  std::uint8_t row[256];  // 0xFF: not a lead byte
  std::uint16_t units[60 * 192];
  std::uint16_t euc[60 * 192];
  std::uint16_t jis[60 * 192];
  Entry utf8[60 * 192];

  // The index of the pair at p. A lead byte CP932 does not use, or a trail byte below 40, gives
  // the entry of trail 7F, which no character has.
  std::size_t PairIndex(const unsigned char* p) const {
    const unsigned r = row[p[0]], trail = p[1];
    return r != 0xFF && trail >= 0x40 ? r * 192 + (trail - 0x40) : 0x7F - 0x40;
  }
};

const CompactCp932& Compact() {
  static const std::unique_ptr<CompactCp932> table = [] {
    auto t = std::make_unique<CompactCp932>();
    std::fill(std::begin(t->row), std::end(t->row), 0xFF);
    const std::uint32_t* euc = detail::EucEncoder();
    const std::uint16_t* jis = detail::JisEncoder();
    std::uint8_t rows = 0;
    for (unsigned lead = 0x80; lead < 0x100; ++lead) {
      if (detail::cp932Single[lead] != detail::kLeadByte) continue;
      t->row[lead] = rows;
      for (unsigned trail = 0x40; trail < 0x100; ++trail) {
        const std::size_t k = rows * 192 + (trail - 0x40);
        const std::uint16_t u = trail == 0x7F || trail > 0xFC
                                    ? 0
                                    : detail::cp932Pairs[(lead - 0x80) * 192 + (trail - 0x40)];
        t->units[k] = u;
        t->euc[k] =
            u != 0 && euc[u] > 0xFF && euc[u] <= 0xFFFF ? static_cast<std::uint16_t>(euc[u]) : 0;
        t->jis[k] = u != 0 && jis[u] > 0xFF && jis[u] != detail::kNoJis ? jis[u] : 0;
        t->utf8[k] = u != 0 ? EntryFor(u, Encoding::Utf8) : 0;
      }
      ++rows;
    }
    return t;
  }();
  return *table;
}

#if defined(__SSE2__)
// Sixteen ASCII bytes from p as UTF-16LE units at o.
inline void WidenSixteen(const unsigned char* p, char* o) {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i zero = _mm_setzero_si128();
  _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(x, zero));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16), _mm_unpackhi_epi8(x, zero));
}

// The bytes [from, to) of p, all ASCII, as the target writes them, sixteen at a time. The first
// store is made whatever the run's length, which between kanji is mostly 0 to 3 bytes and no
// branch could foresee; the stores may reach past the run's end (and read 16 bytes past `from`),
// into room the next pieces overwrite.
template <Target kTarget>
inline void PutAscii(const unsigned char* p, std::size_t from, std::size_t to, char*& o) {
  std::size_t k = from;
  do {
    if constexpr (kTarget == Target::Utf16Le) {
      WidenSixteen(p + k, o + 2 * (k - from));
    } else {
      std::memcpy(o + (k - from), p + k, 16);
    }
    k += 16;
  } while (k < to);
  o += (to - from) * (kTarget == Target::Utf16Le ? 2 : 1);
}

// The 64 bytes at p (p[0] beginning a character) when they hold only ASCII and pairs the compact
// tables settle: their conversion at o, and how many bytes they take (65 when the last byte is a
// lead byte); 0, with nothing kept at o, for a block the character loop must take. No branch
// depends on which character comes next, which in text mixing ASCII and kanji in short runs
// the branch predictor cannot foresee. Reads up to 32 bytes past the block.
template <Target kTarget>
std::size_t Cp932Block(const CompactCp932& t, const unsigned char* p, char*& o) {
  const auto [leads, singles] = detail::Cp932LeadBytes(p);
  if (singles != 0) return 0;  // katakana or undecodable
  bool found = true;
  char* w = o;
  if constexpr (kTarget == Target::Euc) {
    // Two bytes for two and one for one: each pair's code goes where the pair was.
    std::memcpy(w, p, 64);
    for (std::uint64_t m = leads; m != 0;) {
      const std::size_t j = static_cast<std::size_t>(std::countr_zero(m));
      m &= m - 1;
      const std::uint16_t code = t.euc[t.PairIndex(p + j)];
      found &= code != 0;
      const std::uint16_t bytes = std::endian::native == std::endian::little
                                      ? static_cast<std::uint16_t>(code >> 8 | code << 8)
                                      : code;
      std::memcpy(w + j, &bytes, 2);
    }
    w += 64 + (leads >> 63);
  } else {
    std::size_t from = 0;  // the first byte not yet written
    for (std::uint64_t m = leads; m != 0;) {
      const std::size_t j = static_cast<std::size_t>(std::countr_zero(m));
      m &= m - 1;
      PutAscii<kTarget>(p, from, j, w);
      if constexpr (kTarget == Target::Utf8) {
        // Three bytes each, as kana and kanji are: where the output goes next never waits for
        // the lookup. The few pairs of two (Greek, Cyrillic, some signs) go a character at a time.
        const Entry e = t.utf8[t.PairIndex(p + j)];
        found &= e >> 24 == 3;
        std::memcpy(w, &e, 4);
        w += 3;
      } else {
        const std::uint16_t u = t.units[t.PairIndex(p + j)];
        found &= u != 0;
        std::memcpy(w, &u, 2);
        w += 2;
      }
      from = j + 2;
    }
    PutAscii<kTarget>(p, from, std::max<std::size_t>(from, 64), w);
  }
  if (!found) return 0;
  o = w;
  return 64 + (leads >> 63);
}

// UTF-8 to CP932 or eucJP-ms for the 64 bytes at p (p[0] beginning a character) when they hold
// only ASCII and three-byte characters the target writes in two bytes, as kana and kanji are: as
// Cp932Block, no branch depends on which comes next. How many bytes they take (65 or 66 when a
// character begins in the last two); 0, with nothing kept at o, for a block the character loop
// must take. Reads up to 32 bytes past the block.
template <Target kTarget, class Codes>
std::size_t Utf8Block(Codes codes, const unsigned char* p, char*& o) {
  // Signed, 80..BF are the bytes below C0 and E1..EF those between E0 and F0.
  const __m128i c0 = _mm_set1_epi8(static_cast<char>(0xC0));
  const __m128i e0 = _mm_set1_epi8(static_cast<char>(0xE0));
  const __m128i f0 = _mm_set1_epi8(static_cast<char>(0xF0));
  const __m128i ed = _mm_set1_epi8(static_cast<char>(0xED));
  const std::uint64_t high = detail::Mask64(p, [](__m128i x) { return x; });
  const std::uint64_t continuations =
      detail::Mask64(p, [&](__m128i x) { return _mm_cmplt_epi8(x, c0); });
  // E1..EC and EE..EF: no overlong form and no surrogate, whatever their continuation bytes.
  const std::uint64_t leads = detail::Mask64(p, [&](__m128i x) {
    return _mm_andnot_si128(_mm_cmpeq_epi8(x, ed),
                            _mm_and_si128(_mm_cmpgt_epi8(x, e0), _mm_cmplt_epi8(x, f0)));
  });
  const auto continuation = [](unsigned char b) { return (b & 0xC0) == 0x80; };
  if ((leads | continuations) != high || continuations != (leads << 1 | leads << 2) ||
      (leads >> 62 != 0 && !continuation(p[64])) || (leads >> 63 != 0 && !continuation(p[65]))) {
    return 0;
  }
  bool found = true;
  char* w = o;
  std::size_t from = 0;  // the first byte not yet written
  for (std::uint64_t m = leads; m != 0;) {
    const std::size_t j = static_cast<std::size_t>(std::countr_zero(m));
    m &= m - 1;
    PutAscii<kTarget>(p, from, j, w);
    const unsigned cp = (p[j] & 0x0Fu) << 12 | (p[j + 1] & 0x3Fu) << 6 | (p[j + 2] & 0x3Fu);
    const std::uint32_t code = codes[cp];
    found &= code > 0xFF && code <= 0xFFFF;
    w[0] = static_cast<char>(code >> 8);
    w[1] = static_cast<char>(code);
    w += 2;
    from = j + 3;
  }
  PutAscii<kTarget>(p, from, std::max<std::size_t>(from, 64), w);
  if (!found) return 0;
  o = w;
  return std::max<std::size_t>(from, 64);
}
#endif

#if defined(MORVELLE_WIDE_BLOCKS)
// The code point of a three-byte character beginning at each of the 32 bytes at p, one per
// 16-bit lane.
MORVELLE_WIDE inline __m512i ThreeByteCodePoints(const unsigned char* p) {
  const __m512i b0 = _mm512_and_si512(
      _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))),
      _mm512_set1_epi16(0x0F));
  const __m512i b1 = _mm512_and_si512(
      _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1))),
      _mm512_set1_epi16(0x3F));
  const __m512i b2 = _mm512_and_si512(
      _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 2))),
      _mm512_set1_epi16(0x3F));
  return _mm512_or_si512(_mm512_or_si512(_mm512_slli_epi16(b0, 12), _mm512_slli_epi16(b1, 6)), b2);
}

// The index in Cp932PairTable of a pair beginning at each of the 32 bytes at p, one per 16-bit
// lane (meaningless where no lead byte is).
MORVELLE_WIDE inline __m512i PairIndices(const unsigned char* p) {
  const __m512i lead =
      _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
  const __m512i trail =
      _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1)));
  return _mm512_or_si512(_mm512_slli_epi16(_mm512_sub_epi16(lead, _mm512_set1_epi16(0x80)), 8),
                         trail);
}

// The row * 94 + cell of a pair beginning at each of the 32 bytes at p, one per 16-bit lane
// (meaningless where no lead byte is).
MORVELLE_WIDE inline __m512i EucPairIndices(const unsigned char* p) {
  const __m512i a1 = _mm512_set1_epi16(0xA1);
  const __m512i row = _mm512_sub_epi16(
      _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))), a1);
  const __m512i cell = _mm512_sub_epi16(
      _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1))), a1);
  return _mm512_add_epi16(_mm512_mullo_epi16(row, _mm512_set1_epi16(94)), cell);
}

// How a table of codes is indexed by the character beginning at a byte.
enum class Indexed { Cp932, Euc, Utf8 };

template <Indexed kIndexed>
MORVELLE_WIDE inline __m512i IndicesAt(const unsigned char* p) {
  if constexpr (kIndexed == Indexed::Cp932) {
    return PairIndices(p);
  } else if constexpr (kIndexed == Indexed::Euc) {
    return EucPairIndices(p);
  } else {
    return ThreeByteCodePoints(p);
  }
}

// The values `table` (16-bit) holds at the first `count` indices of `indices` (one per 16-bit
// lane, 0 past the last), in order, one per 16-bit lane; false where one is 0. Looked up four at a
// time by plain loads, which here take a third of the time of the processor's gathers.
MORVELLE_WIDE inline bool LookUp(const std::uint16_t* table, __m512i indices, unsigned count,
                                 __m512i& values) {
  alignas(64) std::uint16_t at[32];
  _mm512_store_si512(at, indices);
  std::uint64_t four[8] = {};
  for (unsigned k = 0; k < (count + 3) / 4; ++k) {
    four[k] = std::uint64_t{table[at[4 * k]]} | std::uint64_t{table[at[4 * k + 1]]} << 16 |
              std::uint64_t{table[at[4 * k + 2]]} << 32 | std::uint64_t{table[at[4 * k + 3]]} << 48;
  }
  values = _mm512_set_epi64(static_cast<long long>(four[7]), static_cast<long long>(four[6]),
                            static_cast<long long>(four[5]), static_cast<long long>(four[4]),
                            static_cast<long long>(four[3]), static_cast<long long>(four[2]),
                            static_cast<long long>(four[1]), static_cast<long long>(four[0]));
  const auto used = static_cast<__mmask32>((std::uint64_t{1} << count) - 1);
  return _mm512_mask_test_epi16_mask(used, values, values) == used;
}

// The values `table` (16-bit, indexed as IndicesAt gives) holds for the characters whose first
// bytes `leads` marks among the 64 bytes at p, in order, one per 16-bit lane; false where one is 0.
template <Indexed kIndexed>
MORVELLE_WIDE bool GatherCodes(const std::uint16_t* table, const unsigned char* p,
                               std::uint64_t leads, __m512i& values) {
  const auto low = static_cast<__mmask32>(leads), upper = static_cast<__mmask32>(leads >> 32);
  const unsigned lowCount = static_cast<unsigned>(std::popcount(static_cast<std::uint32_t>(low)));
  const unsigned count = static_cast<unsigned>(std::popcount(leads));  // at most 32
  // Whole-vector operations are written with a mask of every lane: the unmasked forms of GCC 12's
  // headers read an undefined value its warnings then name.
  return LookUp(
      table,
      _mm512_mask_expand_epi16(
          _mm512_maskz_compress_epi16(low, IndicesAt<kIndexed>(p)),
          static_cast<__mmask32>(((std::uint64_t{1} << (count - lowCount)) - 1) << lowCount),
          _mm512_maskz_compress_epi16(upper, IndicesAt<kIndexed>(p + 32))),
      count, values);
}

// The two-byte codes of the legacy target for the characters of the BMP, as two bytes in the order
// they are written; 0 where it writes a character otherwise or has none.
template <Target kTarget>
const std::uint16_t* BmpTwoByteCodes() {
  static const std::unique_ptr<std::uint16_t[]> codes = [] {
    auto c = std::make_unique<std::uint16_t[]>(0x10000);
    const Entry* entries = BmpEntries<kTarget>();
    for (std::size_t u = 0; u < 0x10000; ++u) {
      if (entries[u] >> 24 == 2) c[u] = static_cast<std::uint16_t>(entries[u]);
    }
    return c;
  }();
  return codes.get();
}

// UTF-16LE to CP932 or eucJP-ms for the 32 units at p when each is ASCII or a character the target
// writes in two bytes (`codes`: BmpTwoByteCodes of the target): each unit a 16-bit lane, holding
// its ASCII byte or its character's code, the unused bytes compressed out. False, with nothing kept
// at o, for a block the unit loop must take.
MORVELLE_WIDE bool Utf16BlockWide(const std::uint16_t* codes, const unsigned char* p, char*& o) {
  const __m512i units = _mm512_loadu_si512(p);
  const __mmask32 beyond = _mm512_cmpge_epu16_mask(units, _mm512_set1_epi16(0x80));
  __m512i values;
  if (!LookUp(codes, _mm512_maskz_compress_epi16(beyond, units),
              static_cast<unsigned>(std::popcount(beyond)), values)) {
    return false;
  }
  const std::uint64_t keep =
      (_mm512_movepi8_mask(_mm512_maskz_mov_epi16(beyond, _mm512_set1_epi16(-1))) &
       0xAAAAAAAAAAAAAAAAull) |
      0x5555555555555555ull;
  _mm512_storeu_si512(
      o, _mm512_maskz_compress_epi8(keep, _mm512_mask_expand_epi16(units, beyond, values)));
  o += std::popcount(keep);
  return true;
}

// Utf8Block by 512-bit vectors, for the same blocks and with the same result: every character's
// code (`codes`: BmpTwoByteCodes of the target) looked up together, the codes expanded to where the
// characters' first two bytes were and the third bytes compressed out, with no step per
// character. A character begun in the block's last byte is left to the next block. Reads up to
// 66 bytes.
MORVELLE_WIDE std::size_t Utf8BlockWide(const std::uint16_t* codes, const unsigned char* p,
                                        char*& o) {
  const __m512i x0 = _mm512_loadu_si512(p);
  // Signed, 80..BF are the bytes below C0 and E1..EF those between E0 and F0.
  const std::uint64_t high = _mm512_movepi8_mask(x0);
  if (high == 0) {
    _mm512_storeu_si512(o, x0);
    o += 64;
    return 64;
  }
  const std::uint64_t continuations =
      _mm512_cmplt_epi8_mask(x0, _mm512_set1_epi8(static_cast<char>(0xC0)));
  // E1..EC and EE..EF: no overlong form and no surrogate, whatever their continuation bytes.
  const std::uint64_t leads =
      _mm512_cmpgt_epi8_mask(x0, _mm512_set1_epi8(static_cast<char>(0xE0))) &
      _mm512_cmplt_epi8_mask(x0, _mm512_set1_epi8(static_cast<char>(0xF0))) &
      ~_mm512_cmpeq_epi8_mask(x0, _mm512_set1_epi8(static_cast<char>(0xED)));
  const auto continuation = [](unsigned char b) { return (b & 0xC0) == 0x80; };
  if ((leads | continuations) != high || continuations != (leads << 1 | leads << 2) ||
      (leads >> 62 != 0 && !continuation(p[64])) || (leads >> 63 != 0 && !continuation(p[65]))) {
    return 0;
  }
  const std::uint64_t last = std::uint64_t{1} << 63;
  const std::uint64_t kept = leads & ~last;  // the characters this block writes
  __m512i values;
  if (!GatherCodes<Indexed::Utf8>(codes, p, kept, values)) return 0;
  const __m512i written = _mm512_mask_expand_epi8(x0, kept | kept << 1, values);
  const std::uint64_t keep = ~(kept << 2) & ~(leads & last);
  _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(keep, written));
  o += std::popcount(keep);
  return (leads & last) != 0 ? 63 : 64 + (kept >> 62);
}

// Cp932Block to UTF-16 by 512-bit vectors, for the same blocks and with the same result: the
// pairs' characters looked up together from the table of both bytes whole (`pairs`,
// Cp932PairTable) and put in their lead bytes' places among the block's ASCII widened to units,
// the trail bytes' places compressed out. Reads up to 65 bytes.
MORVELLE_WIDE std::size_t Cp932Utf16BlockWide(const std::uint16_t* pairs, const unsigned char* p,
                                              char*& o) {
  const auto [leads, singles] = detail::Cp932LeadBytes(p);
  __m512i units;
  if (singles != 0 || !GatherCodes<Indexed::Cp932>(pairs, p, leads, units)) return 0;
  const auto low = static_cast<__mmask32>(leads), upper = static_cast<__mmask32>(leads >> 32);
  const unsigned lowCount = static_cast<unsigned>(std::popcount(static_cast<std::uint32_t>(low)));
  const std::uint64_t trails = leads << 1;
  // Each half: its ASCII widened, its pairs' characters where their lead bytes were, the places of
  // their trail bytes (the first of the upper half's may be the lower half's last pair's) left out.
  const auto half = [&](int k, __mmask32 halfLeads, __m512i halfUnits) MORVELLE_WIDE {
    const __m512i widened =
        _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * k)));
    const auto keep = static_cast<__mmask32>(~(trails >> (32 * k)));
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi16(
                               keep, _mm512_mask_expand_epi16(widened, halfLeads, halfUnits)));
    o += 2 * std::popcount(static_cast<std::uint32_t>(keep));
  };
  half(0, low, units);
  half(1, upper, _mm512_maskz_compress_epi16(~((std::uint32_t{1} << lowCount) - 1), units));
  return 64 + (leads >> 63);
}

// Cp932Block to UTF-8 by 512-bit vectors, for the same blocks and with the same result when every
// pair's character takes three bytes, as kana and kanji do: each byte of the block in a 16-bit
// lane, a lead byte's lane holding its character's first two bytes and a trail byte's its third,
// the unused bytes compressed out. Reads up to 65 bytes.
MORVELLE_WIDE std::size_t Cp932Utf8BlockWide(const std::uint16_t* pairs, const unsigned char* p,
                                             char*& o) {
  const detail::Cp932Bytes block = detail::Cp932LeadBytes(p);
  const std::uint64_t leads = block.leads;  // a name the lambda below can capture
  __m512i units;
  if (block.singles != 0 || !GatherCodes<Indexed::Cp932>(pairs, p, leads, units)) return 0;
  const unsigned count = static_cast<unsigned>(std::popcount(leads));
  const auto used = static_cast<__mmask32>((std::uint64_t{1} << count) - 1);
  if (_mm512_mask_cmplt_epu16_mask(used, units, _mm512_set1_epi16(0x800)) != 0) return 0;
  const __m512i low6 = _mm512_set1_epi16(0x3F), continuation = _mm512_set1_epi16(0x80);
  const __m512i firstTwo = _mm512_or_si512(
      _mm512_or_si512(_mm512_srli_epi16(units, 12), _mm512_set1_epi16(static_cast<short>(0x80E0))),
      _mm512_slli_epi16(_mm512_and_si512(_mm512_srli_epi16(units, 6), low6), 8));
  const __m512i third = _mm512_or_si512(_mm512_and_si512(units, low6), continuation);
  const std::uint64_t trails = leads << 1;
  const auto from = [](unsigned k) {
    return static_cast<__mmask32>(~((std::uint64_t{1} << k) - 1));
  };
  // Each half's bytes; its characters are those after the ones the lower half began (or ended).
  const auto half = [&](int k, unsigned leadsBefore, unsigned trailsBefore) MORVELLE_WIDE {
    const auto halfLeads = static_cast<__mmask32>(leads >> (32 * k));
    const __m512i widened =
        _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * k)));
    const __m512i bytes = _mm512_mask_expand_epi16(
        _mm512_mask_expand_epi16(widened, halfLeads,
                                 _mm512_maskz_compress_epi16(from(leadsBefore), firstTwo)),
        static_cast<__mmask32>(trails >> (32 * k)),
        _mm512_maskz_compress_epi16(from(trailsBefore), third));
    const std::uint64_t keep =
        (_mm512_movepi8_mask(_mm512_movm_epi16(halfLeads)) & 0xAAAAAAAAAAAAAAAAull) |
        0x5555555555555555ull;
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(keep, bytes));
    o += std::popcount(keep);
  };
  half(0, 0, 0);
  half(1, static_cast<unsigned>(std::popcount(static_cast<std::uint32_t>(leads))),
       static_cast<unsigned>(std::popcount(static_cast<std::uint32_t>(trails))));
  if (leads >> 63 == 0) return 64;
  // The last pair's trail byte is the next block's first.
  *o++ = static_cast<char>(0x80 | (pairs[(std::size_t{p[63]} - 0x80) << 8 | p[64]] & 0x3F));
  return 65;
}

// The codes of CP932 pairs in one of the compact tables (`kCodes`: eucJP-ms or JIS), indexed as
// PairIndices and as two bytes in the order they are written; 0 where a pair has no two-byte code.
// 64 KB, built at first use.
template <auto kCodes>
const std::uint16_t* Cp932PairCodes() {
  static const std::unique_ptr<std::uint16_t[]> codes = [] {
    auto c = std::make_unique<std::uint16_t[]>(128 * 256);
    const CompactCp932& t = Compact();
    for (unsigned lead = 0x80; lead < 0x100; ++lead) {
      for (unsigned trail = 0; trail < 0x100; ++trail) {
        const unsigned char pair[2] = {static_cast<unsigned char>(lead),
                                       static_cast<unsigned char>(trail)};
        const std::uint16_t code = (t.*kCodes)[t.PairIndex(pair)];
        c[(lead - 0x80) << 8 | trail] = static_cast<std::uint16_t>(code >> 8 | code << 8);
      }
    }
    return c;
  }();
  return codes.get();
}

// The 64 bytes at p with the two-byte codes `values` (in order) in the places of the pairs whose
// lead bytes `leads` marks, at o; how many bytes that is (65 when the last byte is a lead byte).
MORVELLE_WIDE std::size_t PairsInPlace(const unsigned char* p, std::uint64_t leads, __m512i values,
                                       char*& o) {
  _mm512_storeu_si512(o,
                      _mm512_mask_expand_epi8(_mm512_loadu_si512(p), leads | leads << 1, values));
  if (leads >> 63 != 0) {
    // The last pair's second byte, beyond the vector.
    alignas(64) unsigned char bytes[64];
    _mm512_store_si512(bytes, values);
    o[64] = static_cast<char>(bytes[2 * std::popcount(leads) - 1]);
  }
  o += 64 + (leads >> 63);
  return 64 + (leads >> 63);
}

// Cp932Block to eucJP-ms by 512-bit vectors, for the same blocks and with the same result: the
// pairs' codes (`codes`, Cp932PairCodes of eucJP-ms) looked up together and put where the pairs
// were.
MORVELLE_WIDE std::size_t Cp932EucBlockWide(const std::uint16_t* codes, const unsigned char* p,
                                            char*& o) {
  const auto [leads, singles] = detail::Cp932LeadBytes(p);
  __m512i values;
  if (singles != 0 || !GatherCodes<Indexed::Cp932>(codes, p, leads, values)) return 0;
  return PairsInPlace(p, leads, values, o);
}

// The CP932 codes of eucJP-ms's JIS X 0208 pairs by row * 94 + cell, as two bytes in the order
// they are written; 0 where CP932 has no two-byte code.
const std::uint16_t* EucPairCp932Codes() {
  static const std::unique_ptr<std::uint16_t[]> codes = [] {
    auto c = std::make_unique<std::uint16_t[]>(94 * 94);
    const std::uint16_t* cp932 = detail::Cp932Encoder();
    for (std::size_t k = 0; k < 94 * 94; ++k) {
      const std::uint16_t u = detail::euc0208[k];
      const std::uint16_t code = u != 0 ? cp932[u] : 0;
      if (code > 0xFF) c[k] = static_cast<std::uint16_t>(code >> 8 | code << 8);
    }
    return c;
  }();
  return codes.get();
}

// EucPairsInPlace by 512-bit vectors, for the same blocks and with the same result: the pairs'
// CP932 codes (`codes`, EucPairCp932Codes) looked up together and put where the pairs were.
MORVELLE_WIDE std::size_t EucPairsInPlaceWide(const std::uint16_t* codes, const unsigned char* p,
                                              char*& o) {
  const __m512i x0 = _mm512_loadu_si512(p);
  const std::uint64_t high = _mm512_movepi8_mask(x0);
  // Every byte 80..FF leads a pair or trails one, and both are A1..FE: no single shift, no
  // lead byte before ASCII.
  const std::uint64_t inRange =
      _mm512_cmpge_epu8_mask(x0, _mm512_set1_epi8(static_cast<char>(0xA1))) &
      _mm512_cmple_epu8_mask(x0, _mm512_set1_epi8(static_cast<char>(0xFE)));
  const std::uint64_t leads = detail::LeadsOfRuns(high);
  const auto pairByte = [](unsigned char b) { return b - 0xA1u < 94; };
  if (inRange != high || (leads << 1 & ~high) != 0 || (leads >> 63 != 0 && !pairByte(p[64]))) {
    return 0;
  }
  __m512i values;
  if (!GatherCodes<Indexed::Euc>(codes, p, leads, values)) return 0;
  return PairsInPlace(p, leads, values, o);
}
#endif

// CP932 to UTF-8, UTF-16 and eucJP-ms, the conversions from the code most files are in, by the
// compact tables and arithmetic: no table of target bytes too large for the first-level cache to
// wait on for every kanji. Whole blocks of ASCII and pairs go by Cp932Block; what it does not
// settle goes a character at a time, and what the compact tables do not to the general loop.
template <Target kTarget>
Stop RunCp932(const Entry* table, const unsigned char* p, std::size_t n, std::size_t limit,
              Output& out) {
  const CompactCp932& t = Compact();
#if defined(MORVELLE_WIDE_BLOCKS)
  // What the wide blocks look up, for the targets they serve; none without them.
  const std::uint16_t* pairs = !HasWideBlocks()             ? nullptr
                               : kTarget == Target::Utf16Le ? detail::Cp932PairTable()
                               : kTarget == Target::Utf8    ? detail::Cp932PairTable()
                               : kTarget == Target::Euc     ? Cp932PairCodes<&CompactCp932::euc>()
                                                            : nullptr;
#endif
  Room room(out, limit);
  char* o = room.o;
  std::size_t i = 0;
  while (i < limit) {
    std::size_t end = limit;  // where the character loop hands back to the blocks
#if defined(__SSE2__)
    if (limit - i > 64 && n - i >= 64 + 32) {
#if defined(MORVELLE_WIDE_BLOCKS)
      std::size_t taken;
      if (pairs != nullptr) {
        taken = kTarget == Target::Utf16Le ? Cp932Utf16BlockWide(pairs, p + i, o)
                : kTarget == Target::Utf8  ? Cp932Utf8BlockWide(pairs, p + i, o)
                                           : Cp932EucBlockWide(pairs, p + i, o);
      } else {
        taken = Cp932Block<kTarget>(t, p + i, o);
      }
#else
      const std::size_t taken = Cp932Block<kTarget>(t, p + i, o);
#endif
      if (taken != 0) {
        i += taken;
        continue;
      }
      end = i + 64;
    }
#endif
    while (i < end) {
      const unsigned b = p[i];
      if (b < 0x80) {
        if (i + 8 <= end && detail::EightPlainAscii(p + i)) {
          PutEightAscii<kTarget == Target::Utf16Le>(p + i, o);
          i += 8;
          continue;
        }
        (void)Put<kTarget == Target::Euc ? Target::Utf8 : kTarget>(b, o);
        ++i;
        continue;
      }
      const unsigned row = t.row[b];
      const unsigned trail = i + 1 < n ? p[i + 1] : 0;
      const std::size_t k = row * 192 + (trail - 0x40);
      if (row != 0xFF && trail >= 0x40) {
        if constexpr (kTarget == Target::Utf8) {
          if (const Entry e = t.utf8[k]) {
            std::memcpy(o, &e, 4);
            o += e >> 24;
            i += 2;
            continue;
          }
        } else if constexpr (kTarget == Target::Euc) {
          if (const std::uint16_t code = t.euc[k]) {
            o[0] = static_cast<char>(code >> 8);
            o[1] = static_cast<char>(code);
            o += 2;
            i += 2;
            continue;
          }
        } else if (const char32_t cp = t.units[k]) {
          (void)Put<kTarget>(cp, o);
          i += 2;
          continue;
        }
      }
      // Half-width katakana, characters eucJP-ms writes in three bytes, and what fails.
      std::size_t length;
      const Entry e = table[SjisIndex(p, n, i, length)];
      if (e == 0) {
        room.o = o;
        room.Close();
        return {i, true};
      }
      std::memcpy(o, &e, 4);
      o += e >> 24;
      i += length;
    }
  }
  room.o = o;
  room.Close();
  return {i, false};
}

// UTF-8 sources: to the legacy codes, whole blocks of ASCII, kana and kanji by Utf8Block; then
// ASCII eight bytes at a time, kana and kanji by arithmetic, the rest by the full step.
template <Target kTarget>
Stop RunUtf8(const unsigned char* p, std::size_t n, std::size_t limit, Output& out) {
  Room room(out, limit);
  char* o = room.o;
  std::size_t i = 0;
  bool failed = false;
  std::size_t end = 0;  // where the character loop hands back to the blocks
  [[maybe_unused]] const auto codes = [] {
    if constexpr (kTarget == Target::Cp932 || kTarget == Target::Euc) {
      return CodesOf<kTarget>();
    } else {
      return nullptr;
    }
  }();
#if defined(MORVELLE_WIDE_BLOCKS)
  [[maybe_unused]] const std::uint16_t* wideCodes = nullptr;
  if constexpr (kTarget == Target::Cp932 || kTarget == Target::Euc) {
    if (HasWideBlocks()) wideCodes = BmpTwoByteCodes<kTarget>();
  }
#endif
  while (i < limit) {
#if defined(__SSE2__)
    if constexpr (kTarget == Target::Cp932 || kTarget == Target::Euc) {
      if (i >= end && limit - i > 64 && n - i >= 64 + 32) {
#if defined(MORVELLE_WIDE_BLOCKS)
        const std::size_t taken = wideCodes != nullptr ? Utf8BlockWide(wideCodes, p + i, o)
                                                       : Utf8Block<kTarget>(codes, p + i, o);
#else
        const std::size_t taken = Utf8Block<kTarget>(codes, p + i, o);
#endif
        if (taken != 0) {
          i += taken;
          continue;
        }
        end = i + 64;
      }
    }
#endif
    const unsigned b = p[i];
    if (b < 0x80) {
      if constexpr (kTarget == Target::Cp932 || kTarget == Target::Euc || kTarget == Target::Utf8) {
        if (i + 8 <= limit && detail::EightPlainAscii(p + i)) {
          std::memcpy(o, p + i, 8);
          o += 8;
          i += 8;
          continue;
        }
      }
      Put<kTarget>(b, o);
      ++i;
      continue;
    }
    unsigned length = 0;
    char32_t cp = detail::QuickUnit<detail::Quick::Utf8>(p, n, i, nullptr, length);
    if (cp == 0) {
      const detail::Step s = detail::Utf8Step(p, n, i);
      if (!s.ok) {
        failed = true;
        break;
      }
      cp = s.codePoint;
      length = s.length;
    }
    if (!Put<kTarget>(cp, o)) {
      failed = true;
      break;
    }
    i += length;
  }
  room.o = o;
  room.Close();
  return {i, failed};
}

// UTF-16 sources, a unit (or a pair) at a time; four ASCII units at a time where they come.
template <bool kBigEndian, Target kTarget>
Stop RunUtf16(const unsigned char* p, std::size_t n, std::size_t limit, Output& out) {
  Room room(out, limit);
  char* o = room.o;
  std::size_t i = 0;
  bool failed = false;
  // Bits that are 0 in each of four units loaded as one little-endian word when all are ASCII.
  constexpr std::uint64_t kNotAscii = kBigEndian ? 0x80FF80FF80FF80FFull : 0xFF80FF80FF80FF80ull;
  constexpr unsigned kLow = kBigEndian ? 1 : 0;
#if defined(MORVELLE_WIDE_BLOCKS)
  [[maybe_unused]] const std::uint16_t* wideCodes = nullptr;
  if constexpr (!kBigEndian && (kTarget == Target::Cp932 || kTarget == Target::Euc)) {
    if (HasWideBlocks()) wideCodes = BmpTwoByteCodes<kTarget>();
  }
#endif
  while (i < limit) {
    if constexpr (kTarget == Target::Cp932 || kTarget == Target::Euc) {
      std::size_t whole = std::min(limit, n - 1);  // units that end by n
#if defined(MORVELLE_WIDE_BLOCKS)
      if (wideCodes != nullptr) {
        while (limit - i >= 64 && Utf16BlockWide(wideCodes, p + i, o)) i += 64;
        if (i >= limit) break;
        whole = std::min(whole, i + 64);  // a block refused goes a unit at a time
      }
#endif
      // One lookup and one store a unit. A unit without an entry (a surrogate, a character the
      // target lacks) goes to the full step below.
      const Entry* entries = BmpEntries<kTarget>();
      while (i < whole) {
        std::uint16_t unit;
        std::memcpy(&unit, p + i, 2);
        if (kBigEndian == (std::endian::native == std::endian::little)) {
          unit = static_cast<std::uint16_t>(unit << 8 | unit >> 8);
        }
        const Entry e = entries[unit];
        if (e == 0) break;
        std::memcpy(o, &e, 4);
        o += e >> 24;
        i += 2;
      }
      if (i >= limit) break;
    }
    if constexpr (std::endian::native == std::endian::little) {
      std::uint64_t word;
      if (i + 8 <= limit && (std::memcpy(&word, p + i, 8), (word & kNotAscii) == 0)) {
        o[0] = static_cast<char>(p[i + kLow]);
        o[1] = static_cast<char>(p[i + 2 + kLow]);
        o[2] = static_cast<char>(p[i + 4 + kLow]);
        o[3] = static_cast<char>(p[i + 6 + kLow]);
        o += 4;
        i += 8;
        continue;
      }
    }
    const detail::Step s = detail::Utf16Step<kBigEndian>(p, n, i);
    if (!s.ok || !Put<kTarget>(s.codePoint, o)) {
      failed = true;
      break;
    }
    i += s.length;
  }
  room.o = o;
  room.Close();
  return {i, failed};
}

// Whether any of the eight bytes at p is ESC, SO or SI, which ISO-2022-JP cannot carry as text.
inline bool EightWithoutShifts(const unsigned char* p) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHighs = 0x8080808080808080ull;
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  auto hasZero = [](std::uint64_t v) { return ((v - kOnes) & ~v & kHighs) != 0; };
  return !hasZero(word ^ (kOnes * 0x1B)) && !hasZero((word | kOnes) ^ (kOnes * 0x0F));
}

// ISO-2022-JP targets the CP50221 way, as jis::EncodeFrom writes them: each character's JIS
// code, an escape before it when its set is not the one in force. `next` gives the JIS code of
// the source's character at i (kNoJis when it has none or is undecodable); the state carries
// over from block to block. kAsciiBytes: the source writes ASCII as its own bytes.
//
// `block(i, o, state)`, when given, converts a block from i by itself where it can (returning the
// bytes it took, 0 where it cannot, leaving o and state as they were).
template <bool kAsciiBytes, class Next, class Block = std::nullptr_t>
Stop RunJis(const unsigned char* p, std::size_t limit, jis::State& carried, Output& out, Next next,
            Block block = nullptr) {
  jis::State state = carried;  // a local the stores through `o` cannot alias
  Room room(out, limit);
  char* o = room.o;
  std::size_t i = 0;
  std::size_t end = 0;  // where the character loop hands back to the blocks
  bool failed = false;
  const auto enter = [&](jis::Set set, const char(&escape)[4]) {
    if (state.g0 == set && !state.shiftOut) return;
    if (state.shiftOut) *o++ = '\x0F';
    if (state.g0 != set) {
      std::memcpy(o, escape, 3);
      o += 3;
    }
    state = jis::State{set, false};
  };
  while (i < limit) {
    if constexpr (!std::is_same_v<Block, std::nullptr_t>) {
      if (i >= end && limit - i > 64) {
        if (const std::size_t taken = block(i, o, state)) {
          i += taken;
          continue;
        }
        end = i + 64;
      }
    }
    if (kAsciiBytes && state.g0 == jis::Set::Ascii && !state.shiftOut && i + 8 <= limit &&
        detail::EightPlainAscii(p + i) && EightWithoutShifts(p + i)) {
      std::memcpy(o, p + i, 8);
      o += 8;
      i += 8;
      continue;
    }
    std::size_t length;
    const std::uint16_t code = next(i, length);
    if (code == detail::kNoJis) {
      failed = true;
      break;
    }
    if (code < 0x80) {
      enter(jis::Set::Ascii, "\x1B(B");
      *o++ = static_cast<char>(code);
    } else if (code < 0x100) {
      enter(jis::Set::Kana, "\x1B(I");
      *o++ = static_cast<char>(code - 0x80);
    } else {
      enter(jis::Set::Jis0208, "\x1B$B");
      o[0] = static_cast<char>(code >> 8);
      o[1] = static_cast<char>(code & 0xFF);
      o += 2;
    }
    i += length;
  }
  carried = state;
  room.o = o;
  room.Close();
  return {i, failed};
}

// The JIS code of the character at p[i] by the source's general step; ESC, SO and SI written as
// text would read back as shifts.
template <Encoding kFrom>
std::uint16_t JisCodeOf(const unsigned char* p, std::size_t n, std::size_t i, std::size_t& length) {
  detail::Step s;
  constexpr detail::Quick kQuick = kFrom == Encoding::EucJp  ? detail::Quick::Euc
                                   : kFrom == Encoding::Utf8 ? detail::Quick::Utf8
                                                             : detail::Quick::None;
  if constexpr (kQuick != detail::Quick::None) {
    unsigned quick = 0;
    if (const char16_t u = detail::QuickUnit<kQuick>(p, n, i, nullptr, quick)) {
      length = quick;
      return detail::JisEncoder()[u];
    }
  }
  if constexpr (kFrom == Encoding::ShiftJis) {
    s = detail::Cp932Step(p, n, i);
  } else if constexpr (kFrom == Encoding::EucJp) {
    s = detail::EucStep(p, n, i);
  } else if constexpr (kFrom == Encoding::Utf16Le) {
    s = detail::Utf16Step<false>(p, n, i);
  } else if constexpr (kFrom == Encoding::Utf16Be) {
    s = detail::Utf16Step<true>(p, n, i);
  } else {
    s = detail::Utf8Step(p, n, i);
  }
  length = s.length;
  const char32_t cp = s.codePoint;
  if (!s.ok || cp >= 0x10000 || cp == 0x1B || cp == 0x0E || cp == 0x0F) return detail::kNoJis;
  return detail::JisEncoder()[cp];
}

#if defined(__SSE2__)
// CP932 to ISO-2022-JP for the 64 bytes at p (p[0] beginning a character, in ASCII or JIS X 0208
// as `state` says) when they hold only ASCII other than ESC, SO and SI and pairs with a JIS code:
// as Cp932Block, each escape written whether or not a run needs it and kept only where the set
// changes, so that no branch depends on where runs of ASCII and kanji end. Reads up to 32 bytes
// past the block.
std::size_t Cp932JisBlock(const CompactCp932& t, const unsigned char* p, char*& o,
                          jis::State& state) {
  if (state.shiftOut || (state.g0 != jis::Set::Ascii && state.g0 != jis::Set::Jis0208)) return 0;
  const auto [leads, singles] = detail::Cp932LeadBytes(p);
  if (singles != 0) return 0;  // katakana or undecodable
  const __m128i esc = _mm_set1_epi8(0x1B), so = _mm_set1_epi8(0x0E), si = _mm_set1_epi8(0x0F);
  // As text ESC, SO and SI would read back as shifts (and as trail bytes they begin no pair).
  if (detail::Mask64(p, [&](__m128i x) {
        return _mm_or_si128(_mm_cmpeq_epi8(x, esc),
                            _mm_or_si128(_mm_cmpeq_epi8(x, so), _mm_cmpeq_epi8(x, si)));
      }) != 0) {
    return 0;
  }
  constexpr char kToAscii[3] = {'\x1B', '(', 'B'}, kToKanji[3] = {'\x1B', '$', 'B'};
  bool found = true;
  bool kanji = state.g0 == jis::Set::Jis0208;
  char* w = o;
  std::size_t from = 0;  // the first byte not yet written
  // The ASCII bytes [from, to), after the escape to ASCII when they follow kanji.
  const auto ascii = [&](std::size_t to) {
    const bool run = to > from;
    std::memcpy(w, kToAscii, 3);
    w += 3 * static_cast<std::size_t>(run && kanji);
    PutAscii<Target::Cp932>(p, from, std::max(from, to), w);
    kanji = kanji && !run;
  };
  for (std::uint64_t m = leads; m != 0;) {
    const std::size_t j = static_cast<std::size_t>(std::countr_zero(m));
    m &= m - 1;
    ascii(j);
    std::memcpy(w, kToKanji, 3);
    w += 3 * static_cast<std::size_t>(!kanji);
    kanji = true;
    const std::uint16_t code = t.jis[t.PairIndex(p + j)];
    found &= code != 0;
    w[0] = static_cast<char>(code >> 8);
    w[1] = static_cast<char>(code);
    w += 2;
    from = j + 2;
  }
  ascii(64);
  if (!found) return 0;
  o = w;
  state = jis::State{kanji ? jis::Set::Jis0208 : jis::Set::Ascii, false};
  return std::max<std::size_t>(from, 64);
}
#endif

#if defined(MORVELLE_WIDE_BLOCKS)
// Cp932JisBlock by 512-bit vectors, for the same blocks and with the same result: the pairs' JIS
// codes (`codes`, Cp932PairCodes of JIS) looked up together and put where the pairs were, then
// each byte in a 32-bit lane, with the escape before it where a run of the other set begins.
MORVELLE_WIDE std::size_t Cp932JisBlockWide(const std::uint16_t* codes, const unsigned char* p,
                                            char*& o, jis::State& state) {
  if (state.shiftOut || (state.g0 != jis::Set::Ascii && state.g0 != jis::Set::Jis0208)) return 0;
  const detail::Cp932Bytes block = detail::Cp932LeadBytes(p);
  const std::uint64_t leads = block.leads;  // a name the lambda below can capture
  const __m512i x = _mm512_loadu_si512(p);
  // As text ESC, SO and SI would read back as shifts (and as trail bytes they begin no pair).
  const std::uint64_t shifts = _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8(0x1B)) |
                               _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8(0x0E)) |
                               _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8(0x0F));
  __m512i values;
  if (block.singles != 0 || shifts != 0 || !GatherCodes<Indexed::Cp932>(codes, p, leads, values)) {
    return 0;
  }
  const __m512i coded = _mm512_mask_expand_epi8(x, leads | leads << 1, values);
  const std::uint64_t trails = leads << 1;
  // Whether the character before each byte is a pair; before the first, what the state says.
  const std::uint64_t afterPair = trails << 1 | std::uint64_t{state.g0 == jis::Set::Jis0208};
  const std::uint64_t toKanji = leads & ~afterPair;
  const std::uint64_t starts = toKanji | (~(leads | trails) & afterPair);
  const auto quarter = [&](int k, __m128i sixteen) MORVELLE_WIDE {
    const auto begins = static_cast<__mmask16>(starts >> (16 * k));
    const __m512i bytes = _mm512_maskz_cvtepu8_epi32(0xFFFF, sixteen);
    const __m512i escapes = _mm512_mask_blend_epi32(static_cast<__mmask16>(toKanji >> (16 * k)),
                                                    _mm512_set1_epi32(0x42281B),   // ESC ( B
                                                    _mm512_set1_epi32(0x42241B));  // ESC $ B
    const __m512i lanes =
        _mm512_mask_or_epi32(bytes, begins, _mm512_maskz_slli_epi32(0xFFFF, bytes, 24), escapes);
    const std::uint64_t keep =
        _mm512_movepi8_mask(_mm512_maskz_mov_epi32(begins, _mm512_set1_epi32(-1))) |
        0x1111111111111111ull;
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(keep, lanes));
    o += std::popcount(keep);
  };
  quarter(0, _mm512_maskz_extracti32x4_epi32(0xF, coded, 0));
  quarter(1, _mm512_maskz_extracti32x4_epi32(0xF, coded, 1));
  quarter(2, _mm512_maskz_extracti32x4_epi32(0xF, coded, 2));
  quarter(3, _mm512_maskz_extracti32x4_epi32(0xF, coded, 3));
  if (leads >> 63 != 0) {
    // The last pair's second byte, beyond the block.
    *o++ = static_cast<char>(codes[(std::size_t{p[63]} - 0x80) << 8 | p[64]] >> 8);
  }
  state = jis::State{(leads | trails) >> 63 != 0 ? jis::Set::Jis0208 : jis::Set::Ascii, false};
  return 64 + (leads >> 63);
}
#endif

Stop RunToJis(Encoding from, const unsigned char* p, std::size_t n, std::size_t limit,
              jis::State& state, Output& out) {
  switch (from) {
    case Encoding::ShiftJis: {
      const CompactCp932& t = Compact();
      const auto next = [&](std::size_t i, std::size_t& length) {
        const unsigned row = t.row[p[i]];
        const unsigned trail = i + 1 < n ? p[i + 1] : 0;
        if (row != 0xFF && trail >= 0x40) {
          if (const std::uint16_t code = t.jis[row * 192 + (trail - 0x40)]) {
            length = 2;
            return code;
          }
        }
        return JisCodeOf<Encoding::ShiftJis>(p, n, i, length);
      };
#if defined(__SSE2__)
#if defined(MORVELLE_WIDE_BLOCKS)
      const std::uint16_t* wideCodes =
          HasWideBlocks() ? Cp932PairCodes<&CompactCp932::jis>() : nullptr;
#endif
      return RunJis<true>(p, limit, state, out, next,
                          [&](std::size_t i, char*& o, jis::State& now) -> std::size_t {
                            if (n - i < 64 + 32) return 0;
#if defined(MORVELLE_WIDE_BLOCKS)
                            if (wideCodes != nullptr) {
                              return Cp932JisBlockWide(wideCodes, p + i, o, now);
                            }
#endif
                            return Cp932JisBlock(t, p + i, o, now);
                          });
#else
      return RunJis<true>(p, limit, state, out, next);
#endif
    }
    case Encoding::EucJp:
      return RunJis<true>(p, limit, state, out, [&](std::size_t i, std::size_t& length) {
        return JisCodeOf<Encoding::EucJp>(p, n, i, length);
      });
    case Encoding::Utf16Le:
      return RunJis<false>(p, limit, state, out, [&](std::size_t i, std::size_t& length) {
        return JisCodeOf<Encoding::Utf16Le>(p, n, i, length);
      });
    case Encoding::Utf16Be:
      return RunJis<false>(p, limit, state, out, [&](std::size_t i, std::size_t& length) {
        return JisCodeOf<Encoding::Utf16Be>(p, n, i, length);
      });
    default:
      return RunJis<true>(p, limit, state, out, [&](std::size_t i, std::size_t& length) {
        return JisCodeOf<Encoding::Utf8>(p, n, i, length);
      });
  }
}

bool Direct(Encoding e) {
  return e == Encoding::ShiftJis || e == Encoding::EucJp || e == Encoding::Utf8 ||
         e == Encoding::Utf16Le || e == Encoding::Ascii;
}

}  // namespace

struct StreamTranscoder::Impl {
  Encoding from, to;
  bool bom;
  bool started = false;
  std::size_t consumed = 0;  // input bytes converted before `pending`
  std::string pending;       // the bytes of a character cut by the last block's end
  std::string joined;        // pending and the start of the next block
  Output out;                // what the last call converted
  std::string text;          // the same from the path through the text
  const Entry* table = nullptr;
  jis::State decodeState, encodeState;  // ISO-2022-JP on either side

  Stop Run(const unsigned char* p, std::size_t n, std::size_t limit, bool last);

  // The start of the input, at least four bytes of it or all: the source's byte-order mark is no
  // character (its length is returned); the target's goes first.
  std::size_t Begin(const unsigned char* p, std::size_t n) {
    const std::size_t skip = BomLength(from, {p, n});
    if (from == Encoding::Utf8Bom) from = Encoding::Utf8;
    if (bom) {
      if (to == Encoding::Utf16Le) out.append("\xFF\xFE", 2);
      if (to == Encoding::Utf16Be) out.append("\xFE\xFF", 2);
      if (to == Encoding::Utf8Bom) out.append("\xEF\xBB\xBF", 3);
    }
    if (to == Encoding::Utf8Bom) to = Encoding::Utf8;
    started = true;
    return skip;
  }
};

StreamTranscoder::StreamTranscoder(Encoding from, Encoding to, bool bom)
    : impl_(std::make_unique<Impl>()) {
  impl_->from = from == Encoding::Ascii ? Encoding::Utf8 : from;
  impl_->to = to;
  impl_->bom = bom;
  // UTF-8 with a byte-order mark is UTF-8 after the mark, and goes by the same table.
  const Encoding written = to == Encoding::Utf8Bom ? Encoding::Utf8 : to;
  if ((from == Encoding::ShiftJis || from == Encoding::EucJp) && Direct(written)) {
    impl_->table = TableFor(from, written);
  }
}

StreamTranscoder::~StreamTranscoder() = default;

namespace {

// Through the text, for the pairs no direct path serves: the block's whole characters decoded
// (ISO-2022-JP from the state the last block left), then encoded.
Stop ThroughText(StreamTranscoder::Impl& d, const unsigned char* p, std::size_t n,
                 std::size_t limit, bool last, Output& converted) {
  std::string& out = d.text;
  out.clear();
  std::u16string text;
  std::vector<std::size_t> starts;  // where each unit's step began, to name what fails
  std::size_t i = 0;
  bool undecodable = false;
  while (i < limit) {
    detail::Step s{};
    bool character = true;
    if (d.from == Encoding::Iso2022Jp) {
      const detail::JisStep j = detail::JisNext(p, n, i, d.decodeState);
      s = {j.codePoint, j.length, j.kind != detail::JisStep::Raw, j.truncated};
      character = j.kind == detail::JisStep::Char;
    } else {
      switch (d.from) {
        case Encoding::ShiftJis:
          s = detail::Cp932Step(p, n, i);
          break;
        case Encoding::EucJp:
          s = detail::EucStep(p, n, i);
          break;
        case Encoding::Utf16Le:
          s = detail::Utf16Step<false>(p, n, i);
          break;
        case Encoding::Utf16Be:
          s = detail::Utf16Step<true>(p, n, i);
          break;
        case Encoding::Utf32Le:
          s = detail::Utf32Step<false>(p, n, i);
          break;
        case Encoding::Utf32Be:
          s = detail::Utf32Step<true>(p, n, i);
          break;
        case Encoding::Binary:
          s = detail::Step{0, 1, false, false};  // no byte is text
          break;
        default:
          s = detail::Utf8Step(p, n, i);
          break;
      }
    }
    if (!s.ok) {
      // A sequence cut by the block's end may be a character the next block completes.
      undecodable = last || !s.truncated;
      break;
    }
    if (character) {
      const std::size_t before = text.size();
      appendCodePoint(text, s.codePoint);
      starts.insert(starts.end(), text.size() - before, i);
    }
    i += s.length;
  }
  EncodeError error;
  const EncodeOptions options{.rawBytes = false, .bom = false};
  const bool ok = d.to == Encoding::Iso2022Jp
                      ? jis::EncodeFrom(d.encodeState, text, out, &error, options)
                      : Encode(d.to, text, out, &error, options);
  if (!ok) return {starts[error.index], true};
  converted.append(out.data(), out.size());
  return {i, undecodable};
}

}  // namespace

Stop StreamTranscoder::Impl::Run(const unsigned char* p, std::size_t n, std::size_t limit,
                                 bool last) {
  const bool wide = to == Encoding::Utf16Le;
  if (from == Encoding::ShiftJis && std::endian::native == std::endian::little) {
    if (to == Encoding::Utf8 || to == Encoding::Ascii) {
      return RunCp932<Target::Utf8>(table, p, n, limit, out);
    }
    if (to == Encoding::Utf16Le) return RunCp932<Target::Utf16Le>(table, p, n, limit, out);
    if (to == Encoding::EucJp) return RunCp932<Target::Euc>(table, p, n, limit, out);
  }
  if (table && from == Encoding::EucJp && to == Encoding::ShiftJis &&
      std::endian::native == std::endian::little) {
    return RunLegacy<false, false, true>(table, p, n, limit, out);
  }
  if (table) {
    return from == Encoding::ShiftJis ? (wide ? RunLegacy<true, true>(table, p, n, limit, out)
                                              : RunLegacy<true, false>(table, p, n, limit, out))
                                      : (wide ? RunLegacy<false, true>(table, p, n, limit, out)
                                              : RunLegacy<false, false>(table, p, n, limit, out));
  }
  const bool utf8 = to == Encoding::Utf8 || to == Encoding::Ascii;
  if (to == Encoding::Iso2022Jp && from != Encoding::Iso2022Jp && Direct(from)) {
    return RunToJis(from, p, n, limit, encodeState, out);
  }
  if (from == Encoding::Utf8) {
    if (utf8) return RunUtf8<Target::Utf8>(p, n, limit, out);
    if (to == Encoding::ShiftJis) return RunUtf8<Target::Cp932>(p, n, limit, out);
    if (to == Encoding::EucJp) return RunUtf8<Target::Euc>(p, n, limit, out);
    if (wide) return RunUtf8<Target::Utf16Le>(p, n, limit, out);
  } else if (from == Encoding::Utf16Le) {
    if (utf8) return RunUtf16<false, Target::Utf8>(p, n, limit, out);
    if (to == Encoding::ShiftJis) return RunUtf16<false, Target::Cp932>(p, n, limit, out);
    if (to == Encoding::EucJp) return RunUtf16<false, Target::Euc>(p, n, limit, out);
  } else if (from == Encoding::Utf16Be) {
    if (utf8) return RunUtf16<true, Target::Utf8>(p, n, limit, out);
    if (to == Encoding::ShiftJis) return RunUtf16<true, Target::Cp932>(p, n, limit, out);
    if (to == Encoding::EucJp) return RunUtf16<true, Target::Euc>(p, n, limit, out);
  }
  return ThroughText(*this, p, n, limit, last, out);
}

bool StreamTranscoder::Feed(std::span<const unsigned char> bytes, bool last,
                            std::span<const char>& converted, std::size_t* failedAt) {
  Impl& d = *impl_;
  d.out.resize(0);
  converted = {};
  auto fail = [&](std::size_t at) {
    if (failedAt) *failedAt = at;
    converted = {d.out.data(), d.out.size()};
    return false;
  };
  // Characters that begin before a limit end inside the bytes at hand.
  auto limitOf = [&](std::size_t n, bool end) { return end ? n : n - std::min(n, kLongest - 1); };
  // A first block that shows whether a byte-order mark begins it is converted where it is.
  if (!d.started && d.pending.empty() && (last || bytes.size() >= 4)) {
    const std::size_t skip = d.Begin(bytes.data(), bytes.size());
    d.consumed += skip;
    bytes = bytes.subspan(skip);
  }
  // Smaller first calls, and bytes too few to hold the start of a character: joined whole.
  constexpr std::size_t kJoin = 16;
  if (!d.started || (!d.pending.empty() && bytes.size() <= kJoin)) {
    d.pending.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    bytes = {};
    const auto* p = reinterpret_cast<const unsigned char*>(d.pending.data());
    const std::size_t n = d.pending.size();
    std::size_t skip = 0;
    if (!d.started) {
      if (!last && n < 4) return true;
      skip = d.Begin(p, n);
    }
    const Stop stop =
        d.Run(p + skip, n - skip, limitOf(n, last) - std::min(skip, limitOf(n, last)), last);
    if (stop.failed) return fail(d.consumed + skip + stop.at);
    d.consumed += skip + stop.at;
    d.pending.erase(0, skip + stop.at);
  } else if (!d.pending.empty()) {
    // A character cut by the last block's end, completed by this one's first bytes.
    d.joined.assign(d.pending);
    d.joined.append(reinterpret_cast<const char*>(bytes.data()), kJoin);
    const auto* p = reinterpret_cast<const unsigned char*>(d.joined.data());
    const Stop stop = d.Run(p, d.joined.size(), d.pending.size(), false);
    if (stop.failed) return fail(d.consumed + stop.at);
    const std::size_t into = stop.at - std::min(stop.at, d.pending.size());
    d.consumed += d.pending.size() + into;
    d.pending.clear();
    bytes = bytes.subspan(into);
  }
  if (!bytes.empty()) {
    const Stop stop = d.Run(bytes.data(), bytes.size(), limitOf(bytes.size(), last), last);
    if (stop.failed) return fail(d.consumed + stop.at);
    d.consumed += stop.at;
    d.pending.assign(reinterpret_cast<const char*>(bytes.data()) + stop.at, bytes.size() - stop.at);
  }
  if (last) {
    if (d.to == Encoding::Iso2022Jp) {
      std::string end;
      (void)jis::SwitchTo(d.encodeState, jis::State{}, end);
      d.out.append(end.data(), end.size());
    }
    if (!d.pending.empty()) return fail(d.consumed);
  }
  converted = {d.out.data(), d.out.size()};
  return true;
}

bool StreamTranscoder::Feed(std::span<const unsigned char> bytes, bool last, std::string& out,
                            std::size_t* failedAt) {
  std::span<const char> converted;
  const bool ok = Feed(bytes, last, converted, failedAt);
  out.append(converted.data(), converted.size());
  return ok;
}

#if defined(MORVELLE_WIDE_BLOCKS)
namespace {
std::atomic<bool> wideAllowed{true};
}  // namespace

bool detail::HasWideBlocks() {
  static const bool has = __builtin_cpu_supports("avx512bw") &&
                          __builtin_cpu_supports("avx512vbmi") &&
                          __builtin_cpu_supports("avx512vbmi2");
  return has && wideAllowed.load(std::memory_order_relaxed);
}
#endif

void AllowWideVectors([[maybe_unused]] bool allowed) {
#if defined(MORVELLE_WIDE_BLOCKS)
  wideAllowed.store(allowed, std::memory_order_relaxed);
#endif
}

bool Transcode(Encoding from, Encoding to, std::span<const unsigned char> bytes, std::string& out,
               std::size_t* failedAt, bool bom) {
  const std::size_t start = out.size();
  StreamTranscoder stream(from, to, bom);
  if (stream.Feed(bytes, true, out, failedAt)) return true;
  out.resize(start);
  return false;
}

}  // namespace morvelle::text
