#pragma once
// "設定を保存" and "設定を読み込む": a rule set is the table written as one line per row,
// expression, TAB, flag in decimal. Every expression is tried on a line feed before a save;
// a load reads the whole file into rules before it replaces the table, and the command line
// reads its rule sets into the same rules.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "rules/rule_set_folders.h"
#include "services/rule.h"
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

// The rules of a file's lines: field 0 the expression, field 1 the flag (1 when the line has no
// TAB), later fields ignored; empty lines and lines whose expression is empty are dropped. Throws
// ServiceError naming the file and line of a flag that is not an integer.
std::vector<Rule> ParseRuleSetLines(const QString& path, const QStringList& lines);

// A flag field as the rule-set file holds it: optional blanks, optional sign, decimal digits.
std::optional<qint32> ParseFlag(QStringView text);

}  // namespace morvelle::rules
