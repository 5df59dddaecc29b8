#pragma once
// The character code a file is read in, when the user names it instead of letting it be
// recognised (for bytes that are valid in two codes), and the line ends of a conversion.

namespace morvelle {

enum class FileCode { ShiftJis, EucJp, Iso2022Jp, Utf16Le, Utf16Be, Utf8 };

// Line ends of a converted file: as they are, or every CR LF, CR and LF made one kind.
enum class LineEnds { Keep, Lf, CrLf };

}  // namespace morvelle
