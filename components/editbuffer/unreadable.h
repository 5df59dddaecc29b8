#pragma once
// How messages name a byte the file's code cannot read: by its line and column, and by its
// value or, for an ISO-2022-JP escape of a set not read here, by the whole sequence.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace morvelle::editbuffer {

// "L 行 C 列目", as every message names a place in a text.
std::string LineColumn(std::size_t line, std::size_t column);

// "L 行 C 列目のバイト 0x82" or "L 行 C 列目のエスケープシーケンス ESC $ ( Q" for the kept byte
// at text[i] (text::IsRawByteAt).
std::string DescribeRawByte(std::u16string_view text, std::size_t i);
// "バイト 0x82", or "エスケープシーケンス ESC $ ( Q" when `bytes` begin with an escape of ISO
// 2022's form, for undecodable bytes of a file.
std::string DescribeRawBytes(std::span<const unsigned char> bytes);

}  // namespace morvelle::editbuffer
