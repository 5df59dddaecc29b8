#pragma once
// Conversion of one file to another Japanese character code, for the conversion batch.
// Nothing is written unless the whole text converts.

#include <string>

namespace morvelle::editbuffer {

// Conversion targets as the program numbers them.
enum class TargetCode : int { ShiftJis = 1, EucJp = 2, Jis = 3, Utf16LeBom = 4, Utf8 = 5 };

// Recognises the code of `source`, converts its text to `code` (1 CP932, 2 eucJP-ms,
// 3 ISO-2022-JP, 4 UTF-16LE with BOM, 5 UTF-8 without BOM) keeping line ends, and writes
// `destination` atomically. A source already in the target code is copied byte for byte.
// Throws BufferError naming the file and the cause: unreadable source, binary source, bytes the
// source's code cannot decode (a stray NUL included; with its line and column, also for a
// copy), a character the target cannot hold (with its line and column), a code outside 1..5, a
// failed write.
void ConvertFile(const std::string& source, const std::string& destination, int code);
// The bytes ConvertFile would write, throwing as it would before writing.
std::string ConvertedBytes(const std::string& source, int code);

}  // namespace morvelle::editbuffer
