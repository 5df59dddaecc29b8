#pragma once
// Finding plain text needs no regex engine: scan for the needle's rarest unit with a loop the
// compiler can vectorise, then compare the whole needle there.

#include <cstddef>
#include <string_view>

namespace morvelle::text::detail {

class LiteralSearch {
 public:
  // A caseless needle is folded (foldCaseless in required_literal.h) and found wherever the
  // text folds to it.
  explicit LiteralSearch(std::u16string_view needle, bool caseless = false);

  // The leftmost occurrence starting at or after `from`, or npos.
  std::size_t find(std::u16string_view text, std::size_t from) const;

 private:
  bool matchesAt(const char16_t* at) const;

  std::u16string_view needle_;
  bool caseless_ = false;
  std::size_t anchor_ = 0;  // index in the needle of the unit scanned for
  char16_t keys_[3] = {};   // the units that unit stands for: itself, or its case forms
};

}  // namespace morvelle::text::detail
