#pragma once
// Perl's uc, lc, ucfirst, lcfirst, fc and quotemeta on UTF-16, with ICU's full mappings
// (uc of ß is SS). perl maps character by character, so lc has no final-sigma rule.

#include <optional>
#include <string>
#include <string_view>

struct UCaseMap;

namespace morvelle::text::detail {

// The character perl's \N{NAME} stands for: a Unicode name or a corrected name, in capitals
// as perl requires. perl's other aliases (LF, NBSP, …) are not known here.
std::optional<char32_t> characterByName(std::u16string_view name);

class CaseMapper {
 public:
  CaseMapper();
  ~CaseMapper();
  CaseMapper(const CaseMapper&) = delete;
  CaseMapper& operator=(const CaseMapper&) = delete;

  // `op` is the modifier letter: U L F u l Q.
  std::u16string apply(char16_t op, std::u16string_view text);

 private:
  std::u16string upper(std::u16string_view text);
  std::u16string lower(std::u16string_view text);
  std::u16string fold(std::u16string_view text);
  std::u16string titleFirst(std::u16string_view text);
  std::u16string lowerFirst(std::u16string_view text);
  static std::u16string quoteMeta(std::u16string_view text);

  UCaseMap* titleMap_ = nullptr;
};

}  // namespace morvelle::text::detail
