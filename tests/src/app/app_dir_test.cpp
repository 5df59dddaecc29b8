#include "app/app_dir.h"

#include <gtest/gtest.h>

namespace morvelle {
namespace {

TEST(AppDir, AddsExactlyOneSeparator) {
  struct Case {
    const char16_t* reported;
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"/opt/tools", u"/opt/tools/"},
      {u"/", u"/"},
      {u"/opt/tools/", u"/opt/tools/"},
      {u"/opt/../Tools", u"/opt/../Tools/"},  // nothing is normalised
      {u"", u"/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AppDirFrom(QString::fromUtf16(c.reported)), QString::fromUtf16(c.expected))
        << QString::fromUtf16(c.reported).toStdString();
  }
}

TEST(AppDir, LooksOnlyAtTheGivenSeparator) {
  EXPECT_EQ(AppDirFrom(QStringLiteral("C:\\Tools"), u'\\'), QStringLiteral("C:\\Tools\\"));
  EXPECT_EQ(AppDirFrom(QStringLiteral("D:\\"), u'\\'), QStringLiteral("D:\\"));
}

}  // namespace
}  // namespace morvelle
