#pragma once
// Every text a user reads from the substitution engine, in one place: the heads of
// SubstituteError's descriptions, the fixed causes as constants, and the causes that name a
// part of the expression as functions. Every expression error names its position as a 1-based
// character count, because that is what a user can find in the grid.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "substitute.h"

namespace morvelle::text::detail {

inline constexpr std::u16string_view kSyntaxHead = u"置換式の形が正しくありません";
inline constexpr std::u16string_view kUnsupportedHead = u"置換式を使えません";
inline constexpr std::u16string_view kPatternHead = u"正規表現を解釈できません";
inline constexpr std::u16string_view kReplacementHead = u"置換文字列を解釈できません";

// The shape of the expression and its flags.
inline constexpr std::u16string_view kEmptyExpression = u"式が空です";
inline constexpr std::u16string_view kTransliteration =
    u"tr/// と y/// は置換式として使えません。s/…/…/ と書いてください";
inline constexpr std::u16string_view kMatchOnly =
    u"照合 (m//) は置換式ではありません。s/…/…/ と書いてください";
inline constexpr std::u16string_view kNotSubstitution = u"s/…/…/ の形で書いてください";
inline constexpr std::u16string_view kNoDelimiter = u"s の後に区切り文字がありません";
inline constexpr std::u16string_view kCommentForDelimiter =
    u"空白の後の # はコメントになり、区切り文字になりません";
inline constexpr std::u16string_view kNoReplacementDelimiter = u"置換文字列の区切りがありません";
inline constexpr std::u16string_view kTrailingText = u"式の終わりの後に余分な文字があります";
inline constexpr std::u16string_view kBackslashDelimiter =
    u"バックスラッシュは区切り文字に使えません";
inline constexpr std::u16string_view kFlagAa = u"フラグ aa には対応していません";
inline constexpr std::u16string_view kFlagAThrice = u"フラグ a は二つまでしか書けません";
inline constexpr std::u16string_view kFlagUTwice = u"フラグ u は一度しか書けません";
inline constexpr std::u16string_view kFlagsAAndU = u"フラグ a と u は同時に使えません";
std::u16string badDelimiter(char16_t c);
std::u16string unclosedPart(bool pattern, char16_t open);
std::u16string refusedFlag(char16_t flag);

// The pattern.
inline constexpr std::u16string_view kEmptyPattern =
    u"空のパターンは perl では直前に成功したパターンを意味するため使えません";
inline constexpr std::u16string_view kUnicodeBoundary =
    u"\\b{…} (Unicode の境界) には対応していません";
inline constexpr std::u16string_view kPatternCode = u"パターン中のコード (?{…}) は実行できません";
inline constexpr std::u16string_view kCallout = u"(?C…) は perl にない構文です";
inline constexpr std::u16string_view kUnclosedName = u"文字の名前の \\N{…} が閉じていません";
inline constexpr std::u16string_view kBraceApart =
    u"\\N と { の間に空白やコメントは置けません (perl では誤りです)";
inline constexpr std::u16string_view kPerlOnlyQuantifier =
    u"{,n} や空白を含む {…} の量指定には対応していません。{0,n} のように書いてください";
inline constexpr std::u16string_view kUnicodeInsideAscii =
    u"フラグ a のもとで (?^…) や (?u…) の中にある \\d \\s \\w \\b や [[:…:]] には対応していません "
    u"(perl ではそこだけ Unicode の規則になります)";
// perl refuses \c{ in patterns and strings alike.
inline constexpr std::u16string_view kControlBrace =
    u"\\c{ は perl では誤りです (この文字は ; と書いてください)";
std::u16string pcreStartItem(std::u16string_view name);
std::u16string patternVariable(char16_t next);
std::u16string patternArray(char16_t next);
std::u16string patternCaseChange(char16_t letter);
std::u16string unknownCharacterName(std::u16string_view name);
std::u16string unknownBlock(std::u16string_view name);

// The replacement. `form` is how an escape is written, such as \x{…}.
inline constexpr std::u16string_view kControlNeedsAscii =
    u"\\c の後には ASCII の文字が一つ必要です";
inline constexpr std::u16string_view kNamedCharacterForm =
    u"\\N の後には {文字の名前} か {U+XXXX} が必要です";
inline constexpr std::u16string_view kFinalDollar =
    u"末尾の $ は perl では誤りです (文字の $ は \\$ と書いてください)";
inline constexpr std::u16string_view kGroupNumberTooLarge = u"グループ番号が大きすぎます";
inline constexpr std::u16string_view kUnclosedDollarBrace = u"${ の括弧が閉じていません";
inline constexpr std::u16string_view kUnclosedNamedGroup = u"$+{ の括弧が閉じていません";
inline constexpr std::u16string_view kBadGroupName = u"$+{…} の名前が正しくありません";
inline constexpr std::u16string_view kMatchOffsets = u"$+[…] (一致位置の配列) には対応していません";
inline constexpr std::u16string_view kProgramName =
    u"$0 はプログラム名の変数として展開されるため使えません";
inline constexpr std::u16string_view kProcessId =
    u"$$ はプロセス番号の変数として展開されるため使えません";
std::u16string unknownEscape(char16_t letter);
std::u16string numberUnclosed(std::u16string_view form);
std::u16string numberEmpty(std::u16string_view form);
std::u16string numberNotDigit(std::u16string_view form);
std::u16string numberTooLarge(std::u16string_view form);
// A surrogate code point (U+D800..U+DFFF) is no character, and no file's code holds it alone.
std::u16string numberSurrogate(std::u16string_view form);
inline constexpr std::u16string_view kLoneSurrogate =
    u"文字でない UTF-16 の単位 (対になっていないサロゲート) があります";
std::u16string subscriptAfterVariable(char16_t bracket);
std::u16string bracedVariable(std::u16string_view name);
std::u16string namedVariable(std::u16string_view name);
std::u16string specialVariable(char16_t name);
std::u16string arrayVariable(char16_t next);
// A replacement names a group the pattern lacks.
std::u16string missingGroup(std::uint32_t group, std::uint32_t count);
std::u16string missingNamedGroup(std::u16string_view name);

// PCRE2's compile error in Japanese, PCRE2's own text after it in parentheses.
std::u16string compileFailure(int pcreCode);

// Why a run stopped: a bound (time, match, depth, memory) or PCRE2's own failure.
SubstituteError runFailure(int pcreCode, std::int64_t deadlineSeconds);

// Why a run stopped at a bound, with the bound's value in its own unit (seconds of the
// deadline, steps, depth, bytes of heap or stack) and what to change in the rule; any other
// failure as runFailure gives it.
SubstituteError boundFailure(int pcreCode, std::uint64_t bound);

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
