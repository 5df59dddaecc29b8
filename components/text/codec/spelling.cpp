// How a text is written in a code, for searching a file's bytes without decoding them.

#include <memory>

#include "codec.h"
#include "tables.h"

namespace morvelle::text {
namespace {

using detail::kInvalidSingle;
using detail::kLeadByte;

// Marks the BMP characters that several byte sequences of the code decode to.
class Duplicates {
 public:
  bool operator[](char32_t c) const { return c < 0x10000 && seen_[c] > 1; }

  static const Duplicates& Cp932() {
    static const Duplicates d = [] {
      Duplicates t;
      for (unsigned b = 0; b < 0x100; ++b) {
        const std::uint16_t v = detail::cp932Single[b];
        if (v < kLeadByte) t.Count(v);
        if (v != kLeadByte) continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
          if (trail != 0x7F) t.Count(detail::cp932Pairs[(b - 0x80) * 192 + (trail - 0x40)]);
        }
      }
      return t;
    }();
    return d;
  }

  static const Duplicates& EucJp() {
    static const Duplicates d = [] {
      Duplicates t;
      for (unsigned b = 0; b < 0x100; ++b) {
        if (detail::eucSingle[b] != kInvalidSingle) t.Count(detail::eucSingle[b]);
      }
      for (unsigned k = 0; k < 64; ++k) t.Count(detail::eucKana[k]);
      for (unsigned k = 0; k < 94 * 94; ++k) {
        t.Count(detail::euc0208[k]);
        t.Count(detail::euc0212[k]);
      }
      return t;
    }();
    return d;
  }

 private:
  Duplicates() : seen_(std::make_unique<std::uint8_t[]>(0x10000)) {}
  // 0 is no character in the pair tables; U+0000 has only its one byte in either code.
  void Count(std::uint16_t c) {
    if (c != 0 && seen_[c] < 2) ++seen_[c];
  }
  std::unique_ptr<std::uint8_t[]> seen_;
};

}  // namespace

Spelling SpellIn(Encoding encoding, std::u16string_view text, std::string& bytes) {
  const Duplicates* duplicates = nullptr;
  switch (encoding) {
    case Encoding::Iso2022Jp:
    case Encoding::Binary:
      return Spelling::Ambiguous;
    case Encoding::ShiftJis:
      duplicates = &Duplicates::Cp932();
      break;
    case Encoding::EucJp:
      duplicates = &Duplicates::EucJp();
      break;
    default:
      break;
  }
  // A 7-bit file is UTF-8 that holds no other character.
  const Encoding code = encoding == Encoding::Ascii ? Encoding::Utf8 : encoding;
  bytes.clear();
  // A kept byte or a lone surrogate is no character: no clean file holds it.
  if (!Encode(code, text, bytes, nullptr, {.rawBytes = false, .bom = false})) {
    return Spelling::Absent;
  }
  if (duplicates) {
    for (char16_t unit : text) {
      if ((*duplicates)[unit]) return Spelling::Ambiguous;
    }
  }
  // An encoder's stand-in (¥ written as CP932's 5C, which reads back as a backslash) is no
  // spelling.
  if (DecodePiece(code, {reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()}) !=
      text) {
    return Spelling::Ambiguous;
  }
  return Spelling::Unique;
}

}  // namespace morvelle::text
