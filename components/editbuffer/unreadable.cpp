#include "unreadable.h"

#include <cstdio>

#include "text/codec/codec.h"
#include "translation/translate.h"

namespace morvelle::editbuffer {

using translation::Format;
using translation::translate;

std::string LineColumn(std::size_t line, std::size_t column) {
  return Format(translate("FileBuffer", "%1 行 %2 列目"),
                {std::to_string(line), std::to_string(column)});
}

std::string DescribeRawBytes(std::span<const unsigned char> bytes) {
  auto byteAt = [&](std::size_t k) { return k < bytes.size() ? int{bytes[k]} : -1; };
  // ESC, intermediates, a final byte: kept whole, so named whole.
  std::size_t end = 1;
  while (byteAt(end) >= 0x21 && byteAt(end) <= 0x2F) ++end;
  if (byteAt(0) == 0x1B && end > 1 && byteAt(end) >= 0x30 && byteAt(end) <= 0x7E) {
    std::string sequence = "ESC";
    for (std::size_t k = 1; k <= end; ++k) {
      sequence += ' ';
      sequence += static_cast<char>(byteAt(k));
    }
    return Format(translate("FileBuffer", "エスケープシーケンス %1"), {sequence});
  }
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(byteAt(0)));
  return Format(translate("FileBuffer", "バイト %1"), {hex});
}

std::string DescribeRawByte(std::u16string_view text, std::size_t i) {
  text::EncodeError where;
  where.index = i;
  text::LocateInText(text, where);
  // The kept bytes from there on, as far as they run.
  std::string bytes;
  for (std::size_t k = i; k < text.size() && k < i + 8 && text::IsRawByteAt(text, k); ++k) {
    bytes.push_back(static_cast<char>(text::RawByteOf(text[k])));
  }
  return Format(
      translate("FileBuffer", "%1 行 %2 列目の%3"),
      {std::to_string(where.line), std::to_string(where.column),
       DescribeRawBytes({reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()})});
}

}  // namespace morvelle::editbuffer
