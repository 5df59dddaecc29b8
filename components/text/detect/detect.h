#pragma once
// Recognition of a file's character code. Cheap, certain evidence decides first (byte-order
// mark, NUL patterns, 7-bit escapes, strict validity); only text that is valid in more than one
// code reaches the character-pair model. At most a few hundred kilobytes are examined, so the
// cost per file is bounded however large the file is.

#include <functional>
#include <span>

#include "text/codec/codec.h"

namespace morvelle::text {

// Never fails: bytes that no code explains still get the likeliest code (the decoder keeps
// what it cannot decode). A few stray NULs or unknown escapes in a text leave it its code;
// NUL-bearing data that is neither UTF-16 nor such a text is Binary.
Encoding DetectEncoding(std::span<const unsigned char> bytes);

// Says whether the whole input reads in `code` without an undecodable byte. A caller that
// decodes the file anyway gives recognition that pass (or one that needs only the answer, the
// strict validity check) for the check of its likeliest reading instead of a pass of its own;
// the result is DetectEncoding's.
using CleanDecode = std::function<bool(Encoding code)>;
Encoding DetectEncoding(std::span<const unsigned char> bytes, const CleanDecode& decode);

// The same for an input not held whole: `read(from, to)` gives its bytes [from, to), valid until
// the next call. Reads its start, and for a start of plain ASCII, on to the first byte that can
// tell another code and a sample from there.
using ReadAt = std::function<std::span<const unsigned char>(std::size_t from, std::size_t to)>;
Encoding DetectEncoding(std::size_t size, const ReadAt& read);

}  // namespace morvelle::text
