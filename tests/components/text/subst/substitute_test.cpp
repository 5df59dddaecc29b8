#include "text/subst/substitute.h"

#include <gtest/gtest.h>
using namespace morvelle::text;
TEST(Smoke, Basic) {
  Substituter s;
  EXPECT_EQ(s.apply(u"s/b*/-/g", u"abc"), u"-a--c-");
}
