#pragma once
// A sample every legacy code holds, and its bytes in a given code, for the buffer's tests.

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <string_view>

#include "text/codec/codec.h"

namespace morvelle::testing {

// Characters every legacy code holds, with kana, kanji, NEC and IBM extensions and line ends.
inline const std::u16string kSample =
    u"第1章 概要\r\nMorvelle は ｶﾀｶﾅ と ①Ⅰ髙﨑纊 を含む。\n\r~\\ 終わり\r\n";

inline std::span<const unsigned char> Span(const std::string& s) {
  return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

inline std::string Encoded(text::Encoding e, std::u16string_view t, bool bom = true) {
  std::string out;
  EXPECT_TRUE(text::Encode(e, t, out, nullptr, {.rawBytes = true, .bom = bom}));
  return out;
}

}  // namespace morvelle::testing
