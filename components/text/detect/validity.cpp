#include "validity.h"

namespace morvelle::text::detect {

std::size_t CountInvalid(Encoding encoding, std::span<const unsigned char> bytes, bool truncatedEnd,
                         std::size_t limit) {
  std::size_t errors = 0;
  std::size_t pos = 0;
  while (pos < bytes.size() && errors < limit) {
    pos += ValidPrefixLength(encoding, bytes.subspan(pos), truncatedEnd);
    if (pos < bytes.size()) {
      ++errors;
      ++pos;
    }
  }
  return errors;
}

}  // namespace morvelle::text::detect
