#pragma once
// The 512-bit paths: compiled for x86-64 with GCC or Clang, taken only where the processor
// has them and AllowWideVectors has not turned them off.

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

#define MORVELLE_WIDE_BLOCKS 1
// Byte permutes (VBMI) and byte compress and expand (VBMI2) are what make these paths pay.
#define MORVELLE_WIDE __attribute__((target("avx2,avx512f,avx512bw,avx512vbmi,avx512vbmi2,popcnt")))

namespace morvelle::text::detail {
bool HasWideBlocks();
}  // namespace morvelle::text::detail
#endif
