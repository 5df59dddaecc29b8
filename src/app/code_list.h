#pragma once
// The window's list of the codes a file is converted to. Each row carries a number as its item
// data, 1 "SHIFT JIS" … 5 "UNICODE UTF8", as the list has always numbered them; ListedCode is
// the one place where such a number becomes a CharacterCode.

#include <optional>

#include "services/file_code.h"

namespace morvelle {

struct CodeListRow {
  const char16_t* text;
  int number;  // the row's item data
  CharacterCode code;
};

inline constexpr CodeListRow kCodeList[] = {
    {u"SHIFT JIS", 1, CharacterCode::ShiftJis},
    {u"EUC", 2, CharacterCode::Euc},
    {u"JIS", 3, CharacterCode::Jis},
    {u"UNICODE UCS2", 4, CharacterCode::Ucs2},
    {u"UNICODE UTF8", 5, CharacterCode::Utf8},
};

// The code of the row whose item data is `number`; none when no row carries it.
constexpr std::optional<CharacterCode> ListedCode(int number) {
  for (const CodeListRow& row : kCodeList) {
    if (row.number == number) return row.code;
  }
  return std::nullopt;
}

}  // namespace morvelle
