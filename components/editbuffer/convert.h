#pragma once
// Conversion of one file to another Japanese character code, for the conversion batch.
// Nothing is written unless the whole text converts.

#include <sys/types.h>

#include <optional>
#include <span>
#include <string>

#include "text/codec/codec.h"

namespace morvelle::editbuffer {

// The codes a file is converted to.
enum class TargetCode { ShiftJis, EucJp, Jis, Utf16LeBom, Utf8 };

// Every CR LF, lone CR and lone LF made one kind, or left as they are.
enum class LineEnds { Keep, Lf, CrLf };

struct ConvertOptions {
  // The source's code as the user names it; bytes it cannot decode refuse the file.
  std::optional<text::Encoding> from;
  LineEnds lineEnds = LineEnds::Keep;
  bool utf8Bom = false;  // a UTF-8 target starts with a byte-order mark
};

// Recognises the code of `source`, converts its text to `code` (CP932, eucJP-ms, ISO-2022-JP,
// UTF-16LE with BOM, UTF-8 without BOM) keeping line ends, and writes `destination`
// atomically, a block at a time: its memory is a few megabytes whatever the file's size. A
// source already in the target code is copied byte for byte.
// Throws BufferError naming the file and the cause: unreadable source, binary source, bytes the
// source's code cannot decode (a stray NUL included; with its line and column, also for a
// copy), a character the target cannot hold (with its line and column), a failed write.
void ConvertFile(const std::string& source, const std::string& destination, TargetCode code,
                 const ConvertOptions& options = {});
// The bytes ConvertFile would write, throwing as it would before writing. `sourceMode`, when
// given, receives the source's permissions as it was read, for SaveOptions::sourceMode.
std::string ConvertedBytes(const std::string& source, TargetCode code,
                           const ConvertOptions& options = {}, mode_t* sourceMode = nullptr);

// A user's code for bytes of a file (its start is enough): UTF-8 with a byte-order mark is read
// past it.
text::Encoding GivenEncoding(text::Encoding named, const std::string& bytes);
text::Encoding GivenEncoding(text::Encoding named, std::span<const unsigned char> bytes);
// Throws BufferError "<what>: <name> の L 行 C 列目のバイト 0xXX (<code> として)" for the first
// byte `encoding` cannot decode; `what` is a text marked MORVELLE_TRANSLATE_NOOP("FileBuffer", …),
// translated with the rest.
void RequireDecodable(text::Encoding encoding, const std::string& bytes, const std::string& name,
                      const char* what);

}  // namespace morvelle::editbuffer
