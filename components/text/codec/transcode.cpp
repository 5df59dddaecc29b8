// Direct conversion between codes. For CP932 and eucJP-ms sources each input code indexes a
// table holding the target's bytes, so a conversion is one lookup and one store per character
// and never builds the UTF-16 text; other pairs go through Decode and Encode.

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <mutex>

#include "codec.h"
#include "steps.h"
#include "tables.h"

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

Entry EntryFor(char16_t u, Encoding to) {
  std::string bytes;
  if (!Encode(to, std::u16string_view(&u, 1), bytes, nullptr, {.rawBytes = false, .bom = false})) {
    return 0;
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

bool Direct(Encoding e) {
  return e == Encoding::ShiftJis || e == Encoding::EucJp || e == Encoding::Utf8 ||
         e == Encoding::Utf16Le || e == Encoding::Utf16Be || e == Encoding::Ascii;
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

template <bool kSjis, bool kWide>
bool Run(const Entry* table, const unsigned char* p, std::size_t n, std::string& out,
         std::size_t* failedAt) {
  // Output in chunks, so that only bytes actually written are ever touched.
  constexpr std::size_t kChunk = 1 << 16;
  constexpr std::size_t kMaxPerByte = 3;
  std::size_t i = 0;
  std::size_t written = out.size();
  while (i < n) {
    const std::size_t limit = std::min(n, i + kChunk);
    out.resize(written + (limit - i) * kMaxPerByte + 8);
    char* o = out.data() + written;
    while (i < limit) {
      unsigned b = p[i];
      if (detail::IsPlainAscii(b)) {  // ASCII is itself in every target here
        if (i + 8 <= limit && detail::EightPlainAscii(p + i)) {
          if constexpr (kWide) {
            for (int k = 0; k < 8; ++k) {
              o[2 * k] = static_cast<char>(p[i + k]);
              o[2 * k + 1] = 0;
            }
            o += 16;
          } else {
            std::memcpy(o, p + i, 8);
            o += 8;
          }
          i += 8;
          continue;
        }
        if constexpr (kWide) {
          o[0] = static_cast<char>(b);
          o[1] = 0;
          o += 2;
        } else {
          *o++ = static_cast<char>(b);
        }
        ++i;
        continue;
      }
      std::size_t length;
      std::size_t index = kSjis ? SjisIndex(p, n, i, length) : EucIndex(p, n, i, length);
      Entry e = length ? table[index] : 0;
      if (e == 0) {
        out.resize(written);
        if (failedAt) *failedAt = i;
        return false;
      }
      if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(o, &e, 4);
      } else {
        o[0] = static_cast<char>(e);
        o[1] = static_cast<char>(e >> 8);
        o[2] = static_cast<char>(e >> 16);
      }
      o += e >> 24;
      i += length;
    }
    written = static_cast<std::size_t>(o - out.data());
  }
  out.resize(written);
  return true;
}

}  // namespace

bool Transcode(Encoding from, Encoding to, std::span<const unsigned char> bytes, std::string& out,
               std::size_t* failedAt, bool bom) {
  const std::size_t start = out.size();
  const bool wideAscii = to == Encoding::Utf16Le;  // ASCII b -> b 00
  if ((from == Encoding::ShiftJis || from == Encoding::EucJp) && Direct(to) &&
      to != Encoding::Utf16Be) {
    if (bom && to == Encoding::Utf16Le) out += "\xFF\xFE";
    const Entry* table = TableFor(from, to);
    out.reserve(out.size() + bytes.size() * 3 + 16);  // address space only until written
    bool ok =
        from == Encoding::ShiftJis
            ? (wideAscii ? Run<true, true>(table, bytes.data(), bytes.size(), out, failedAt)
                         : Run<true, false>(table, bytes.data(), bytes.size(), out, failedAt))
            : (wideAscii ? Run<false, true>(table, bytes.data(), bytes.size(), out, failedAt)
                         : Run<false, false>(table, bytes.data(), bytes.size(), out, failedAt));
    if (!ok) out.resize(start);
    return ok;
  }
  // Everything else through the text. The encoder refuses raw bytes, so a file that encodes
  // whole needs no offsets; only a failure pays for them below.
  if (Encode(to, DecodeText(from, bytes), out, nullptr, {.rawBytes = false, .bom = bom})) {
    return true;
  }
  // Refuse undecodable bytes, and find where the failure is.
  Decoded decoded = Decode(from, bytes);
  if (const std::size_t i = FindRawByte(decoded.text); i != std::u16string_view::npos) {
    // The byte ends its unit's span (which may begin at the escapes before it).
    if (failedAt) *failedAt = decoded.offsets[i + 1] - 1;
    return false;
  }
  EncodeError error;
  if (!Encode(to, decoded.text, out, &error, {.rawBytes = false, .bom = bom})) {
    if (failedAt) *failedAt = decoded.offsets[error.index];
    return false;
  }
  return true;
}

}  // namespace morvelle::text
