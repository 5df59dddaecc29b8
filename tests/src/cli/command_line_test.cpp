// Parsing of morvelle-batch's arguments: what each form means, and every usage error found
// before a file is touched.
#include "cli/command_line.h"

#include <gtest/gtest.h>

#include "cli/batch_cli.h"

namespace morvelle::cli {
namespace {

QStringList Args(const std::vector<const char*>& words) {
  QStringList list;
  for (const char* w : words) list << QString::fromUtf8(w);
  return list;
}

TEST(CommandLine, ReplaceKeepsRuleSetsAndExpressionsInTheirOrder) {
  const Invocation inv =
      ParseCommandLine(Args({"-j", "3", "replace", "-r", "a.exp", "-e", "s/x/y/", "-rb.exp",
                             "--expression=s/-/+/", "-n", "f1", "--", "-v", "f2"}));
  EXPECT_EQ(inv.command, Command::Replace);
  EXPECT_EQ(inv.ruleSets, Args({"a.exp", "b.exp"}));
  EXPECT_EQ(inv.expressions, Args({"s/x/y/", "s/-/+/"}));
  EXPECT_EQ(inv.jobs, 3);
  EXPECT_TRUE(inv.dryRun);
  EXPECT_FALSE(inv.verbose);  // after "--" it is a file
  EXPECT_EQ(inv.files, Args({"f1", "-v", "f2"}));
}

TEST(CommandLine, ConvertTakesEachCodeNameInAnyCase) {
  using enum CharacterCode;
  const std::pair<const char*, CharacterCode> cases[] = {
      {"sjis", ShiftJis}, {"Shift_JIS", ShiftJis}, {"CP932", ShiftJis}, {"euc", Euc},
      {"EUC-JP", Euc},    {"eucJP-ms", Euc},       {"jis", Jis},        {"ISO-2022-JP", Jis},
      {"ucs2", Ucs2},     {"UTF-16LE", Ucs2},      {"utf16", Ucs2},     {"utf8", Utf8},
      {"UTF-8", Utf8}};
  for (const auto& [name, code] : cases) {
    EXPECT_EQ(ParseCommandLine(Args({"convert", "--to", name, "f"})).to, code) << name;
    EXPECT_EQ(ParseCommandLine(Args({"convert", "f", (std::string("--to=") + name).c_str()})).to,
              code)
        << name;
  }
}

TEST(CommandLine, ShortOptionsCombineAndNewOptionsParse) {
  const Invocation inv = ParseCommandLine(
      Args({"-vnj2", "replace", "-R", "--hidden", "--include", "*.txt", "--exclude=*.bak", "--diff",
            "--color", "never", "--from", "UTF16BE", "-e", "s/a/b/", "d"}));
  EXPECT_TRUE(inv.verbose);
  EXPECT_TRUE(inv.dryRun);
  EXPECT_EQ(inv.jobs, 2);
  EXPECT_TRUE(inv.recursive && inv.hidden && inv.diff);
  EXPECT_EQ(inv.includes, Args({"*.txt"}));
  EXPECT_EQ(inv.excludes, Args({"*.bak"}));
  EXPECT_EQ(inv.color, Color::Never);
  EXPECT_EQ(inv.from, FileCode::Utf16Be);
  const Invocation conv =
      ParseCommandLine(Args({"convert", "--to", "utf8", "--eol", "crlf", "--bom", "f"}));
  EXPECT_EQ(conv.lineEnds, LineEnds::CrLf);
  EXPECT_TRUE(conv.bom);
}

TEST(CommandLine, HelpAndVersionWinOverEverythingElse) {
  EXPECT_EQ(ParseCommandLine(Args({"replace", "--help"})).command, Command::Help);
  EXPECT_EQ(ParseCommandLine(Args({"-h", "nonsense-but-after"})).command, Command::Help);
  EXPECT_EQ(ParseCommandLine(Args({"--version"})).command, Command::Version);
  EXPECT_TRUE(HelpText().contains(QStringLiteral("使い方")));
  EXPECT_FALSE(HelpText().contains(QStringLiteral("Usage:")));  // English is a translation
  EXPECT_TRUE(VersionText().startsWith(QStringLiteral("morvelle-batch ")));
}

TEST(CommandLine, UsageErrorsNameTheirCause) {
  // Vectors, not initializer lists: a list's array would not outlive the table's braces.
  const std::pair<std::vector<const char*>, const char*> cases[] = {
      {{"replace"}, "ファイルを指定してください"},
      {{"replace", "-n", "f"}, "replace には -r か -e で置換条件を指定してください"},
      {{"frobnicate", "f"}, "不明なコマンドです: \"frobnicate\""},
      {{"replace", "--bogus", "f"}, "不明なオプションです: \"--bogus\""},
      {{"replace", "f", "-e"}, "-e に値がありません"},
      {{"-j", "0", "detect", "f"}, "\"0\""},
      {{"-j", "two", "detect", "f"}, "\"two\""},
      {{"-j-1", "detect", "f"}, "\"-1\""},
      {{"convert", "f"}, "--to で変換先"},
      {{"convert", "--to", "latin1", "f"},
       "--to には sjis, euc, jis, ucs2, utf8 のどれかを指定してください: \"latin1\""},
      {{"convert", "--to", "utf8", "-e", "s/a/b/", "f"}, "-r と -e は replace"},
      {{"detect", "-n", "f"}, "-n は replace"},
      {{"replace", "--to", "utf8", "f"}, "--to は convert"},
      {{"-v"}, "コマンドを指定してください"},
      {{"convert", "--to", "utf16be", "f"}, "ucs2, utf8 のどれかを指定してください: \"utf16be\""},
      {{"convert", "--to", "sjis", "--bom", "f"}, "--bom は --to utf8"},
      {{"convert", "--to", "sjis", "--eol", "cr", "f"}, "keep, lf, crlf"},
      {{"replace", "--eol", "lf", "f"}, "--eol は convert"},
      {{"detect", "--diff", "f"}, "--diff は replace"},
      {{"replace", "--color", "always", "f"}, "--color は --diff と"},
      {{"replace", "--include", "*.txt", "f"}, "-R と使います"},
      {{"replace", "--from", "latin1", "f"},
       "sjis, euc, jis, ucs2, utf16be, utf8 のどれかを指定してください: \"latin1\""},
  };
  for (const auto& [words, expected] : cases) {
    try {
      ParseCommandLine(Args(words));
      ADD_FAILURE() << "no usage error for " << words.front();
    } catch (const UsageError& e) {
      EXPECT_TRUE(e.message().contains(QString::fromUtf8(expected)))
          << e.message().toStdString() << " / " << expected;
    }
  }
}

TEST(TargetOfArgument, OutputIsTheLowerCasedNameBesideTheSource) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"/d/Docs/ReadMe.TXT", "/d/Docs/ReadMe.TXT", "/d/Docs/readme.txt.exp"},
      {"Sub/ÄB.txt", "Sub/ÄB.txt", "Sub/äb.txt.exp"},
      {"Bare.TXT", "Bare.TXT", "bare.txt.exp"},  // stays in the current folder
      {"/Top.txt", "/Top.txt", "/top.txt.exp"},
      {"UPPER/DIR/X", "UPPER/DIR/X", "UPPER/DIR/x.exp"},  // folders keep their case
  };
  for (const auto& [argument, source, output] : cases) {
    const BatchTarget t = TargetOfArgument(QString::fromUtf8(argument));
    EXPECT_EQ(t.sourcePath, QString::fromUtf8(source));
    EXPECT_EQ(t.outputPath, QString::fromUtf8(output));
  }
}

}  // namespace
}  // namespace morvelle::cli
