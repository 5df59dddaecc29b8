#pragma once
// perl 5.36's reading of a \p{…} where PCRE2 10.42 reads it otherwise or not at all, from
// ICU's tables cut to Unicode 14, the version both perl 5.36 and PCRE2 10.42 know:
// - a script name of one word means its Script_Extensions in both, but PCRE2 counts a
//   character whose Script is Common or Inherited as such even when its extensions name
//   other scripts (ー 。 、 ・ 〜 are Hiragana and Katakana in perl, not Common);
// - blocks (\p{InHiragana}, \p{Block: CJK Unified Ideographs}, \p{Blk=Kana_Ext_A}, and the
//   names that are only blocks, such as \p{Basic_Latin}) are unknown to PCRE2;
// - perl's optional Is before any name (\p{IsHan}, \p{Isscx=Hira}) is unknown to PCRE2.
// Names are matched loosely as perl does: case, blanks, "_" and "-" do not count.

#include <string>
#include <string_view>
#include <vector>

namespace morvelle::text::detail {

struct CodePointRange {
  char32_t first = 0;
  char32_t last = 0;
};

struct PropertyReading {
  enum class Kind {
    AsWritten,     // PCRE2 reads it as perl does, or refuses it as perl does
    Renamed,       // `text` is the same property as PCRE2 spells it
    Ranges,        // `ranges` are its characters, in order, negation applied
    UnknownBlock,  // `text` names no block perl 5.36 knows
  };
  Kind kind = Kind::AsWritten;
  std::u16string text;
  std::vector<CodePointRange> ranges;
};

// `escape` is a whole \p{…} or \P{…} as written.
PropertyReading readProperty(std::u16string_view escape);

// The ranges as members of a class: \x{3040}-\x{309F}…
std::u16string classMembers(const std::vector<CodePointRange>& ranges);

}  // namespace morvelle::text::detail
