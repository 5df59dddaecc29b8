#pragma once
// Unsigned numbers in seven bits a byte, the high bit set on all but the last: the small
// numbers of long edit and run lists cost a byte or two each.

#include <cstddef>
#include <cstdint>

#include "realloc_buffer.h"

namespace morvelle::packed {

// At most ten bytes; returns the byte after the number.
inline unsigned char* PutVarint(unsigned char* at, std::uint64_t value) {
  while (value >= 0x80) {
    *at++ = static_cast<unsigned char>(value | 0x80);
    value >>= 7;
  }
  *at++ = static_cast<unsigned char>(value);
  return at;
}

// Reads the number at `at` and moves `at` past it.
inline std::uint64_t GetVarint(const unsigned char*& at) {
  std::uint64_t value = 0;
  for (unsigned shift = 0;; shift += 7) {
    const unsigned char b = *at++;
    value |= static_cast<std::uint64_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) return value;
  }
}

// Appends the numbers to `out`, written in place: a record of a few numbers costs no copy.
template <typename... Numbers>
void AppendVarints(ReallocBuffer<unsigned char>& out, Numbers... numbers) {
  constexpr std::size_t kMost = 10 * sizeof...(Numbers);
  if (out.capacity() - out.size() < kMost) out.reserve(2 * out.capacity() + 256);
  unsigned char* at = out.data() + out.size();
  ((at = PutVarint(at, static_cast<std::uint64_t>(numbers))), ...);
  out.resize(static_cast<std::size_t>(at - out.data()));
}

}  // namespace morvelle::packed
