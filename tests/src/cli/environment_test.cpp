// What morvelle-batch takes from its environment: the language of its messages and whether
// --color=auto colours.
#include "cli/environment.h"

#include <gtest/gtest.h>

namespace morvelle::cli {
namespace {

TEST(MessageLanguage, FollowsTheFirstOfLcAllLcMessagesAndLangThatIsSet) {
  struct Case {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    Language expected;
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, Language::English},
      {nullptr, nullptr, "C", Language::English},
      {nullptr, nullptr, "POSIX", Language::English},
      {nullptr, nullptr, "en_US.UTF-8", Language::English},
      {nullptr, nullptr, "ja_JP.UTF-8", Language::Japanese},
      {nullptr, nullptr, "ja_JP", Language::Japanese},
      {nullptr, nullptr, "ja", Language::Japanese},
      {nullptr, "ja_JP.UTF-8", "C", Language::Japanese},
      {nullptr, "C", "ja", Language::English},
      {"", "", "ja_JP.UTF-8", Language::Japanese},  // empty is unset
      {"C", "ja_JP.UTF-8", "ja_JP.UTF-8", Language::English},
      {"ja_JP.UTF-8", "C", "C", Language::Japanese},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MessageLanguage(c.lcAll, c.lcMessages, c.lang), c.expected)
        << (c.lcAll ? c.lcAll : "-") << ' ' << (c.lcMessages ? c.lcMessages : "-") << ' '
        << (c.lang ? c.lang : "-");
  }
}

TEST(AutoColor, OnATerminalUnlessNoColorIsSetOrTheTerminalIsDumb) {
  EXPECT_TRUE(AutoColor(true, nullptr, "xterm-256color"));
  EXPECT_TRUE(AutoColor(true, "", "xterm"));  // NO_COLOR set but empty asks nothing
  EXPECT_TRUE(AutoColor(true, nullptr, nullptr));
  EXPECT_FALSE(AutoColor(true, "1", "xterm"));
  EXPECT_FALSE(AutoColor(true, nullptr, "dumb"));
  EXPECT_FALSE(AutoColor(false, nullptr, "xterm"));
}

}  // namespace
}  // namespace morvelle::cli
