#pragma once
// A text that edits change in place: UTF-16 units in a realloc-grown block.

#include "packed/realloc_buffer.h"

namespace morvelle::text {

using packed::ReallocBuffer;
using UnitBuffer = ReallocBuffer<char16_t>;

}  // namespace morvelle::text
