#include "literal_search.h"

#include <string>

namespace morvelle::text::detail {
namespace {

// The unit to scan for: anything outside ASCII, else the letter English uses least.
std::size_t rarestUnit(std::u16string_view needle) {
  constexpr std::u16string_view kCommonFirst = u" etaoinshrdlcumwfgypbvkjxqz";
  std::size_t best = 0;
  std::size_t bestRank = 0;
  for (std::size_t i = 0; i < needle.size(); ++i) {
    char16_t c = needle[i];
    char16_t lower = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
    std::size_t where = kCommonFirst.find(lower);
    std::size_t rank = c >= 0x80 ? 1000 : where == std::u16string_view::npos ? 100 : where;
    if (rank > bestRank) {
      bestRank = rank;
      best = i;
    }
  }
  return best;
}

// First index >= from and < end holding c. Blocks of 16 units without an early exit let the
// compiler compare them with vector instructions.
std::size_t findUnit(const char16_t* data, std::size_t end, std::size_t from, char16_t c) {
  std::size_t i = from;
  for (; i + 16 <= end; i += 16) {
    unsigned any = 0;
    for (std::size_t k = 0; k < 16; ++k) any |= data[i + k] == c;
    if (any) break;
  }
  for (; i < end; ++i) {
    if (data[i] == c) return i;
  }
  return std::u16string_view::npos;
}

}  // namespace

LiteralSearch::LiteralSearch(std::u16string_view needle)
    : needle_(needle), anchor_(rarestUnit(needle)) {}

std::size_t LiteralSearch::find(std::u16string_view text, std::size_t from) const {
  const std::size_t m = needle_.size();
  const char16_t key = needle_[anchor_];
  while (from + m <= text.size()) {
    std::size_t hit = findUnit(text.data(), text.size() - (m - 1 - anchor_), from + anchor_, key);
    if (hit == std::u16string_view::npos) return hit;
    std::size_t at = hit - anchor_;
    if (std::char_traits<char16_t>::compare(text.data() + at, needle_.data(), m) == 0) return at;
    from = at + 1;
  }
  return std::u16string_view::npos;
}

}  // namespace morvelle::text::detail
