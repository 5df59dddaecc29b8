#pragma once
// The character code a file is read in, when the user names it instead of letting it be
// recognised (for bytes that are valid in two codes).

namespace morvelle {

enum class FileCode { ShiftJis, EucJp, Iso2022Jp, Utf16Le, Utf16Be, Utf8 };

}  // namespace morvelle
