#include "tables.h"

#include <cstddef>
#include <memory>

namespace morvelle::text::detail {
namespace {
#include "generated/cp932_tables.inc"
#include "generated/eucjpms_tables.inc"
}  // namespace

const std::uint16_t* const cp932Single = kCp932Single;
const std::uint16_t* const cp932Pairs = kCp932Pairs;
const std::uint16_t* const eucSingle = kEucSingle;
const std::uint16_t* const eucKana = kEucKana;
const std::uint16_t* const euc0208 = kEuc0208;
const std::uint16_t* const euc0212 = kEuc0212;

const std::uint16_t* Cp932PairTable() {
  static const std::unique_ptr<std::uint16_t[]> table = [] {
    auto t = std::make_unique<std::uint16_t[]>(128 * 256);
    for (unsigned lead = 0x80; lead < 0x100; ++lead) {
      if (kCp932Single[lead] != kLeadByte) continue;
      for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
        if (trail == 0x7F) continue;
        t[((lead - 0x80) << 8) | trail] = kCp932Pairs[(lead - 0x80) * 192 + (trail - 0x40)];
      }
    }
    return t;
  }();
  return table.get();
}

const std::uint8_t* Cp932PairFlags() {
  static const std::unique_ptr<std::uint8_t[]> flags = [] {
    auto f = std::make_unique<std::uint8_t[]>(128 * 256);
    const std::uint16_t* pairs = Cp932PairTable();
    for (unsigned i = 0; i < 128 * 256; ++i) f[i] = pairs[i] != 0;
    return f;
  }();
  return flags.get();
}

const std::uint16_t* Cp932Encoder() {
  static const std::unique_ptr<std::uint16_t[]> table = [] {
    auto t = std::make_unique<std::uint16_t[]>(0x10000);
    for (std::size_t i = 0; i + 1 < std::size(kCp932Encoder); i += 2) {
      t[kCp932Encoder[i]] = kCp932Encoder[i + 1];
    }
    return t;
  }();
  return table.get();
}

const std::uint32_t* EucEncoder() {
  static const std::unique_ptr<std::uint32_t[]> table = [] {
    auto t = std::make_unique<std::uint32_t[]>(0x10000);
    for (std::size_t i = 0; i + 1 < std::size(kEucEncoder); i += 2) {
      t[kEucEncoder[i]] = kEucEncoder[i + 1];
    }
    return t;
  }();
  return table.get();
}

const std::uint16_t* JisEncoder() {
  static const std::unique_ptr<std::uint16_t[]> table = [] {
    auto t = std::make_unique<std::uint16_t[]>(0x10000);
    for (std::size_t u = 0; u < 0x10000; ++u) t[u] = kNoJis;
    const std::uint16_t* sjis = Cp932Encoder();
    for (unsigned u = 0; u < 0x80; ++u) {
      if (sjis[u] == u) t[u] = static_cast<std::uint16_t>(u);
    }
    for (unsigned u = 0x80; u < 0x10000; ++u) {
      unsigned code = sjis[u];
      if (code == 0) continue;  // not in CP932
      if (code < 0x80 || (code >= 0xA1 && code <= 0xDF)) {
        // Single bytes: ¥ and ‾ as CP932 writes them (5C and 7E), and half-width katakana.
        t[u] = static_cast<std::uint16_t>(code);
      } else if (code >= 0x8140 && code < 0xF000) {
        t[u] = SjisToJis(code >> 8, code & 0xFF);
      }
    }
    // Windows writes the IBM extension rows (FA40..FC4B) through their NEC-selected twins
    // (ED40..EEFC, JIS rows 0x79..0x7C), the only form JIS X 0208 designations can carry.
    for (unsigned s1 = 0xED; s1 <= 0xEE; ++s1) {
      for (unsigned s2 = 0x40; s2 <= 0xFC; ++s2) {
        std::uint16_t u = kCp932Pairs[(s1 - 0x80) * 192 + (s2 - 0x40)];
        if (u != 0 && sjis[u] >= 0xFA40 && sjis[u] <= 0xFC4B) t[u] = SjisToJis(s1, s2);
      }
    }
    return t;
  }();
  return table.get();
}

}  // namespace morvelle::text::detail
