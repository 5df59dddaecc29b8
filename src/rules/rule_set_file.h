#pragma once
// "設定を保存" and "設定を読み込む": a rule set is the table written as one line per row,
// expression, TAB, flag in decimal. Every expression is tried on a line feed before a save;
// a load checks the whole file before it replaces the table.

#include <QString>
#include <QStringList>
#include <functional>

#include "rules/rule_set_folders.h"
#include "services/rule_table.h"
#include "services/settings_file_service.h"
#include "services/text_service.h"
#include "services/user_prompts.h"

namespace morvelle::rules {

inline constexpr char16_t kRuleSetFilter[] = u"設定ﾌｧｲﾙ(*.exp)|*.exp|すべて (*.*)|*.*";

// What the save and the load reach; the services are created on first use by their owners.
struct RuleSetContext {
  RuleTable& table;
  UserPrompts& prompts;
  std::function<TextService&()> textService;
  std::function<SettingsFileService&()> files;
  std::function<RuleSetFolders()> folders;  // asked at each dialog: a save may change the answer
  QString& fileName;  // the last dialog's file name, kept between uses; empty after a cancel
};

// Command3_Click.
void SaveRuleSet(RuleSetContext& context);
// Command4_Click.
void LoadRuleSet(RuleSetContext& context);

// The fields of each rule line of a file (empty lines and lines whose expression is empty are
// dropped); throws ServiceError naming the file and line of a flag that is not an integer.
std::vector<QStringList> ParseRuleSetLines(const QString& path, const QStringList& lines);

}  // namespace morvelle::rules
