// Encoders. A character the target cannot hold stops the encoding with its position; the
// output is rolled back so that a caller never sees a partial result.

#include <algorithm>
#include <bit>
#include <cstring>

#include "codec.h"
#include "tables.h"
#include "text/utf16.h"

namespace morvelle::text {
namespace {

// A code point read by CodePointAt is a raw byte when it is a lone surrogate in the raw-byte
// range: a pair's trail never reaches the test.
bool IsRaw(char32_t cp) { return InRawByteRange(cp); }

// The code point at text[i] and how many units it takes; a lone surrogate is itself.
char32_t CodePointAt(std::u16string_view text, std::size_t i, std::size_t& units) {
  return codePointAt(text, i, units);
}

bool IsSurrogate(char32_t cp) { return isSurrogate(cp); }

// Copies the run of ASCII units at text[i] and returns the index after it.
std::size_t AsciiRun(std::u16string_view text, std::size_t i, std::string& out) {
  std::size_t j = i;
  while (j < text.size() && text[j] < 0x80) ++j;
  if (j > i) {
    std::size_t at = out.size();
    out.resize(at + (j - i));
    char* o = out.data() + at;
    for (std::size_t k = i; k < j; ++k) *o++ = static_cast<char>(text[k]);
  }
  return j;
}

void PutUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Returns the index of the first character that cannot be encoded, or npos. Writes through a
// pointer into room made once (three bytes a unit at most, eucJP-ms's JIS X 0212), as appending
// byte by byte costs more than the table lookups.
template <typename Table>
std::size_t EncodeTable(std::u16string_view text, const Table* table, bool rawBytes,
                        std::string& out) {
  const std::size_t start = out.size();
  out.resize(start + text.size() * 3);
  char* o = out.data() + start;
  const std::size_t n = text.size();
  std::size_t bad = std::u16string_view::npos;
  for (std::size_t i = 0; i < n;) {
    const char16_t u = text[i];
    if (u < 0x80) {
      *o++ = static_cast<char>(u);
      ++i;
      continue;
    }
    std::size_t units;
    const char32_t cp = CodePointAt(text, i, units);
    if (rawBytes && IsRaw(cp)) {
      *o++ = static_cast<char>(RawByteOf(cp));
    } else if (cp < 0x10000 && !IsSurrogate(cp) && table[cp] != 0) {
      const std::uint32_t code = table[cp];
      if (code > 0xFFFF) *o++ = static_cast<char>(code >> 16);
      if (code > 0xFF) *o++ = static_cast<char>(code >> 8);
      *o++ = static_cast<char>(code);
    } else {
      bad = i;
      break;
    }
    i += units;
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return bad;
}

std::size_t EncodeUtf8(std::u16string_view text, bool rawBytes, std::string& out) {
  std::size_t i = 0;
  while (i < text.size()) {
    i = AsciiRun(text, i, out);
    if (i == text.size()) break;
    std::size_t units;
    char32_t cp = CodePointAt(text, i, units);
    if (rawBytes && IsRaw(cp)) {
      out.push_back(static_cast<char>(RawByteOf(cp)));
    } else if (IsSurrogate(cp)) {
      return i;
    } else {
      PutUtf8(cp, out);
    }
    i += units;
  }
  return std::u16string_view::npos;
}

void PutUnit(char16_t u, bool bigEndian, char*& o) {
  *o++ = static_cast<char>(bigEndian ? u >> 8 : u & 0xFF);
  *o++ = static_cast<char>(bigEndian ? u & 0xFF : u >> 8);
}

// Pairs and every other unit as they are; raw bytes as themselves (a UTF-16 source's broken
// unit decodes to two of them, so its bytes come back together).
std::size_t EncodeUtf16(std::u16string_view text, bool bigEndian, bool rawBytes, std::string& out) {
  const std::size_t at = out.size();
  out.resize(at + text.size() * 2);
  char* o = out.data() + at;
  const bool anySurrogate =
      std::any_of(text.begin(), text.end(), [](char16_t u) { return isSurrogate(u); });
  if (!anySurrogate && (std::endian::native == std::endian::big) == bigEndian) {
    std::memcpy(o, text.data(), text.size() * 2);
    return std::u16string_view::npos;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (!isSurrogate(u)) {
      PutUnit(u, bigEndian, o);
    } else if (pairAt(text, i)) {
      PutUnit(u, bigEndian, o);
      PutUnit(text[++i], bigEndian, o);
    } else if (rawBytes && IsRaw(u)) {
      *o++ = static_cast<char>(RawByteOf(u));
    } else {
      out.resize(at);
      return i;
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return std::u16string_view::npos;
}

std::size_t EncodeUtf32(std::u16string_view text, bool bigEndian, bool rawBytes, std::string& out) {
  for (std::size_t i = 0; i < text.size();) {
    std::size_t units;
    const char32_t cp = CodePointAt(text, i, units);
    if (rawBytes && IsRaw(cp)) {
      out.push_back(static_cast<char>(RawByteOf(cp)));
    } else if (IsSurrogate(cp)) {
      return i;
    } else {
      for (int k = 0; k < 4; ++k) {
        const int shift = bigEndian ? 24 - 8 * k : 8 * k;
        out.push_back(static_cast<char>((cp >> shift) & 0xFF));
      }
    }
    i += units;
  }
  return std::u16string_view::npos;
}

std::size_t EncodeBinary(std::u16string_view text, std::string& out) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!IsRawByteAt(text, i)) return i;
    out.push_back(static_cast<char>(RawByteOf(text[i])));
  }
  return std::u16string_view::npos;
}

}  // namespace

void LocateInText(std::u16string_view text, EncodeError& error) {
  std::size_t line = 1, column = 1;
  for (std::size_t i = 0; i < error.index && i < text.size(); ++i) {
    char16_t u = text[i];
    if (u == u'\n' || (u == u'\r' && (i + 1 >= text.size() || text[i + 1] != u'\n'))) {
      ++line;
      column = 1;
    } else if (u == u'\r' || splitsPair(text, i)) {
      // the CR of CR LF, or the second half of a pair: no column of its own
    } else {
      ++column;
    }
  }
  error.line = line;
  error.column = column;
}

bool Encode(Encoding encoding, std::u16string_view text, std::string& out, EncodeError* error,
            EncodeOptions options) {
  const std::size_t start = out.size();
  std::size_t bad = std::u16string_view::npos;
  switch (encoding) {
    case Encoding::ShiftJis:
      bad = EncodeTable(text, detail::Cp932Encoder(), options.rawBytes, out);
      break;
    case Encoding::EucJp:
      bad = EncodeTable(text, detail::EucEncoder(), options.rawBytes, out);
      break;
    case Encoding::Utf8Bom:
      if (options.bom) out += "\xEF\xBB\xBF";
      [[fallthrough]];
    case Encoding::Ascii:
    case Encoding::Utf8:
      out.reserve(out.size() + text.size() * 3);
      bad = EncodeUtf8(text, options.rawBytes, out);
      break;
    case Encoding::Utf16Le:
      if (options.bom) out += "\xFF\xFE";
      bad = EncodeUtf16(text, false, options.rawBytes, out);
      break;
    case Encoding::Utf16Be:
      if (options.bom) out += "\xFE\xFF";
      bad = EncodeUtf16(text, true, options.rawBytes, out);
      break;
    case Encoding::Utf32Le:
      if (options.bom) out += std::string_view("\xFF\xFE\0\0", 4);
      bad = EncodeUtf32(text, false, options.rawBytes, out);
      break;
    case Encoding::Utf32Be:
      if (options.bom) out += std::string_view("\0\0\xFE\xFF", 4);
      bad = EncodeUtf32(text, true, options.rawBytes, out);
      break;
    case Encoding::Iso2022Jp: {
      jis::State state;
      EncodeError local;
      if (!jis::EncodeFrom(state, text, out, &local, options)) {
        bad = local.index;
      } else {
        (void)jis::SwitchTo(state, jis::State{}, out);
      }
      break;
    }
    case Encoding::Binary:
      bad = EncodeBinary(text, out);
      break;
  }
  if (bad == std::u16string_view::npos) return true;
  out.resize(start);
  if (error) {
    std::size_t units;
    error->codePoint = CodePointAt(text, bad, units);
    error->index = bad;
    LocateInText(text, *error);
  }
  return false;
}

}  // namespace morvelle::text
