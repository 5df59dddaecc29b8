#pragma once
// Tables of expression, text and expected result, run through one Substituter.

#include <gtest/gtest.h>

#include <initializer_list>
#include <span>
#include <string_view>

#include "text/subst/substitute.h"

namespace morvelle::text {

struct Case {
  std::u16string_view expression;
  std::u16string_view text;
  std::u16string_view expected;
};

inline void expectAll(std::span<const Case> cases) {
  Substituter s;
  for (const Case& c : cases) {
    SCOPED_TRACE(toUtf8(c.expression));
    try {
      EXPECT_EQ(s.apply(c.expression, c.text), c.expected);
    } catch (const SubstituteError& error) {
      ADD_FAILURE() << error.what();
    }
  }
}

inline void expectAll(std::initializer_list<Case> cases) {
  expectAll(std::span<const Case>(cases.begin(), cases.size()));
}

}  // namespace morvelle::text
