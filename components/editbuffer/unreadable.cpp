#include "unreadable.h"

#include <cstdio>

#include "text/codec/codec.h"

namespace morvelle::editbuffer {

std::string DescribeRawByte(std::u16string_view text, std::size_t i) {
  text::EncodeError where;
  where.index = i;
  text::LocateInText(text, where);
  std::string out = std::to_string(where.line) + " 行 " + std::to_string(where.column) + " 列目の";
  auto byteAt = [&](std::size_t k) {
    return k < text.size() && text::IsRawByteAt(text, k) ? int{text::RawByteOf(text[k])} : -1;
  };
  // ESC, intermediates, a final byte: kept whole, so named whole.
  std::size_t end = i + 1;
  while (byteAt(end) >= 0x21 && byteAt(end) <= 0x2F) ++end;
  if (byteAt(i) == 0x1B && end > i + 1 && byteAt(end) >= 0x30 && byteAt(end) <= 0x7E) {
    out += "エスケープシーケンス ESC";
    for (std::size_t k = i + 1; k <= end; ++k) {
      out += ' ';
      out += static_cast<char>(byteAt(k));
    }
    return out;
  }
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(byteAt(i)));
  return out + "バイト " + hex;
}

}  // namespace morvelle::editbuffer
