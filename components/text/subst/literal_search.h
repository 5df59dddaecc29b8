#pragma once
// Finding a pattern without metacharacters needs no regex engine: scan for the needle's
// rarest unit with a loop the compiler can vectorise, then compare the whole needle there.

#include <cstddef>
#include <string_view>

namespace morvelle::text::detail {

class LiteralSearch {
 public:
  explicit LiteralSearch(std::u16string_view needle);

  // The leftmost occurrence starting at or after `from`, or npos.
  std::size_t find(std::u16string_view text, std::size_t from) const;

 private:
  std::u16string_view needle_;
  std::size_t anchor_ = 0;  // index in the needle of the unit scanned for
};

}  // namespace morvelle::text::detail
