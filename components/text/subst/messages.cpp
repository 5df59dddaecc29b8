#include "messages.h"

#include "pcre2_handles.h"
#include "text/utf16.h"

namespace morvelle::text {

SubstituteError::SubstituteError(SubstituteErrorKind kind, std::u16string description,
                                 std::size_t position)
    : std::runtime_error(toUtf8(description)),
      kind_(kind),
      description_(std::move(description)),
      position_(position) {}

std::string toUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (std::size_t i = 0, length = 1; i < text.size(); i += length) {
    char32_t c = text[i];
    length = 1;
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    c = codePointAt(text, i, length);
    if (isSurrogate(c)) c = 0xFFFD;  // a lone surrogate has no UTF-8 form
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string fromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  while (i < text.size()) {
    unsigned char b = byte(i);
    if (b < 0x80) {  // runs of ASCII are the common case
      out += static_cast<char16_t>(b);
      ++i;
      continue;
    }
    char32_t c = 0xFFFD;
    std::size_t len = 1;
    if (b < 0x80) {
      c = b;
    } else if (b >= 0xC2 && b < 0xF5) {
      std::size_t need = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
      char32_t v = b & (need == 2 ? 0x1F : need == 3 ? 0x0F : 0x07);
      std::size_t k = 1;
      for (; k < need && i + k < text.size() && (byte(i + k) & 0xC0) == 0x80; ++k) {
        v = (v << 6) | (byte(i + k) & 0x3F);
      }
      if (k == need && !(need == 3 && v < 0x800) && !(need == 4 && (v < 0x10000 || v > 0x10FFFF)) &&
          !isSurrogate(v)) {
        c = v;
        len = need;
      }
    }
    appendCodePoint(out, c);
    i += len;
  }
  return out;
}

namespace detail {

std::u16string translate(const char* context, const char* text) {
  return fromUtf8(translation::translate(context, text));
}

std::u16string format(const std::u16string& pattern,
                      std::initializer_list<std::u16string_view> args) {
  return translation::Format<char16_t>(pattern, args);
}

namespace {

std::u16string pcreMessage(int code) {
  PCRE2_UCHAR16 buffer[256];
  int n = pcre2_get_error_message_16(code, buffer, 256);
  if (n < 0) return concat(u"PCRE2 error ", decimal(static_cast<std::size_t>(-code)));
  return std::u16string(reinterpret_cast<const char16_t*>(buffer), static_cast<std::size_t>(n));
}

const char* compileMessage(int code) {
  switch (code) {
    case PCRE2_ERROR_END_BACKSLASH:
      return MORVELLE_TRANSLATE_NOOP("Substitute", "パターンが \\ で終わっています");
    case PCRE2_ERROR_QUANTIFIER_OUT_OF_ORDER:
      return MORVELLE_TRANSLATE_NOOP("Substitute", "量指定子 {n,m} の数が逆順です");
    case PCRE2_ERROR_MISSING_SQUARE_BRACKET:
      return MORVELLE_TRANSLATE_NOOP("Substitute", "文字クラスの ] がありません");
    case PCRE2_ERROR_CLASS_INVALID_RANGE:
      return MORVELLE_TRANSLATE_NOOP("Substitute", "文字クラスの範囲が正しくありません");
    case PCRE2_ERROR_QUANTIFIER_INVALID:
      return MORVELLE_TRANSLATE_NOOP("Substitute", "量指定子の前に繰り返せるものがありません");
    case PCRE2_ERROR_MISSING_CLOSING_PARENTHESIS:
      return MORVELLE_TRANSLATE_NOOP("Substitute", "括弧が閉じていません");
    case PCRE2_ERROR_UNMATCHED_CLOSING_PARENTHESIS:
      return MORVELLE_TRANSLATE_NOOP("Substitute", "対応する開き括弧のない閉じ括弧があります");
    case PCRE2_ERROR_BAD_SUBPATTERN_REFERENCE:
      return MORVELLE_TRANSLATE_NOOP("Substitute", "存在しないグループを参照しています");
    case PCRE2_ERROR_LOOKBEHIND_NOT_FIXED_LENGTH:
      return MORVELLE_TRANSLATE_NOOP(
          "Substitute", "後読みの長さが一定ではありません (可変長の後読みには対応していません)");
    case PCRE2_ERROR_UNKNOWN_UNICODE_PROPERTY:
      return MORVELLE_TRANSLATE_NOOP("Substitute", "不明な Unicode の特性名です");
    case PCRE2_ERROR_UNSUPPORTED_ESCAPE_SEQUENCE:
      return MORVELLE_TRANSLATE_NOOP("Substitute", "対応していないエスケープです");
    case PCRE2_ERROR_UNKNOWN_ESCAPE:
      return MORVELLE_TRANSLATE_NOOP("Substitute", "不明なエスケープです");
    case PCRE2_ERROR_UNKNOWN_POSIX_CLASS:
      return MORVELLE_TRANSLATE_NOOP("Substitute", "不明な POSIX 文字クラスです");
    default:
      return MORVELLE_TRANSLATE_NOOP("Substitute", "正規表現の誤りです");
  }
}

}  // namespace

std::u16string compileFailure(int pcreCode) {
  return concat(translate("Substitute", compileMessage(pcreCode)), u" (", pcreMessage(pcreCode),
                u")");
}

SubstituteError runFailure(int pcreCode, std::int64_t deadlineSeconds) {
  std::u16string why;
  SubstituteErrorKind kind = SubstituteErrorKind::MatchLimit;
  switch (pcreCode) {
    case PCRE2_ERROR_CALLOUT:
      kind = SubstituteErrorKind::TimeLimit;
      why = format(translate("Substitute", "制限時間 %1 秒を超えました"),
                   {decimal(static_cast<std::size_t>(deadlineSeconds))});
      break;
    case PCRE2_ERROR_MATCHLIMIT:
      why = translate("Substitute", "照合の試行回数が上限を超えました");
      break;
    case PCRE2_ERROR_DEPTHLIMIT:
      why = translate("Substitute", "照合の深さが上限を超えました");
      break;
    case PCRE2_ERROR_HEAPLIMIT:
    case PCRE2_ERROR_NOMEMORY:
      why = translate("Substitute", "照合に使うメモリが上限を超えました");
      break;
    case PCRE2_ERROR_JIT_STACKLIMIT:
      why = translate("Substitute", "照合に使うスタックが上限を超えました");
      break;
    default:
      return SubstituteError(
          SubstituteErrorKind::MatchLimit,
          format(translate("Substitute", "置換できません: 照合中に誤りが起きました (%1)"),
                 {pcreMessage(pcreCode)}),
          0);
  }
  return SubstituteError(
      kind,
      format(translate("Substitute",
                       "置換を中止しました: この式はこのテキストに対して時間がかかりすぎます (%1)"),
             {why}),
      0);
}

namespace {

// 64000000 as 64,000,000.
std::u16string grouped(std::uint64_t value) {
  std::u16string digits = decimal(static_cast<std::size_t>(value));
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, 1, u',');
  return digits;
}

std::u16string mebibytes(std::uint64_t bytes) { return grouped((bytes + (1u << 20) - 1) >> 20); }

}  // namespace

SubstituteError boundFailure(int pcreCode, std::uint64_t bound) {
  std::u16string why;
  SubstituteErrorKind kind = SubstituteErrorKind::MatchLimit;
  switch (pcreCode) {
    case PCRE2_ERROR_CALLOUT:
      kind = SubstituteErrorKind::TimeLimit;
      why = format(translate("Substitute", "制限時間 %1 秒を超えました"), {grouped(bound)});
      break;
    case PCRE2_ERROR_MATCHLIMIT:
      why = format(
          translate("Substitute", "一つの開始位置からの照合の手順が上限の %1 回を超えました"),
          {grouped(bound)});
      break;
    case PCRE2_ERROR_DEPTHLIMIT:
      why = format(translate("Substitute", "照合の深さが上限の %1 を超えました"), {grouped(bound)});
      break;
    case PCRE2_ERROR_HEAPLIMIT:
      why = format(translate("Substitute", "照合に使うメモリが上限の %1 MiB を超えました"),
                   {mebibytes(bound)});
      break;
    case PCRE2_ERROR_NOMEMORY:
      why = translate("Substitute", "照合に使うメモリを確保できません");
      break;
    case PCRE2_ERROR_JIT_STACKLIMIT:
      why = format(translate("Substitute", "照合に使うスタックが上限の %1 MiB を超えました"),
                   {mebibytes(bound)});
      break;
    default:
      return runFailure(pcreCode, 0);
  }
  return SubstituteError(
      kind,
      format(
          translate("Substitute",
                    "置換を中止しました: この式はこのテキストに対して時間がかかりすぎます "
                    "(%1)。パターンを単純にするか (入れ子の繰り返し (a+)+ や、同じ文字に合う"
                    "選択肢の繰り返し (a|aa)* をなくす)、合う範囲を狭めてください (.* の代わりに "
                    "[^,]* など)"),
          {why}),
      0);
}

std::u16string badDelimiter(char16_t c) {
  return format(
      translate("Substitute", "「%1」 は区切り文字に使えません (ASCII の記号を使ってください)"),
      {std::u16string_view(&c, 1)});
}

std::u16string unclosedPart(bool pattern, char16_t open) {
  const std::u16string_view delimiter(&open, 1);
  return pattern ? format(translate("Substitute", "パターンの区切り 「%1」 が閉じていません"),
                          {delimiter})
                 : format(translate("Substitute", "置換文字列の区切り 「%1」 が閉じていません"),
                          {delimiter});
}

std::u16string refusedFlag(char16_t flag) {
  static constexpr std::pair<char16_t, const char*> kReasons[] = {
      {u'e', MORVELLE_TRANSLATE_NOOP(
                 "Substitute", "フラグ e (置換文字列をコードとして実行) には対応していません")},
      {u'r', MORVELLE_TRANSLATE_NOOP("Substitute",
                                     "フラグ r (結果を返すだけの置換) には対応していません")},
      {u'c', MORVELLE_TRANSLATE_NOOP("Substitute", "フラグ c は置換には使えません")},
      {u'l', MORVELLE_TRANSLATE_NOOP("Substitute", "フラグ l (ロケール依存) には対応していません")},
      {u'd',
       MORVELLE_TRANSLATE_NOOP("Substitute", "フラグ d (旧来の文字の意味) には対応していません")},
  };
  for (auto [letter, reason] : kReasons) {
    if (letter == flag) return translate("Substitute", reason);
  }
  return format(translate("Substitute", "不明なフラグ 「%1」 です"),
                {std::u16string_view(&flag, 1)});
}

std::u16string pcreStartItem(std::u16string_view name) {
  return format(
      translate("Substitute", "(*%1) は perl にない指定です (改行と Unicode の扱いは固定です)"),
      {name});
}

std::u16string patternVariable(char16_t next) {
  return format(translate("Substitute",
                          "パターン中の $%1 は perl では変数として展開されます "
                          "(文字の $ は \\$ と書いてください)"),
                {std::u16string_view(&next, 1)});
}

std::u16string patternArray(char16_t next) {
  return format(translate("Substitute",
                          "パターン中の @%1 は perl では配列として展開されます "
                          "(文字の @ は \\@ と書いてください)"),
                {std::u16string_view(&next, 1)});
}

std::u16string patternCaseChange(char16_t letter) {
  return format(
      translate("Substitute", "パターン中の \\%1 (大文字・小文字の変換) には対応していません"),
      {std::u16string_view(&letter, 1)});
}

std::u16string unknownCharacterName(std::u16string_view name) {
  return format(translate("Substitute", "文字の名前 「%1」 が見つかりません"), {name});
}

std::u16string unknownBlock(std::u16string_view name) {
  return format(translate("Substitute", "ブロック名 「%1」 は Unicode 14 (perl 5.36) にありません"),
                {name});
}

std::u16string unknownEscape(char16_t letter) {
  return format(translate("Substitute", "不明なエスケープ \\%1 です"),
                {std::u16string_view(&letter, 1)});
}

std::u16string numberUnclosed(std::u16string_view form) {
  return format(translate("Substitute", "%1 の括弧が閉じていません"), {form});
}

std::u16string numberEmpty(std::u16string_view form) {
  return format(translate("Substitute", "%1 に数字がありません"), {form});
}

std::u16string numberNotDigit(std::u16string_view form) {
  return format(translate("Substitute", "%1 に数字でない文字があります"), {form});
}

std::u16string numberTooLarge(std::u16string_view form) {
  return format(translate("Substitute", "%1 の値が Unicode の範囲を超えています"), {form});
}

std::u16string numberSurrogate(std::u16string_view form) {
  return format(
      translate("Substitute", "%1 の値がサロゲート (U+D800〜U+DFFF) で、文字ではありません"),
      {form});
}

std::u16string subscriptAfterVariable(char16_t bracket) {
  return format(translate("Substitute",
                          "変数の直後の %1 は perl では添字になります "
                          "(文字として書くには \\ を前に付けてください)"),
                {std::u16string_view(&bracket, 1)});
}

std::u16string bracedVariable(std::u16string_view name) {
  return format(translate("Substitute", "${%1} は perl の変数として展開されるため使えません"),
                {name});
}

std::u16string namedVariable(std::u16string_view name) {
  return format(translate("Substitute",
                          "$%1 は perl の変数として展開されるため使えません "
                          "(文字の $ は \\$ と書いてください)"),
                {name});
}

std::u16string specialVariable(char16_t name) {
  return format(translate("Substitute",
                          "$%1 は perl の特殊変数として展開されるため使えません "
                          "(文字の $ は \\$ と書いてください)"),
                {std::u16string_view(&name, 1)});
}

std::u16string arrayVariable(char16_t next) {
  return format(translate("Substitute",
                          "@%1 は perl の配列として展開されるため使えません "
                          "(文字の @ は \\@ と書いてください)"),
                {std::u16string_view(&next, 1)});
}

std::u16string missingGroup(std::uint32_t group, std::uint32_t count) {
  return format(
      translate("Substitute", "グループ %1 はパターンにありません (グループは %2 個です)"),
      {decimal(group), decimal(count)});
}

std::u16string missingNamedGroup(std::u16string_view name) {
  return format(translate("Substitute", "名前付きグループ 「%1」 はパターンにありません"), {name});
}

std::u16string decimal(std::size_t value) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return digits;
}

std::size_t characterPosition(std::u16string_view source, std::size_t index) {
  std::size_t count = 1;
  for (std::size_t i = 0; i < index && i < source.size(); ++i) {
    if (!splitsPair(source, i)) ++count;
  }
  return count;
}

void failAt(SubstituteErrorKind kind, const std::u16string& head, std::u16string_view source,
            std::size_t index, const std::u16string& detail) {
  std::size_t position = characterPosition(source, index);
  throw SubstituteError(
      kind, format(translate("Substitute", "%1: %2 文字目、%3"), {head, decimal(position), detail}),
      position);
}

}  // namespace detail
}  // namespace morvelle::text
