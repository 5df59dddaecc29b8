#include "pair_model.h"

#include <array>
#include <cmath>
#include <string>

#include "text/codec/tables.h"
#include "text/utf16.h"

namespace morvelle::text::detect {
namespace {

// Costs are summed in quarter bits so that the sum stays an exact integer.
constexpr int kPairStepQuarters = 5;  // kPairCost counts steps of 1.25 bits
constexpr int kKanjiBaseBits = 6;     // kKanjiCost counts bits above this
// Half-width katakana is a trait of a whole file, rare today, and a file written with it uses it
// throughout: a reading holding any pays once, on top of its pair costs, 1 bit when half-width
// katakana is all its text, up to 12 bits when it is a few characters amid much else (two
// EUC-JP kanji amid ASCII spell four in Shift_JIS): the range times the square of the other
// characters' share. Blanks and line ends are not counted as text.
constexpr std::uint64_t kHalfKanaMinQuarters = 1 * 4;
constexpr std::uint64_t kHalfKanaMaxQuarters = 12 * 4;

int Nibble(const unsigned char* table, std::size_t index) {
  const unsigned char b = table[index / 2];
  return (index % 2) ? (b >> 4) : (b & 0x0F);
}

// Cost of telling a class's members apart, where the model keeps no figures for them: even
// odds among the members that occur in Japanese text.
constexpr std::array<std::uint8_t, cls::kCount> MemberCosts() {
  std::array<std::uint8_t, cls::kCount> c{};
  c[cls::kDigit] = 13;
  c[cls::kUpper] = 19;
  c[cls::kLower] = 19;
  c[cls::kPunct] = 20;
  c[cls::kControl] = 20;
  c[77] = 4;  // the two sound marks
  c[cls::kRow1Other] = 25;
  c[cls::kRow2] = 23;
  c[cls::kFwDigit] = 13;
  c[cls::kFwAlpha] = 23;
  c[cls::kForeign] = 29;
  c[cls::kBox] = 20;
  c[cls::kNec13] = 25;
  c[cls::kExtKanji] = 35;
  c[cls::kPua] = 44;
  c[cls::kOther] = 44;
  return c;
}
constexpr auto kMemberCost = MemberCosts();

int AsciiClass(unsigned char b) {
  if (b == 0x0A) return cls::kLf;
  if (b == 0x0D) return cls::kCr;
  if (b == 0x20 || b == 0x09) return cls::kSpace;
  if (b >= 0x30 && b <= 0x39) return cls::kDigit;
  if (b >= 0x41 && b <= 0x5A) return cls::kUpper;
  if (b >= 0x61 && b <= 0x7A) return cls::kLower;
  if (b >= 0x21 && b <= 0x7E) return cls::kPunct;
  return cls::kControl;
}

int UnicodeClass(char32_t cp) {
  if (cp < 0x80) return AsciiClass(static_cast<unsigned char>(cp));
  if (cp >= 0x3041 && cp <= 0x3093) return cls::kHiragana + static_cast<int>(cp - 0x3041);
  if (cp >= 0x30A1 && cp <= 0x30F6) return cls::kKatakana + static_cast<int>(cp - 0x30A1);
  if (cp >= 0xFF61 && cp <= 0xFF9F) return cls::kHalfKana + static_cast<int>(cp - 0xFF61);
  if ((cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0x3400 && cp <= 0x4DBF)) return cls::kKanji;
  switch (cp) {
    case 0x3000:
      return JisClass(1, 1);
    case 0x3001:
      return JisClass(1, 2);
    case 0x3002:
      return JisClass(1, 3);
    case 0xFF0C:
      return JisClass(1, 4);
    case 0xFF0E:
      return JisClass(1, 5);
    case 0x30FB:
      return JisClass(1, 6);
    case 0x309B:
    case 0x309C:
      return JisClass(1, 11);
    case 0x3005:
      return JisClass(1, 25);
    case 0x30FC:
      return JisClass(1, 28);
    case 0x301C:
    case 0xFF5E:
      return JisClass(1, 33);
    case 0xFF08:
      return JisClass(1, 42);
    case 0xFF09:
      return JisClass(1, 43);
    case 0x300C:
      return JisClass(1, 54);
    case 0x300D:
      return JisClass(1, 55);
    default:
      break;
  }
  if (cp >= 0xFF10 && cp <= 0xFF19) return cls::kFwDigit;
  if ((cp >= 0xFF21 && cp <= 0xFF3A) || (cp >= 0xFF41 && cp <= 0xFF5A)) return cls::kFwAlpha;
  if (cp >= 0xF900 && cp <= 0xFAFF) return cls::kExtKanji;
  if (cp >= 0xE000 && cp <= 0xF8FF) return cls::kPua;
  if (cp >= 0x2500 && cp <= 0x257F) return cls::kBox;
  if ((cp >= 0x2460 && cp <= 0x2473) || (cp >= 0x2160 && cp <= 0x2179) ||
      (cp >= 0x3300 && cp <= 0x33FF))
    return cls::kNec13;
  if ((cp >= 0xC0 && cp <= 0x24F && cp != 0xD7 && cp != 0xF7) || (cp >= 0x370 && cp <= 0x4FF))
    return cls::kForeign;
  if ((cp >= 0x3000 && cp <= 0x30FF) || (cp >= 0xFF00 && cp <= 0xFFEF) ||
      (cp >= 0x2000 && cp <= 0x2BFF) || (cp >= 0xA0 && cp <= 0xBF) || cp == 0xD7 || cp == 0xF7)
    return cls::kRow1Other;
  return cls::kOther;
}

class Scorer {
 public:
  void Add(int c, int memberQuarters, bool multibyte) {
    reading_.cost +=
        static_cast<std::uint64_t>(Nibble(kPairCost, static_cast<std::size_t>(prev_) * cls::kCount +
                                                         static_cast<std::size_t>(c)) *
                                       kPairStepQuarters +
                                   memberQuarters);
    ++reading_.characters;
    if (multibyte) ++reading_.multibyte;
    if (c >= cls::kHalfKana && c < cls::kHalfKana + 63) ++halfKana_;
    if (c != cls::kLf && c != cls::kCr && c != cls::kSpace) ++text_;
    prev_ = c;
  }
  void Add(int c, bool multibyte) { Add(c, kMemberCost[static_cast<std::size_t>(c)], multibyte); }
  void AddJis(int row, int cell) {
    const int c = JisClass(row, cell);
    if (c == cls::kKanji) {
      const auto index = static_cast<std::size_t>((row - kKanjiFirstRow) * 94 + cell - 1);
      Add(c, (Nibble(kKanjiCost, index) + kKanjiBaseBits) * 4, true);
    } else {
      Add(c, true);
    }
  }
  Reading Result() const {
    Reading r = reading_;
    if (halfKana_ > 0) {
      const std::uint64_t other = text_ - halfKana_;
      r.cost += kHalfKanaMinQuarters +
                (kHalfKanaMaxQuarters - kHalfKanaMinQuarters) * other * other / (text_ * text_);
    }
    return r;
  }

 private:
  int prev_ = cls::kLf;
  std::uint64_t halfKana_ = 0;  // half-width katakana read
  std::uint64_t text_ = 0;      // characters read, blanks and line ends aside
  Reading reading_;
};

bool IsSjisTrail(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }
bool IsEucByte(unsigned char b) { return b >= 0xA1 && b <= 0xFE; }

}  // namespace

int JisClass(int row, int cell) {
  switch (row) {
    case 1:
      switch (cell) {
        case 1:
          return cls::kIdeoSpace;
        case 2:
          return 72;
        case 3:
          return 73;
        case 4:
          return 74;
        case 5:
          return 75;
        case 6:
          return 76;
        case 11:
        case 12:
          return 77;
        case 25:
          return 78;
        case 28:
          return 79;
        case 33:
          return 80;
        case 42:
          return 81;
        case 43:
          return 82;
        case 54:
          return 83;
        case 55:
          return 84;
        default:
          return cls::kRow1Other;
      }
    case 2:
      return cls::kRow2;
    case 3:
      return (cell >= 16 && cell <= 25) ? cls::kFwDigit : cls::kFwAlpha;
    case 4:
      return cell <= 83 ? cls::kHiragana + cell - 1 : cls::kOther;
    case 5:
      return cell <= 86 ? cls::kKatakana + cell - 1 : cls::kOther;
    case 6:
    case 7:
      return cls::kForeign;
    case 8:
      return cls::kBox;
    case 13:
      return cls::kNec13;
    default:
      break;
  }
  if (row >= kKanjiFirstRow && row <= kKanjiLastRow) return cls::kKanji;
  return cls::kOther;
}

Reading ScoreShiftJis(std::span<const unsigned char> bytes) {
  Scorer s;
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char b = bytes[i];
    if (b < 0x80) {
      s.Add(AsciiClass(b), false);
      ++i;
    } else if (b >= 0xA1 && b <= 0xDF) {
      s.Add(cls::kHalfKana + (b - 0xA1), false);
      ++i;
    } else if (((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) && i + 1 < n &&
               IsSjisTrail(bytes[i + 1])) {
      const unsigned char t = bytes[i + 1];
      i += 2;
      if (b >= 0xF0 && b <= 0xF9) {
        s.Add(cls::kPua, true);
        continue;
      }
      if (b >= 0xFA) {
        s.Add(cls::kExtKanji, true);
        continue;
      }
      int row = (b - (b <= 0x9F ? 0x81 : 0xC1)) * 2 + 1;
      int cell;
      if (t >= 0x9F) {
        ++row;
        cell = t - 0x9E;
      } else {
        cell = t - (t >= 0x80 ? 0x40 : 0x3F);
      }
      if (row >= 89 && row <= 92) {
        s.Add(cls::kExtKanji, true);  // NEC-selected IBM extension
      } else {
        s.AddJis(row, cell);
      }
    } else {
      s.Add(cls::kOther, false);
      ++i;
    }
  }
  return s.Result();
}

Reading ScoreEucJp(std::span<const unsigned char> bytes) {
  Scorer s;
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char b = bytes[i];
    if (b < 0x80) {
      s.Add(AsciiClass(b), false);
      ++i;
    } else if (b == 0x8E && i + 1 < n && bytes[i + 1] >= 0xA1 && bytes[i + 1] <= 0xDF) {
      s.Add(cls::kHalfKana + (bytes[i + 1] - 0xA1), true);
      i += 2;
    } else if (b == 0x8F && i + 2 < n && IsEucByte(bytes[i + 1]) && IsEucByte(bytes[i + 2])) {
      // JIS X 0212 and the IBM extensions; rows from F5 on are the user-defined area.
      const unsigned char b2 = bytes[i + 1];
      s.Add(b2 >= 0xF5 ? cls::kPua : (b2 >= 0xB0 ? cls::kExtKanji : cls::kForeign), true);
      i += 3;
    } else if (IsEucByte(b) && i + 1 < n && IsEucByte(bytes[i + 1])) {
      const int row = b - 0xA0;
      const int cell = bytes[i + 1] - 0xA0;
      i += 2;
      if (row >= 85) {
        s.Add(cls::kPua, true);
      } else {
        s.AddJis(row, cell);
      }
    } else {
      s.Add(cls::kOther, false);
      ++i;
    }
  }
  return s.Result();
}

int MeanKanjiQuarters() { return static_cast<int>(std::lround(kKanjiMeanCost * 4.0f)); }

Reading ScoreUtf8(std::span<const unsigned char> bytes) {
  Scorer s;
  const int meanKanji = MeanKanjiQuarters();
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char b = bytes[i];
    if (b < 0x80) {
      s.Add(AsciiClass(b), false);
      ++i;
      continue;
    }
    const std::size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
    char32_t cp = len == 4 ? (b & 0x07u) : len == 3 ? (b & 0x0Fu) : (b & 0x1Fu);
    bool ok = len != 0 && b <= 0xF4 && i + len <= n;
    for (std::size_t k = 1; ok && k < len; ++k) {
      const unsigned char c = bytes[i + k];
      ok = (c & 0xC0) == 0x80;
      cp = (cp << 6) | (c & 0x3Fu);
    }
    if (!ok) {
      s.Add(cls::kOther, false);
      ++i;
      continue;
    }
    const int c = UnicodeClass(cp);
    if (c == cls::kKanji) {
      s.Add(c, meanKanji, true);
    } else {
      s.Add(c, true);
    }
    i += len;
  }
  return s.Result();
}

Reading ScoreText(std::u16string_view text) {
  // Through each character's CP932 code, so that a kanji costs what its JIS cell costs, as in a
  // Shift_JIS reading: a reading of swapped or misaligned bytes is a run of rare ideographs,
  // not of average kanji. What CP932 lacks (undecodable bytes, lone surrogates, included) is
  // "other", as 0x80 is.
  const std::uint16_t* cp932 = text::detail::Cp932Encoder();
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (pairAt(text, i)) ++i;
    const std::uint16_t code = cp932[u];
    if (u == 0) {
      bytes.push_back('\0');
    } else if (code == 0) {
      bytes.push_back('\x80');
    } else if (code < 0x100) {
      bytes.push_back(static_cast<char>(code));
    } else {
      bytes.push_back(static_cast<char>(code >> 8));
      bytes.push_back(static_cast<char>(code & 0xFF));
    }
  }
  return ScoreShiftJis({reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()});
}

}  // namespace morvelle::text::detect
