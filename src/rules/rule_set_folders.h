#pragma once
// Where the rule-set dialogs open. An installed program's folder belongs to root, so a user
// who cannot write there keeps rule sets in their own data folder, and the rule sets shipped
// beside the program stay in reach of the load dialog. The choice is a function of what it is
// given, so it is tested with any folder, environment and user.

#include <QString>
#include <QStringList>
#include <functional>

namespace morvelle::rules {

struct RuleSetFolders {
  QString save;        // the save dialog's folder; a save made there makes it when it is missing
  QString load;        // the load dialog's folder
  QStringList places;  // folders the load dialog offers beside its own (the dialog's sidebar)
};

struct FolderProbes {
  // An existing folder this user may add files to.
  std::function<bool(const QString& folder)> writable;
  // A folder that holds a rule-set file (*.exp).
  std::function<bool(const QString& folder)> holdsRuleSets;
};

// $XDG_DATA_HOME/morvelle/ExpFile, with $HOME/.local/share when XDG_DATA_HOME is unset, empty or
// relative, as the XDG base directories ask.
QString UserRuleSetFolder(const QString& xdgDataHome, const QString& home);

// AppDir's ExpFile when this user may write there (a build tree, an installation in a home
// folder); otherwise the user's own folder for saving, and for loading too once it holds a rule
// set, before that the program's folder, which ships them; the load dialog offers both.
// `appDir` ends in the separator.
RuleSetFolders ChooseRuleSetFolders(const QString& appDir, const QString& xdgDataHome,
                                    const QString& home, const FolderProbes& probes);

// The probes on the file system, as the process's effective user.
FolderProbes SystemFolderProbes();

// The choice for this process: its environment and the file system.
RuleSetFolders CurrentRuleSetFolders(const QString& appDir);

}  // namespace morvelle::rules
