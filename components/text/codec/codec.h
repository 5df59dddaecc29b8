#pragma once
// Japanese character codes, table-driven and lossless: a byte a code cannot decode becomes a
// lone trail surrogate, U+DC00 + byte, and encodes back to that byte, so decoding and encoding
// an untouched text gives back the same bytes. No decoding of valid text yields a lone
// surrogate, PCRE2 never matches one and a rule cannot write one, so a kept byte and a
// character are never taken for each other. NUL is a character (U+0000) in every code.
// The CP932 and eucJP-ms tables are generated from glibc's converters (tools/codecgen).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text/utf16.h"

namespace morvelle::text {

enum class Encoding {
  Ascii,      // 7-bit; decoded and encoded as UTF-8 would (bytes >= 0x80 are undecodable)
  ShiftJis,   // CP932: Shift_JIS with NEC and IBM extensions as Windows writes it
  EucJp,      // eucJP-ms
  Iso2022Jp,  // ISO-2022-JP written the CP50221 way
  Utf8,       // without BOM
  Utf8Bom,    // with BOM (EF BB BF)
  Utf16Le,    // with or without BOM, as found; the BOM is not part of the text
  Utf16Be,
  Utf32Le,  // with BOM only: recognised by it, read and written, never converted to
  Utf32Be,
  Binary,  // every byte kept as a raw-byte unit
};

// The one definition of a kept byte: U+DC00 + byte. A trail surrogate that follows a lead one
// is half of a character instead; decoding never puts a lone lead surrogate in a text.
inline constexpr char16_t kRawByteBase = 0xDC00;
constexpr char16_t RawByteUnit(unsigned char byte) {
  return static_cast<char16_t>(kRawByteBase + byte);
}
constexpr bool InRawByteRange(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDCFF; }
constexpr unsigned char RawByteOf(char32_t unit) { return static_cast<unsigned char>(unit); }
// Whether text[i] is a kept byte rather than a character or half of one.
constexpr bool IsRawByteAt(std::u16string_view text, std::size_t i) {
  return InRawByteRange(text[i]) && !(i > 0 && isLeadSurrogate(text[i - 1]));
}
// The first kept byte of `text` at or after `from`, or npos.
std::size_t FindRawByte(std::u16string_view text, std::size_t from = 0);

// Human-readable name of a code, as shown in messages ("Shift_JIS", "EUC-JP", ...).
std::string_view EncodingName(Encoding encoding);

// Length of the byte-order mark that starts `bytes` for this code (0 when absent).
std::size_t BomLength(Encoding encoding, std::span<const unsigned char> bytes);

struct Decoded {
  std::u16string text;
  // offsets[i] is the byte offset where the bytes of text[i] start (a unit that follows an
  // ISO-2022-JP escape starts at the escape); both units of a surrogate pair share one offset.
  // offsets.size() == text.size() + 1; the last entry is the input's size.
  std::vector<std::size_t> offsets;
};

// Decoding never fails: whatever the code cannot decode becomes raw-byte units (a UTF-16 or
// UTF-32 unit that is no character gives one per byte). An ISO-2022-JP escape that designates
// a set we do not read is undecodable as a whole, and so is every graphic byte after it up to
// the next designation we read: those bytes are that set's, not ASCII.
Decoded Decode(Encoding encoding, std::span<const unsigned char> bytes);
// The same text without the offsets (faster, a third of the memory).
std::u16string DecodeText(Encoding encoding, std::span<const unsigned char> bytes);
// Bytes from the middle of a text: no byte-order mark is looked for (ISO-2022-JP starts in
// ASCII).
std::u16string DecodePiece(Encoding encoding, std::span<const unsigned char> bytes);
Decoded DecodePieceWithOffsets(Encoding encoding, std::span<const unsigned char> bytes);

// Strict validity for recognition: CP932 and eucJP-ms accept assigned codes only, UTF-8 rejects
// overlong forms, surrogates and values beyond U+10FFFF, ISO-2022-JP needs known escapes and
// 7-bit bytes, Ascii needs 7-bit bytes. With `allowTruncatedEnd`, a multibyte sequence cut off
// at the end of `bytes` counts as valid (for a sample taken from the start of a longer file).
// Utf16Le/Be and Utf32Le/Be need whole units that are characters; Binary is always valid.
std::size_t ValidPrefixLength(Encoding encoding, std::span<const unsigned char> bytes,
                              bool allowTruncatedEnd = false);
inline bool IsStrictlyValid(Encoding encoding, std::span<const unsigned char> bytes,
                            bool allowTruncatedEnd = false) {
  return ValidPrefixLength(encoding, bytes, allowTruncatedEnd) == bytes.size();
}

// The first character that could not be encoded. line and column count from 1; column counts
// characters (code points) of the line; CR, LF and CR LF end a line.
struct EncodeError {
  char32_t codePoint = 0;
  std::size_t index = 0;  // UTF-16 index in the text handed to the encoder
  std::size_t line = 0;
  std::size_t column = 0;
};

// Formats a code point as "U+1F600" (at least four hex digits).
std::string CodePointName(char32_t codePoint);

// Fills error.line and error.column for the character at UTF-16 index error.index of `text`.
void LocateInText(std::u16string_view text, EncodeError& error);

struct EncodeOptions {
  // A raw-byte unit encodes back to its byte. Off for a conversion, where a raw byte from a
  // broken source would only produce a broken destination: it is then a character the target
  // cannot hold.
  bool rawBytes = true;
  // Utf8Bom, Utf16Le, Utf16Be: write the byte-order mark first.
  bool bom = true;
};

// Appends the encoded text to `out`. On a character the code cannot hold, returns false, fills
// `error` (if given) and leaves `out` as it was. A lone surrogate that is no raw-byte unit has
// no bytes in any code. Encoding::Binary holds only raw-byte units; Encoding::Ascii writes UTF-8,
// so text added to a 7-bit file stays readable. ISO-2022-JP output starts and ends in ASCII, and
// refuses ESC, SO and SI as text (they would read back as shifts) and the user-defined area (no JIS
// row carries it).
bool Encode(Encoding encoding, std::u16string_view text, std::string& out,
            EncodeError* error = nullptr, EncodeOptions options = {});

// How `text` is written in a file of `encoding` that reads without an undecodable byte, for
// finding it without decoding the file. Unique: each character has one code there, so such a
// file holds the text exactly where it holds `bytes` at a character's start. Absent: some
// character has no code there, so no such file holds it. Ambiguous: some character has several
// codes (CP932 and eucJP-ms give a few two or three), or the code is stateful (ISO-2022-JP) or
// Binary: only decoding tells.
enum class Spelling { Unique, Absent, Ambiguous };
Spelling SpellIn(Encoding encoding, std::u16string_view text, std::string& bytes);

// Converts bytes from one code to another, as Encode(to, Decode(from, bytes)) would, but
// without the text in between: CP932 and eucJP-ms sources go through one direct table per pair
// of codes, UTF-8 and UTF-16 ones through a lookup per code point. Undecodable bytes are refused
// here (a raw byte would only carry the damage over): on the first undecodable sequence or
// unencodable character, returns false with `out` as it was and *failedAt (if given) the byte
// offset of the sequence in `bytes`.
bool Transcode(Encoding from, Encoding to, std::span<const unsigned char> bytes, std::string& out,
               std::size_t* failedAt = nullptr, bool bom = true);

// The same a block at a time, for files larger than memory: each block read goes in as it
// comes, the converted bytes come out; a character cut by a block's end waits for the next.
// With `bom`, a UTF-16 or UTF-8-with-BOM target starts with its byte-order mark.
class StreamTranscoder {
 public:
  StreamTranscoder(Encoding from, Encoding to, bool bom = true);
  ~StreamTranscoder();
  StreamTranscoder(const StreamTranscoder&) = delete;
  StreamTranscoder& operator=(const StreamTranscoder&) = delete;

  // Converts `bytes`, after the bytes that waited; `last` ends the input. `converted` gets what
  // they convert to, valid until the next call. False on the first undecodable sequence or
  // unencodable character, with *failedAt (if given) its offset from the start of the input;
  // `converted` then holds what came before it.
  bool Feed(std::span<const unsigned char> bytes, bool last, std::span<const char>& converted,
            std::size_t* failedAt = nullptr);
  // The same, appending to `out`.
  bool Feed(std::span<const unsigned char> bytes, bool last, std::string& out,
            std::size_t* failedAt = nullptr);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Stateful ISO-2022-JP pieces, for writers that splice original bytes and new text (the file
// buffer restores the original escape state at each seam).
namespace jis {

// Designation of G0 plus the SO/SI shift; the encoder only ever writes Ascii, Kana and Jis0208.
// Unread: a set we do not read (JIS X 0213, say), whose bytes stay undecodable.
enum class Set : std::uint8_t { Ascii, Roman, Kana, Jis0208, Jis1978, Jis0212, Unread };
struct State {
  Set g0 = Set::Ascii;
  bool shiftOut = false;  // SO seen: bytes 0x21..0x5F are half-width katakana
  friend bool operator==(const State&, const State&) = default;
};

// The state after decoding bytes[from, to) starting in `state`; `from` must be where a
// character or escape starts (a decoder offset).
State Scan(std::span<const unsigned char> bytes, std::size_t from, std::size_t to, State state);

// Appends what switches from `current` to `wanted` (nothing when equal); current becomes wanted.
// False, with nothing appended, when `wanted` is in a set we do not read: no escape of ours
// designates it again.
[[nodiscard]] bool SwitchTo(State& current, State wanted, std::string& out);

// Appends text encoded from `state`, leaving `state` at the last character's set (no final
// return to ASCII). Failure as for Encode; then out and state are as they were.
bool EncodeFrom(State& state, std::u16string_view text, std::string& out,
                EncodeError* error = nullptr, EncodeOptions options = {});

}  // namespace jis

// Whether conversions may use the processor's 512-bit vectors where it has them (the default);
// false makes them take the path every processor takes, for its tests.
void AllowWideVectors(bool allowed);

}  // namespace morvelle::text
