#pragma once
// Every text a user reads from the substitution engine, in one place: the heads of
// SubstituteError's descriptions, the fixed causes as constants, and the causes that name a
// part of the expression as functions. Every expression error names its position as a 1-based
// character count, because that is what a user can find in the grid. The texts are Japanese,
// in the context "Substitute", and reach the user through translation/translate.h.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "substitute.h"
#include "translation/translate.h"

namespace morvelle::text::detail {

// `text` in the user's language, as the messages here are built.
std::u16string translate(const char* context, const char* text);

// A fixed text, translated where a message is made of it.
struct Text {
  const char* japanese;
  operator std::u16string() const { return translate("Substitute", japanese); }
};

// A translated pattern with its %1 … %9 filled in.
std::u16string format(const std::u16string& pattern,
                      std::initializer_list<std::u16string_view> args);

inline constexpr Text kSyntaxHead{
    MORVELLE_TRANSLATE_NOOP("Substitute", "置換式の形が正しくありません")};
inline constexpr Text kUnsupportedHead{MORVELLE_TRANSLATE_NOOP("Substitute", "置換式を使えません")};
inline constexpr Text kPatternHead{
    MORVELLE_TRANSLATE_NOOP("Substitute", "正規表現を解釈できません")};
inline constexpr Text kReplacementHead{
    MORVELLE_TRANSLATE_NOOP("Substitute", "置換文字列を解釈できません")};

// The shape of the expression and its flags.
inline constexpr Text kEmptyExpression{MORVELLE_TRANSLATE_NOOP("Substitute", "式が空です")};
inline constexpr Text kTransliteration{MORVELLE_TRANSLATE_NOOP(
    "Substitute", "tr/// と y/// は置換式として使えません。s/…/…/ と書いてください")};
inline constexpr Text kMatchOnly{MORVELLE_TRANSLATE_NOOP(
    "Substitute", "照合 (m//) は置換式ではありません。s/…/…/ と書いてください")};
inline constexpr Text kNotSubstitution{
    MORVELLE_TRANSLATE_NOOP("Substitute", "s/…/…/ の形で書いてください")};
inline constexpr Text kNoDelimiter{
    MORVELLE_TRANSLATE_NOOP("Substitute", "s の後に区切り文字がありません")};
inline constexpr Text kCommentForDelimiter{
    MORVELLE_TRANSLATE_NOOP("Substitute", "空白の後の # はコメントになり、区切り文字になりません")};
inline constexpr Text kNoReplacementDelimiter{
    MORVELLE_TRANSLATE_NOOP("Substitute", "置換文字列の区切りがありません")};
inline constexpr Text kTrailingText{
    MORVELLE_TRANSLATE_NOOP("Substitute", "式の終わりの後に余分な文字があります")};
inline constexpr Text kBackslashDelimiter{
    MORVELLE_TRANSLATE_NOOP("Substitute", "バックスラッシュは区切り文字に使えません")};
inline constexpr Text kFlagAa{
    MORVELLE_TRANSLATE_NOOP("Substitute", "フラグ aa には対応していません")};
inline constexpr Text kFlagAThrice{
    MORVELLE_TRANSLATE_NOOP("Substitute", "フラグ a は二つまでしか書けません")};
inline constexpr Text kFlagUTwice{
    MORVELLE_TRANSLATE_NOOP("Substitute", "フラグ u は一度しか書けません")};
inline constexpr Text kFlagsAAndU{
    MORVELLE_TRANSLATE_NOOP("Substitute", "フラグ a と u は同時に使えません")};
std::u16string badDelimiter(char16_t c);
std::u16string unclosedPart(bool pattern, char16_t open);
std::u16string refusedFlag(char16_t flag);

// The pattern.
inline constexpr Text kEmptyPattern{MORVELLE_TRANSLATE_NOOP(
    "Substitute", "空のパターンは perl では直前に成功したパターンを意味するため使えません")};
inline constexpr Text kUnicodeBoundary{
    MORVELLE_TRANSLATE_NOOP("Substitute", "\\b{…} (Unicode の境界) には対応していません")};
inline constexpr Text kPatternCode{
    MORVELLE_TRANSLATE_NOOP("Substitute", "パターン中のコード (?{…}) は実行できません")};
inline constexpr Text kCallout{
    MORVELLE_TRANSLATE_NOOP("Substitute", "(?C…) は perl にない構文です")};
inline constexpr Text kUnclosedName{
    MORVELLE_TRANSLATE_NOOP("Substitute", "文字の名前の \\N{…} が閉じていません")};
inline constexpr Text kBraceApart{MORVELLE_TRANSLATE_NOOP(
    "Substitute", "\\N と { の間に空白やコメントは置けません (perl では誤りです)")};
inline constexpr Text kPerlOnlyQuantifier{MORVELLE_TRANSLATE_NOOP(
    "Substitute",
    "{,n} や空白を含む {…} の量指定には対応していません。{0,n} のように書いてください")};
inline constexpr Text kUnicodeInsideAscii{MORVELLE_TRANSLATE_NOOP(
    "Substitute",
    "フラグ a のもとで (?^…) や (?u…) の中にある \\d \\s \\w \\b や [[:…:]] には対応していません "
    "(perl ではそこだけ Unicode の規則になります)")};
// perl refuses \c{ in patterns and strings alike.
inline constexpr Text kControlBrace{MORVELLE_TRANSLATE_NOOP(
    "Substitute", "\\c{ は perl では誤りです (この文字は ; と書いてください)")};
std::u16string pcreStartItem(std::u16string_view name);
std::u16string patternVariable(char16_t next);
std::u16string patternArray(char16_t next);
std::u16string patternCaseChange(char16_t letter);
std::u16string unknownCharacterName(std::u16string_view name);
std::u16string unknownBlock(std::u16string_view name);

// The replacement. `form` is how an escape is written, such as \x{…}.
inline constexpr Text kControlNeedsAscii{
    MORVELLE_TRANSLATE_NOOP("Substitute", "\\c の後には ASCII の文字が一つ必要です")};
inline constexpr Text kNamedCharacterForm{
    MORVELLE_TRANSLATE_NOOP("Substitute", "\\N の後には {文字の名前} か {U+XXXX} が必要です")};
inline constexpr Text kFinalDollar{MORVELLE_TRANSLATE_NOOP(
    "Substitute", "末尾の $ は perl では誤りです (文字の $ は \\$ と書いてください)")};
inline constexpr Text kGroupNumberTooLarge{
    MORVELLE_TRANSLATE_NOOP("Substitute", "グループ番号が大きすぎます")};
inline constexpr Text kUnclosedDollarBrace{
    MORVELLE_TRANSLATE_NOOP("Substitute", "${ の括弧が閉じていません")};
inline constexpr Text kUnclosedNamedGroup{
    MORVELLE_TRANSLATE_NOOP("Substitute", "$+{ の括弧が閉じていません")};
inline constexpr Text kBadGroupName{
    MORVELLE_TRANSLATE_NOOP("Substitute", "$+{…} の名前が正しくありません")};
inline constexpr Text kMatchOffsets{
    MORVELLE_TRANSLATE_NOOP("Substitute", "$+[…] (一致位置の配列) には対応していません")};
inline constexpr Text kProgramName{
    MORVELLE_TRANSLATE_NOOP("Substitute", "$0 はプログラム名の変数として展開されるため使えません")};
inline constexpr Text kProcessId{
    MORVELLE_TRANSLATE_NOOP("Substitute", "$$ はプロセス番号の変数として展開されるため使えません")};
std::u16string unknownEscape(char16_t letter);
std::u16string numberUnclosed(std::u16string_view form);
std::u16string numberEmpty(std::u16string_view form);
std::u16string numberNotDigit(std::u16string_view form);
std::u16string numberTooLarge(std::u16string_view form);
// A surrogate code point (U+D800..U+DFFF) is no character, and no file's code holds it alone.
std::u16string numberSurrogate(std::u16string_view form);
inline constexpr Text kLoneSurrogate{MORVELLE_TRANSLATE_NOOP(
    "Substitute", "文字でない UTF-16 の単位 (対になっていないサロゲート) があります")};
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
[[noreturn]] void failAt(SubstituteErrorKind kind, const std::u16string& head,
                         std::u16string_view source, std::size_t index,
                         const std::u16string& detail);

}  // namespace morvelle::text::detail
