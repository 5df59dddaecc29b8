#pragma once
// Building the Japanese descriptions of SubstituteError. Every expression error names its
// position as a 1-based character count, because that is what a user can find in the grid.

#include <cstddef>
#include <string>
#include <string_view>

#include "substitute.h"

namespace morvelle::text::detail {

inline constexpr std::u16string_view kSyntaxHead = u"置換式の形が正しくありません";
inline constexpr std::u16string_view kUnsupportedHead = u"置換式を使えません";
inline constexpr std::u16string_view kPatternHead = u"正規表現を解釈できません";
inline constexpr std::u16string_view kReplacementHead = u"置換文字列を解釈できません";

// perl refuses \c{ in patterns and strings alike.
inline constexpr std::u16string_view kControlBrace =
    u"\\c{ は perl では誤りです (この文字は ; と書いてください)";

std::u16string decimal(std::size_t value);

// Message text from pieces (strings and single characters). Also sidesteps GCC 12's bogus
// -Wrestrict on `u"…" + std::u16string(…)` at -O3.
inline void appendPiece(std::u16string& out, std::u16string_view piece) { out += piece; }
inline void appendPiece(std::u16string& out, char16_t piece) { out += piece; }

template <typename... Pieces>
std::u16string concat(const Pieces&... pieces) {
  std::u16string out;
  (appendPiece(out, pieces), ...);
  return out;
}

// Code points before `index` in `source`, plus one.
std::size_t characterPosition(std::u16string_view source, std::size_t index);

// "<head>: <n> 文字目、<detail>"; `index` is a UTF-16 index into `source`.
[[noreturn]] void failAt(SubstituteErrorKind kind, std::u16string_view head,
                         std::u16string_view source, std::size_t index, std::u16string_view detail);

}  // namespace morvelle::text::detail
