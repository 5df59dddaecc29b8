#pragma once
// One entry of the sparse offset index in a word: the byte offset where a decoding step begins
// (48 bits), how many of the step's units come before the entry's unit, and the ISO-2022-JP
// state there.

#include <cstddef>
#include <cstdint>

#include "codec.h"

namespace morvelle::text::detail {

// Bytes a decoding step may look at past its first byte (an unknown ISO-2022-JP designation
// reads five), with room to spare.
constexpr std::size_t kStepLookahead = 8;

struct IndexEntry {
  std::size_t offset;
  unsigned skip;  // 0 .. 15: a step yields at most five units
  jis::State state;
};

inline std::uint64_t PackEntry(std::size_t offset, std::size_t skip, jis::State state) {
  return static_cast<std::uint64_t>(offset) | (static_cast<std::uint64_t>(skip) << 48) |
         (static_cast<std::uint64_t>(state.g0) << 52) |
         (static_cast<std::uint64_t>(state.shiftOut) << 55);
}

inline IndexEntry UnpackEntry(std::uint64_t e) {
  return {static_cast<std::size_t>(e & ((std::uint64_t{1} << 48) - 1)),
          static_cast<unsigned>((e >> 48) & 0xF),
          jis::State{static_cast<jis::Set>((e >> 52) & 0x7), ((e >> 55) & 1) != 0}};
}

}  // namespace morvelle::text::detail
