// Saving and loading rule sets: the validation, the file's bytes, and the faults a user can
// meet (an unreadable file, a bad flag, a failed write), each with the message it shows.
#include "rules/rule_set_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "adapters/settings_file_service_impl.h"
#include "services/service_error.h"
#include "support/fake_prompts.h"
#include "support/fake_text_service.h"
#include "support/memory_rule_table.h"
#include "support/unwritable.h"

namespace morvelle::rules {
namespace {

using testing::FakePrompts;
using testing::FakeTextService;
using testing::MemoryRuleTable;

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
  return f.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

class RuleSetTest : public ::testing::Test {
 protected:
  RuleSetTest()
      : service_(testing::LiteralRule),
        files_(MakeSettingsFileService()),
        context_{table_,
                 prompts_,
                 [this]() -> TextService& { return service_; },
                 [this]() -> SettingsFileService& { return *files_; },
                 [this] { return folders_; },
                 fileName_} {
    const QString expFile = dir_.filePath(QStringLiteral("ExpFile"));
    QDir().mkdir(expFile);
    folders_ = {expFile, expFile, {}};
  }

  void Rows(std::initializer_list<std::pair<int, QString>> rows) {
    table_.ClearRows();
    for (const auto& [flag, expression] : rows) table_.AppendRow({flag, expression});
  }
  QString Path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }
  void Save(const QString& path) {
    prompts_.answers.push_back(path);
    SaveRuleSet(context_);
  }
  void Load(const QString& path) {
    prompts_.answers.push_back(path);
    LoadRuleSet(context_);
  }

  QTemporaryDir dir_;
  MemoryRuleTable table_;
  FakePrompts prompts_;
  FakeTextService service_;
  std::unique_ptr<SettingsFileService> files_;
  QString fileName_;
  RuleSetFolders folders_;  // AppDir's ExpFile, writable
  RuleSetContext context_;
};

TEST_F(RuleSetTest, SpareRowAloneIsOneLineTabOne) {
  Rows({{1, QString()}});
  Save(Path("a.exp"));
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_EQ(ReadAll(Path("a.exp")), QByteArray("\t1\r\n"));
}

TEST_F(RuleSetTest, SaveWritesEveryRowAndLoadDropsEmptyOnes) {
  Rows({{1, QStringLiteral("s/ABC/XYZ/g")}, {0, QString()}, {1, QString()}});
  Save(Path("b.exp"));
  EXPECT_EQ(ReadAll(Path("b.exp")), QByteArray("s/ABC/XYZ/g\t1\r\n\t0\r\n\t1\r\n"));

  Rows({{1, QStringLiteral("old")}});
  Load(Path("b.exp"));
  ASSERT_EQ(table_.RowCount(), 2);
  EXPECT_EQ(table_.rows[0].expression, QStringLiteral("s/ABC/XYZ/g"));
  EXPECT_EQ(table_.rows[0].flag, 1);
  EXPECT_EQ(table_.rows[1].flag, 1);
  EXPECT_TRUE(table_.rows[1].expression.isEmpty());
}

TEST_F(RuleSetTest, JapaneseRulesAreWrittenInCp932ByteForByte) {
  Rows({{1, QStringLiteral("s/東京/大阪/g")}, {-2, QStringLiteral("s/ｶﾅ/①Ⅱ/")}, {1, QString()}});
  Save(Path("j.exp"));
  // 東京 93 8C 8B 9E, 大阪 91 E5 8D E3, ｶﾅ B6 C5, ① 87 40, Ⅱ 87 55 (NEC row 13).
  const QByteArray expected =
      "s/\x93\x8C\x8B\x9E/\x91\xE5\x8D\xE3/g\t1\r\n"
      "s/\xB6\xC5/\x87\x40\x87\x55/\t-2\r\n"
      "\t1\r\n";
  EXPECT_EQ(ReadAll(Path("j.exp")), expected);
}

TEST_F(RuleSetTest, EveryCp932RangeSurvivesARoundTrip) {
  // Hiragana, katakana, kanji of both levels, NEC row 13, NEC-selected IBM, IBM extension,
  // half-width katakana, full-width forms.
  const QString every = QStringLiteral("s/あア亜腕弌熙/①㈱∮纊褜鍈/ｱｰﾝﾟ～∥－￢/g");
  Rows({{1, every}, {0, QStringLiteral("s/髙﨑/はしご/")}, {1, QString()}});
  Save(Path("r.exp"));
  Rows({});
  Load(Path("r.exp"));
  ASSERT_EQ(table_.RowCount(), 3);
  EXPECT_EQ(table_.rows[0].expression, every);
  EXPECT_EQ(table_.rows[1].expression, QStringLiteral("s/髙﨑/はしご/"));
  EXPECT_EQ(table_.rows[1].flag, 0);
}

TEST_F(RuleSetTest, FirstBadRowIsReportedAndNothingWritten) {
  Rows({{1, QStringLiteral("bad(")},
        {1, QStringLiteral("s/a/b/")},
        {0, QStringLiteral("bad2")},
        {1, QString()}});
  Save(Path("x.exp"));
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text,
            QStringLiteral("1:  bad(\r\n正規表現の設定が正しくありません。\r\n"
                           "正規表現を解釈できません: bad("));
  EXPECT_EQ(prompts_.messages[0].icon, MessageIcon::Critical);
  EXPECT_EQ(table_.current, 0);
  EXPECT_TRUE(prompts_.dialogs.empty());
  EXPECT_FALSE(QFile::exists(Path("x.exp")));
}

TEST_F(RuleSetTest, AnExpressionThatChangesALineFeedIsBadAndShowsTheResult) {
  Rows({{0, QStringLiteral("s/a/b/")}, {0, QStringLiteral("s/\\n/-/")}, {1, QString()}});
  Save(Path("x.exp"));
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text,
            QStringLiteral("2:  s/\\n/-/\r\n正規表現の設定が正しくありません。\r\n-"));
  EXPECT_EQ(table_.current, 1);
  EXPECT_EQ(service_.calls, 2);  // disabled rows are tried too, empty ones are not
}

TEST_F(RuleSetTest, UnstorableExpressionsStopTheSaveBeforeAnyDialog) {
  struct Case {
    QString expression;
    QString detail;
  };
  const Case cases[] = {
      {QStringLiteral("s/a\tb/c/"), QStringLiteral("タブや改行を含む条件は保存できません。")},
      {QStringLiteral("s/a/b\r/"), QStringLiteral("タブや改行を含む条件は保存できません。")},
      {QStringLiteral("s/😀/x/"), QStringLiteral("U+1F600 は Shift_JIS で表せません。")},
      // Held only one way: the bytes written read back as another character.
      {QStringLiteral("s/〜/～/g"),
       QStringLiteral("U+301C (〜) は Shift_JIS で保存すると U+FF5E "
                      "(～) として読み込まれます。\\x{301C} と書いてください。")},
      {QStringLiteral("s/a/−/"),
       QStringLiteral("U+2212 (−) は Shift_JIS で保存すると U+FF0D "
                      "(－) として読み込まれます。\\x{2212} と書いてください。")},
      {QStringLiteral("s/‖/x/"),
       QStringLiteral("U+2016 (‖) は Shift_JIS で保存すると U+2225 "
                      "(∥) として読み込まれます。\\x{2016} と書いてください。")},
      {QStringLiteral("s/x/—/"),
       QStringLiteral("U+2014 (—) は Shift_JIS で保存すると U+2015 "
                      "(―) として読み込まれます。\\x{2014} と書いてください。")},
      {QStringLiteral("s/¢/c/"),
       QStringLiteral("U+00A2 (¢) は Shift_JIS で保存すると U+FFE0 "
                      "(￠) として読み込まれます。\\x{00A2} と書いてください。")},
  };
  for (const Case& c : cases) {
    prompts_.messages.clear();
    Rows({{1, QStringLiteral("s/ok/fine/")}, {1, c.expression}, {1, QString()}});
    Save(Path("u.exp"));
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].text,
              QStringLiteral("2:  ") + c.expression +
                  QStringLiteral("\r\nこの条件は設定ファイルに保存できません。\r\n") + c.detail);
    EXPECT_EQ(table_.current, 1);
    EXPECT_TRUE(prompts_.dialogs.empty());
    prompts_.answers.clear();
  }
  EXPECT_FALSE(QFile::exists(Path("u.exp")));
}

TEST_F(RuleSetTest, DialogsUseTheFilterTheFolderAndTheLastName) {
  Rows({{1, QString()}});
  Save(QString());  // cancelled: nothing written, name kept empty
  Save(Path("k.exp"));
  Load(QString());  // opens on k.exp; cancelled, so the name is gone
  Save(QString());
  ASSERT_EQ(prompts_.dialogs.size(), 4u);
  for (const auto& d : prompts_.dialogs) {
    EXPECT_EQ(d.filter, QStringLiteral("設定ﾌｧｲﾙ(*.exp)|*.exp|すべて (*.*)|*.*"));
    EXPECT_EQ(d.initialFolder, dir_.path() + QStringLiteral("/ExpFile"));
  }
  EXPECT_TRUE(prompts_.dialogs[0].save);
  EXPECT_TRUE(prompts_.dialogs[1].fileName.isEmpty());
  EXPECT_FALSE(prompts_.dialogs[2].save);
  EXPECT_EQ(prompts_.dialogs[2].fileName, Path("k.exp"));
  EXPECT_TRUE(prompts_.dialogs[3].fileName.isEmpty());
  EXPECT_EQ(table_.RowCount(), 1);
}

// Where the program's folder takes no rule sets, the user's own folder is made by the first save
// into it, parents included and private to the user, not by a dialog that is cancelled nor by a
// load; a folder that cannot be made is said once, before any dialog.
TEST_F(RuleSetTest, TheUsersMissingFolderIsMadeByTheFirstSaveIntoIt) {
  // No ExpFile in the program's folder: no user can write there, root included.
  const QString appDir = dir_.filePath(QStringLiteral("app")) + u'/';
  const QString shipped = appDir + QStringLiteral("ExpFile");
  const QString data = dir_.filePath(QStringLiteral("data"));
  const QString own = data + QStringLiteral("/morvelle/ExpFile");
  context_.folders = [&] {
    return ChooseRuleSetFolders(appDir, data, QString(), SystemFolderProbes());
  };
  Rows({{1, QStringLiteral("s/a/b/")}, {1, QString()}});
  Load(QString());
  Save(QString());
  EXPECT_FALSE(QFileInfo::exists(data));
  Save(own + QStringLiteral("/mine.exp"));
  Load(QString());
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_EQ(ReadAll(own + QStringLiteral("/mine.exp")), QByteArray("s/a/b/\t1\r\n\t1\r\n"));
  for (const QString& made : {data, data + QStringLiteral("/morvelle"), own}) {
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(made).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << made.toStdString();
  }
  ASSERT_EQ(prompts_.dialogs.size(), 4u);
  // Nothing of the user's yet: the program's own rule sets.
  EXPECT_EQ(prompts_.dialogs[0].initialFolder, shipped);
  EXPECT_EQ(prompts_.dialogs[0].places, (QStringList{own, shipped}));
  EXPECT_EQ(prompts_.dialogs[1].initialFolder, own);
  EXPECT_EQ(prompts_.dialogs[2].initialFolder, own);
  EXPECT_EQ(prompts_.dialogs[3].initialFolder, own);

  // A file where a folder has to go.
  WriteAll(dir_.filePath(QStringLiteral("plain")), "");
  const QString blocked = dir_.filePath(QStringLiteral("plain/morvelle/ExpFile"));
  context_.folders = [&] {
    return ChooseRuleSetFolders(appDir, dir_.filePath(QStringLiteral("plain")), QString(),
                                SystemFolderProbes());
  };
  fileName_.clear();
  prompts_.dialogs.clear();
  Save(blocked + QStringLiteral("/mine.exp"));
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text,
            QStringLiteral("設定ファイルのフォルダーを作成できません: ") + blocked +
                QStringLiteral(" (パスの途中にフォルダーでないものがあります)"));
  EXPECT_TRUE(prompts_.dialogs.empty());
}

TEST_F(RuleSetTest, NoExtensionIsAddedAndAnExistingFileIsReplaced) {
  WriteAll(Path("plain"), "old contents that are longer than the new ones\r\n");
  Rows({{1, QStringLiteral("s/a/b/")}, {1, QString()}});
  Save(Path("plain"));
  EXPECT_EQ(ReadAll(Path("plain")), QByteArray("s/a/b/\t1\r\n\t1\r\n"));
  EXPECT_FALSE(QFile::exists(Path("plain.exp")));
}

TEST_F(RuleSetTest, LoadReadsLinesAsOtherEditorsWriteThem) {
  // No TAB → flag 1; flag 0 → disabled; a third field is ignored; blanks stay; empty lines and
  // lines with an empty expression are skipped; LF-only ends are fine.
  WriteAll(Path("l.exp"), "s/a/b/\r\n\r\n s/c/d/ \t0\textra\n\t5\r\ns/e/f/\t 7 \r\nlast");
  Load(Path("l.exp"));
  ASSERT_EQ(table_.RowCount(), 5);
  EXPECT_EQ(table_.rows[0].expression, QStringLiteral("s/a/b/"));
  EXPECT_EQ(table_.rows[0].flag, 1);
  EXPECT_EQ(table_.rows[1].expression, QStringLiteral(" s/c/d/ "));
  EXPECT_EQ(table_.rows[1].flag, 0);
  EXPECT_EQ(table_.rows[2].flag, 7);
  EXPECT_EQ(table_.rows[3].expression, QStringLiteral("last"));
  EXPECT_TRUE(table_.rows[4].expression.isEmpty());
}

// Old editors ended a text file with the DOS end mark ^Z (0x1A), some with line ends after it:
// the file ends there. A 0x1A inside a line is a character of its rule.
TEST_F(RuleSetTest, TheDosEndMarkEndsTheFile) {
  const std::pair<QByteArray, QStringList> cases[] = {
      {"s/a/b/\t1\r\n\x1a", {QStringLiteral("s/a/b/")}},
      {"s/a/b/\t1\r\n\x1a\r\n", {QStringLiteral("s/a/b/")}},
      {"s/a/b/\t1\x1a", {QStringLiteral("s/a/b/")}},
      {"s/a/b/\t1\n\x1a\x1a\n", {QStringLiteral("s/a/b/")}},
      {"s/\x1a/b/\t1\r\ns/c/d/\x1a\t0\r\n\x1a",
       {QStringLiteral("s/\x1a/b/"), QStringLiteral("s/c/d/\x1a")}},
  };
  for (const auto& [bytes, expressions] : cases) {
    WriteAll(Path("z.exp"), bytes);
    Load(Path("z.exp"));
    EXPECT_TRUE(prompts_.messages.empty()) << prompts_.messages[0].text.toStdString();
    QStringList loaded;
    for (int row = 0; row + 1 < table_.RowCount(); ++row)
      loaded << table_.rows[size_t(row)].expression;
    EXPECT_EQ(loaded, expressions) << bytes.toStdString();
    EXPECT_TRUE(table_.rows.back().expression.isEmpty());  // the spare row
  }
}

TEST_F(RuleSetTest, EmptyFilesLeaveOnlyTheSpareRow) {
  for (const char* contents : {"", "\r\n\r\n\n"}) {
    WriteAll(Path("e.exp"), contents);
    Rows({{1, QStringLiteral("s/a/b/")}, {1, QString()}});
    Load(Path("e.exp"));
    ASSERT_EQ(table_.RowCount(), 1);
    EXPECT_TRUE(table_.rows[0].expression.isEmpty());
  }
}

TEST_F(RuleSetTest, Utf8WithBomLoadsAsUtf8) {
  WriteAll(Path("u8.exp"), "\xEF\xBB\xBFs/\xE6\x9D\xB1/\xE8\xA5\xBF/\t1\r\n");
  Load(Path("u8.exp"));
  ASSERT_EQ(table_.RowCount(), 2);
  EXPECT_EQ(table_.rows[0].expression, QStringLiteral("s/東/西/"));
}

TEST_F(RuleSetTest, OrderSurvivesSaveAndLoad) {
  Rows({{1, QStringLiteral("s/1/2/")},
        {0, QStringLiteral("s/2/3/")},
        {1, QStringLiteral("s/3/4/")},
        {1, QString()}});
  Save(Path("o.exp"));
  Rows({});
  Load(Path("o.exp"));
  ASSERT_EQ(table_.RowCount(), 4);
  EXPECT_EQ(table_.rows[0].expression, QStringLiteral("s/1/2/"));
  EXPECT_EQ(table_.rows[1].expression, QStringLiteral("s/2/3/"));
  EXPECT_EQ(table_.rows[1].flag, 0);
  EXPECT_EQ(table_.rows[2].expression, QStringLiteral("s/3/4/"));
}

// --- Mended faults: the table stays as it was, and the user is told why ------------------------

TEST_F(RuleSetTest, BadFlagsAreReportedWithFileAndLineAndTheTableIsKept) {
  struct Case {
    QByteArray contents;
    QString message;
  };
  const Case cases[] = {
      {"s/a/b/\t1\r\ns/c/d/\t\r\n", QStringLiteral("2 行目の有効フラグ \"\" が整数ではありません")},
      {"s/a/b/\tabc\r\n", QStringLiteral("1 行目の有効フラグ \"abc\" が整数ではありません")},
      {"\r\ns/a/b/\t2147483648\r\n",
       QStringLiteral("2 行目の有効フラグ \"2147483648\" が整数ではありません")},
  };
  // A %2 in the name is the name's own, not a place for the line number.
  for (const Case& c : cases) {
    WriteAll(Path("f%2%3.exp"), c.contents);
    Rows({{1, QStringLiteral("keep")}, {1, QString()}});
    prompts_.messages.clear();
    Load(Path("f%2%3.exp"));
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].text, QStringLiteral("設定ファイルを読み込めません: ") +
                                             Path("f%2%3.exp") + QStringLiteral(" (") + c.message +
                                             u')');
    ASSERT_EQ(table_.RowCount(), 2);
    EXPECT_EQ(table_.rows[0].expression, QStringLiteral("keep"));
  }
}

TEST_F(RuleSetTest, MissingFileIsReportedAndTheTableIsKept) {
  Rows({{1, QStringLiteral("keep")}, {1, QString()}});
  Load(Path("nowhere.exp"));
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_TRUE(prompts_.messages[0].text.contains(Path("nowhere.exp")));
  EXPECT_EQ(table_.RowCount(), 2);
}

TEST_F(RuleSetTest, FailedSaveKeepsTheEarlierFile) {
  // A folder at the chosen name cannot be replaced by a file: the rename fails.
  ASSERT_TRUE(QDir(dir_.path()).mkpath(QStringLiteral("taken.exp/inner")));
  Rows({{1, QStringLiteral("s/a/b/")}, {1, QString()}});
  Save(Path("taken.exp"));
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_TRUE(prompts_.messages[0].text.contains(Path("taken.exp")));
  EXPECT_TRUE(QFileInfo(Path("taken.exp/inner")).isDir());
  // No temporary file is left beside it.
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
}

TEST_F(RuleSetTest, SaveIntoAFolderThatRefusesFilesKeepsTheEarlierFile) {
  const QString folder = dir_.filePath(QStringLiteral("locked"));
  ASSERT_TRUE(QDir().mkdir(folder));
  WriteAll(folder + QStringLiteral("/set.exp"), "earlier\t1\r\n");
  testing::UnwritableFolder lock(folder);
  if (!lock.ok()) GTEST_SKIP() << "neither permissions nor chattr +i can lock a folder here";
  Rows({{1, QStringLiteral("s/a/b/")}, {1, QString()}});
  Save(folder + QStringLiteral("/set.exp"));
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_TRUE(prompts_.messages[0].text.contains(folder + QStringLiteral("/set.exp")))
      << prompts_.messages[0].text.toStdString();
  EXPECT_EQ(ReadAll(folder + QStringLiteral("/set.exp")), QByteArray("earlier\t1\r\n"));
}

TEST_F(RuleSetTest, SaveOnAFullDiskKeepsTheEarlierFileAndLeavesNoTemporary) {
  WriteAll(Path("full.exp"), "earlier\t1\r\n");
  table_.ClearRows();
  for (int i = 0; i < 2000; ++i) table_.AppendRow({1, QStringLiteral("s/東京%1/大阪/g").arg(i)});
  {
    testing::FileSizeLimit full(4096);
    Save(Path("full.exp"));
  }
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_TRUE(prompts_.messages[0].text.contains(Path("full.exp")));
  EXPECT_EQ(ReadAll(Path("full.exp")), QByteArray("earlier\t1\r\n"));
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList{QStringLiteral("full.exp")});
}

// --- The file's lines as rules, as the load and the command line read them ---------------------

TEST(ParseRuleSetLines, TakesExpressionAndFlagFromTheFields) {
  const QStringList lines{QStringLiteral("s/ABC/XYZ/g"), QStringLiteral("s/ABC/XYZ/g\t0"),
                          QStringLiteral("s/a/b/\t7\tignored"), QStringLiteral(" s/a/b/ \t-3"),
                          QStringLiteral("x\t2147483647")};
  const std::vector<Rule> expected{{1, QStringLiteral("s/ABC/XYZ/g")},
                                   {0, QStringLiteral("s/ABC/XYZ/g")},
                                   {7, QStringLiteral("s/a/b/")},
                                   {-3, QStringLiteral(" s/a/b/ ")},
                                   {2147483647, QStringLiteral("x")}};
  EXPECT_EQ(ParseRuleSetLines(QStringLiteral("/r/set.exp"), lines), expected);
}

TEST(ParseRuleSetLines, RefusesAFlagThatIsNotAnIntegerNamingTheFileAndLine) {
  for (const char16_t* bad : {u"", u"abc", u"1.5", u"2147483648", u"-2147483649", u"+"}) {
    const QString flag = QString::fromUtf16(bad);
    try {
      ParseRuleSetLines(QStringLiteral("/r/set.exp"),
                        {QStringLiteral("s/ok/fine/\t1"), QStringLiteral("s/a/b/\t") + flag});
      ADD_FAILURE() << "accepted \"" << flag.toStdString() << '"';
    } catch (const ServiceError& e) {
      EXPECT_EQ(e.description(), QStringLiteral("設定ファイルを読み込めません: /r/set.exp (2 行目の"
                                                "有効フラグ \"") +
                                     flag + QStringLiteral("\" が整数ではありません)"));
    }
  }
}

TEST(ParseFlag, AcceptsDecimalIntegersWithBlanksAndSign) {
  EXPECT_EQ(ParseFlag(u"0"), 0);
  EXPECT_EQ(ParseFlag(u" 12 "), 12);
  EXPECT_EQ(ParseFlag(u"+5"), 5);
  EXPECT_EQ(ParseFlag(u"-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseFlag(u"99999999999999999999"), std::nullopt);
  EXPECT_EQ(ParseFlag(u"0x10"), std::nullopt);
}

}  // namespace
}  // namespace morvelle::rules
