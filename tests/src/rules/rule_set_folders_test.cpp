// Where the rule-set dialogs open. The probes are given rather than asked of the file system:
// the tests run as root, who may write anywhere, and the answer must not depend on that.
#include "rules/rule_set_folders.h"

#include <gtest/gtest.h>

namespace morvelle::rules {
namespace {

const QString kHome = QStringLiteral("/home/aiko");

FolderProbes Probes(const QStringList& writable, const QStringList& holdingRuleSets) {
  return {[writable](const QString& folder) { return writable.contains(folder); },
          [holdingRuleSets](const QString& folder) { return holdingRuleSets.contains(folder); }};
}

TEST(RuleSetFolders, AWritableProgramFolderIsWhereBothDialogsOpen) {
  // A build run where it was built, or an installation in a home folder.
  const QString appDir = QStringLiteral("/home/aiko/morvelle/lib/morvelle/");
  const QString expFile = appDir + QStringLiteral("ExpFile");
  const RuleSetFolders folders =
      ChooseRuleSetFolders(appDir, QStringLiteral("/home/aiko/data"), kHome, Probes({expFile}, {}));
  EXPECT_EQ(folders.save, expFile);
  EXPECT_EQ(folders.load, expFile);
  EXPECT_TRUE(folders.places.isEmpty());
}

TEST(RuleSetFolders, AReadOnlyProgramFolderSendsSavesToTheUsersDataFolder) {
  const QString appDir = QStringLiteral("/usr/lib/morvelle/");
  const QString shipped = QStringLiteral("/usr/lib/morvelle/ExpFile");
  const QString standard = QStringLiteral("/home/aiko/.local/share/morvelle/ExpFile");
  const QString chosen = QStringLiteral("/srv/aiko/data/morvelle/ExpFile");
  struct Case {
    const char* what;
    QString xdgDataHome;
    QStringList holdingRuleSets;
    QString save;
    QString load;
  };
  const Case cases[] = {
      {"XDG_DATA_HOME absolute; the user's folder holds rule sets",
       QStringLiteral("/srv/aiko/data/"),
       {chosen, shipped},
       chosen,
       chosen},
      {"XDG_DATA_HOME unset or empty; nothing saved yet", QString(), {shipped}, standard, shipped},
      {"XDG_DATA_HOME relative, which the XDG rules ignore",
       QStringLiteral("data"),
       {standard},
       standard,
       standard},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const RuleSetFolders folders =
        ChooseRuleSetFolders(appDir, c.xdgDataHome, kHome, Probes({}, c.holdingRuleSets));
    EXPECT_EQ(folders.save, c.save);
    EXPECT_EQ(folders.load, c.load);
    EXPECT_EQ(folders.places, (QStringList{c.save, shipped}));
  }
}

}  // namespace
}  // namespace morvelle::rules
