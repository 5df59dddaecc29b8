#include "literal_search.h"

#include <string>

#include "required_literal.h"

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

// First index >= from and < end holding one of the keys. Blocks of 16 units without an early
// exit let the compiler compare them with vector instructions.
template <int kKeys>
std::size_t findUnit(const char16_t* data, std::size_t end, std::size_t from,
                     const char16_t (&keys)[3]) {
  auto hit = [&keys](char16_t u) {
    bool any = u == keys[0];
    if constexpr (kKeys > 1) any = any | (u == keys[1]) | (u == keys[2]);
    return any;
  };
  std::size_t i = from;
  for (; i + 16 <= end; i += 16) {
    unsigned any = 0;
    for (std::size_t k = 0; k < 16; ++k) any |= hit(data[i + k]);
    if (any) break;
  }
  for (; i < end; ++i) {
    if (hit(data[i])) return i;
  }
  return std::u16string_view::npos;
}

}  // namespace

LiteralSearch::LiteralSearch(std::u16string_view needle, bool caseless)
    : needle_(needle), caseless_(caseless), anchor_(rarestUnit(needle)) {
  char16_t c = needle_[anchor_];
  keys_[0] = keys_[1] = keys_[2] = c;
  if (caseless_ && c >= u'a' && c <= u'z') {
    keys_[1] = static_cast<char16_t>(c - 32);
    keys_[2] = c == u'k' ? char16_t{0x212A} : c == u's' ? char16_t{0x017F} : keys_[1];
  }
}

bool LiteralSearch::matchesAt(const char16_t* at) const {
  if (!caseless_)
    return std::char_traits<char16_t>::compare(at, needle_.data(), needle_.size()) == 0;
  for (std::size_t i = 0; i < needle_.size(); ++i) {
    if (foldCaseless(at[i]) != needle_[i]) return false;
  }
  return true;
}

std::size_t LiteralSearch::find(std::u16string_view text, std::size_t from) const {
  const std::size_t m = needle_.size();
  const bool several = keys_[1] != keys_[0];
  while (from + m <= text.size()) {
    std::size_t scanEnd = text.size() - (m - 1 - anchor_);
    std::size_t hit = several ? findUnit<3>(text.data(), scanEnd, from + anchor_, keys_)
                              : findUnit<1>(text.data(), scanEnd, from + anchor_, keys_);
    if (hit == std::u16string_view::npos) return hit;
    std::size_t at = hit - anchor_;
    if (matchesAt(text.data() + at)) return at;
    from = at + 1;
  }
  return std::u16string_view::npos;
}

}  // namespace morvelle::text::detail
