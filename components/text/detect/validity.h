#pragma once
// How many places a sample breaks the strict rules of a code; 0 means the sample is valid.

#include <cstddef>
#include <span>

#include "text/codec/codec.h"

namespace morvelle::text::detect {

// Counts resynchronisations: after each invalid byte, checking starts again at the next byte.
// Stops counting at `limit`. With `truncatedEnd`, a sequence cut off by the end is valid.
std::size_t CountInvalid(Encoding encoding, std::span<const unsigned char> bytes, bool truncatedEnd,
                         std::size_t limit);

}  // namespace morvelle::text::detect
