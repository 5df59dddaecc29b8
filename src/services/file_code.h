#pragma once
// The program's names of character codes: CharacterCode, what a file is converted to (the
// window's list, --to), and FileCode, what a file is read in when the user names it instead of
// letting it be recognised (--from, for bytes that are valid in two codes). FileCode is a type
// of its own because it holds UTF-16BE, which is read but never written. Also the line ends of
// a conversion. adapters/component_codes.h gives them in the components' terms.

namespace morvelle {

// The window's list numbers them in app/code_list.h; nothing else does.
enum class CharacterCode { ShiftJis, Euc, Jis, Ucs2, Utf8 };

enum class FileCode { ShiftJis, EucJp, Iso2022Jp, Utf16Le, Utf16Be, Utf8 };

// Line ends of a converted file: as they are, or every CR LF, CR and LF made one kind.
enum class LineEnds { Keep, Lf, CrLf };

}  // namespace morvelle
