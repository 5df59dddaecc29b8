// The expression's shape as perl reads it: delimiters, escaped delimiters, flags, and the
// refusals with the message a user reads.

#include <gtest/gtest.h>

#include <string>

#include "text/subst/substitute.h"

namespace morvelle::text {
namespace {

struct Accepted {
  const char16_t* expression;
  const char16_t* text;
  const char16_t* expected;
};

TEST(SubstParser, DelimitersAndFlagsAsPerlReadsThem) {
  const Accepted cases[] = {
      {u"s/a/b/", u"aa", u"ba"},
      {u"s#a#b#g", u"aa", u"bb"},
      {u"  s/a/b/g \t", u"aa", u"bb"},
      {u"s /a/b/", u"aa", u"ba"},
      {u"s{a}{b}g", u"aa", u"bb"},
      {u"s{a{2}}{X}", u"aaa", u"Xa"},  // nested braces are the quantifier, not the end
      {u"s(a)[X]g", u"aa", u"XX"},
      {u"s<a>/X/g", u"aa", u"XX"},
      {u"s{a} # comment\n {X}", u"a", u"X"},
      {u"s(a\\)b)(X)", u"a)b", u"X"},  // a bracket pair's pattern keeps \)
      {u"s{a}{\\}x\\{}", u"a", u"}x{"},
      {u"s|a\\|b|X|g", u"a|b ab", u"X|X XX"},  // the escaped delimiter alternates
      {u"s.a\\.b.X.g", u"a.b axb", u"X X"},
      {u"s/a\\/b/X/", u"a/b", u"X"},
      {u"s'(a)'$1\\n\\\\\\''", u"a", u"$1\\n\\'"},  // nothing interpolates between quotes
      {u"s/a/b/gg", u"aa", u"bb"},
      {u"s/A/b/ii", u"aa", u"ba"},
      {u"s/ a /b/xxx", u"aa", u"ba"},
      {u"s/a/b/gpou", u"aa", u"bb"},
      {u"s/[ a]/b/gxx", u"a a", u"b b"},  // /xx ignores blanks in classes
      {u"s/a$|b/X/g", u"a|b", u"a|X"},    // $| is an anchor and a bar, not a variable
      {u"s/\\N{2}/X/", u"abc", u"Xc"},
      {u"s/(?^ui:a)|(?u)b/X/g", u"Aab", u"XXX"},  // u and d mean nothing on character strings
      {u"s/a{/X/", u"a{", u"X"},
      {u"s/\\N{SPACE}[\\N{DIGIT ONE}-3]/_/g", u"a 2 4", u"a_ 4"},
      {u"s/\\Q\\N{FULL STOP}\\E/_/g", u"a.b", u"a_b"},  // inside \Q the character itself
      {u"s/[](?u:x)]+/_/g", u"u(x)]", u"_"},  // a leading ] is a member: no group in the class
      {u"s/\\Q(?u)\\E/_/", u"(?u)", u"_"},    // nor between \Q and \E
  };
  Substituter s;
  for (const Accepted& c : cases) {
    SCOPED_TRACE(toUtf8(c.expression));
    EXPECT_EQ(s.apply(c.expression, c.text), c.expected);
  }
}

struct Refused {
  const char16_t* expression;
  SubstituteErrorKind kind;
  std::size_t position;
  const char16_t* says;  // part of the description
};

// Each expression fails on the validation's probe text with that kind, at that position, and
// the description says so in its "<n> 文字目、" form.
template <std::size_t N>
void expectRefused(const Refused (&cases)[N]) {
  Substituter s;
  for (const Refused& c : cases) {
    SCOPED_TRACE(toUtf8(c.expression));
    try {
      s.apply(c.expression, u"\n");
      ADD_FAILURE() << "accepted";
    } catch (const SubstituteError& error) {
      EXPECT_EQ(error.kind(), c.kind);
      EXPECT_EQ(error.position(), c.position);
      EXPECT_NE(error.description().find(c.says), std::u16string::npos) << error.what();
      std::u16string where =
          std::u16string(u": ") + fromUtf8(std::to_string(c.position)) + u" 文字目、";
      EXPECT_NE(error.description().find(where), std::u16string::npos) << error.what();
    }
  }
}

TEST(SubstParser, RefusalsNameTheCauseAndThePosition) {
  using K = SubstituteErrorKind;
  const Refused cases[] = {
      {u"", K::Syntax, 1, u"式が空です"},
      {u"abc", K::Syntax, 1, u"s/…/…/ の形"},
      {u"s/a/b", K::Syntax, 2, u"置換文字列の区切り 「/」 が閉じていません"},
      {u"s/a", K::Syntax, 2, u"パターンの区切り 「/」 が閉じていません"},
      {u"s{a}", K::Syntax, 5, u"置換文字列の区切りがありません"},
      {u"s\\a\\b\\", K::Syntax, 2, u"バックスラッシュ"},
      {u"s/a/b/ g", K::Syntax, 8, u"余分な文字"},
      {u"s/a/b/;x", K::Syntax, 7, u"余分な文字"},
      {u"tr/a/b/", K::Unsupported, 1, u"tr///"},
      {u"y/a/b/", K::Unsupported, 1, u"tr///"},
      {u"m/a/", K::Unsupported, 1, u"m//"},
      {u"s/a/b/e", K::Unsupported, 7, u"フラグ e"},
      {u"s/a/b/ee", K::Unsupported, 7, u"フラグ e"},
      {u"s/a/b/r", K::Unsupported, 7, u"フラグ r"},
      {u"s/a/b/c", K::Unsupported, 7, u"フラグ c"},
      {u"s/a/b/l", K::Unsupported, 7, u"フラグ l"},
      {u"s/a/b/d", K::Unsupported, 7, u"フラグ d"},
      {u"s/a/b/aa", K::Unsupported, 8, u"aa"},
      {u"s/a/b/uu", K::Unsupported, 8, u"u は一度"},
      {u"s/a/b/au", K::Unsupported, 7, u"a と u"},
      {u"s/a/b/gz", K::Unsupported, 8, u"不明なフラグ 「z」"},
      {u"s//b/", K::Unsupported, 3, u"空のパターン"},
      {u"s/a$x/b/", K::Unsupported, 4, u"$x は perl では変数"},
      {u"s/[$]/b/", K::Unsupported, 4, u"$]"},
      {u"s/a@b/c/", K::Unsupported, 4, u"@b"},
      {u"s/\\Q$x\\E/c/", K::Unsupported, 5, u"$x"},
      {u"s/(?{ 1 })/c/", K::Unsupported, 3, u"コード"},
      {u"s/(??{ 1 })/c/", K::Unsupported, 3, u"コード"},
      {u"s/(?C1)a/c/", K::Unsupported, 3, u"(?C"},
      {u"s/(*CRLF)a$/c/", K::Unsupported, 3, u"(*CRLF)"},
      {u"s/(*UTF)(*UCP)a/c/", K::Unsupported, 3, u"(*UTF)"},
      {u"s/\\b{wb}/c/", K::Unsupported, 3, u"\\b{"},
      {u"s/a{,2}/c/", K::Unsupported, 4, u"{,n}"},
      {u"s/a{1, 2}/c/", K::Unsupported, 4, u"{,n}"},
      {u"s/\\N{NOPE}/c/", K::Unsupported, 3, u"文字の名前 「NOPE」 が見つかりません"},
      {u"s/\\N{space}/c/", K::Unsupported, 3, u"「space」"},  // perl wants capitals
      {u"s/\\Ua/c/", K::Unsupported, 3, u"\\U"},
      {u"s/(?^:\\w)/c/a", K::Unsupported, 7,
       u"フラグ a のもとで (?^…) や (?u…) の中にある \\d \\s \\w \\b や [[:…:]] "
       u"には対応していません "
       u"(perl ではそこだけ Unicode の規則になります)"},
      {u"s/(a/b/", K::Pattern, 5, u"括弧が閉じていません (missing closing parenthesis)"},
      {u"s/a)/b/", K::Pattern, 4, u"閉じ括弧"},
      {u"s/*a/b/", K::Pattern, 3, u"繰り返せる"},
      {u"s/(?<=a+)b/c/", K::Pattern, 3, u"後読み"},
      {u"s/\\p{Nope}/c/", K::Pattern, 11, u"特性名"},
      {u"s/\\p{InHiraganaa}/c/", K::Pattern, 3,
       u"ブロック名 「Hiraganaa」 は Unicode 14 (perl 5.36) にありません"},
      {u"s/[a\\P{Blk=Kawi}]/c/", K::Pattern, 5, u"ブロック名 「Kawi」"},  // Unicode 15
      {u"s/a/\\C/", K::Replacement, 5, u"不明なエスケープ \\C"},
      {u"s/a/\\q/", K::Replacement, 5, u"\\q"},
      {u"s/(a)/$2/", K::Replacement, 7, u"グループ 2 はパターンにありません (グループは 1 個です)"},
      {u"s/(a)/\\2/", K::Replacement, 7, u"グループ 2"},
      {u"s/(?<n>a)/$+{m}/", K::Replacement, 11, u"「m」"},
      {u"s/a/\\x{110000}/", K::Replacement, 5, u"Unicode の範囲"},
      {u"s/a/\\o{8}/", K::Replacement, 8, u"数字でない"},
      {u"s/a/\\c/", K::Replacement, 5, u"\\c"},
      {u"s/a/\\o{ }/", K::Replacement, 5, u"\\o{…} に数字がありません"},
      {u"s/a/\\N{U+}/", K::Replacement, 5, u"\\N{U+…} に数字がありません"},
      {u"s/a/\\N{U+ 41}/", K::Replacement, 10, u"\\N{U+…} に数字でない文字があります"},
      {u"s/a/\\N{U+41_}/", K::Replacement, 12, u"\\N{U+…} に数字でない文字があります"},
      {u"s/a/\\x{4__1}/", K::Replacement, 9, u"\\x{…} に数字でない文字があります"},
      {u"s/a/\\c{/", K::Replacement, 5,
       u"\\c{ は perl では誤りです (この文字は ; と書いてください)"},
      {u"s/\\c{/a/", K::Pattern, 3, u"\\c{ は perl では誤りです (この文字は ; と書いてください)"},
      {u"s/a\\N {U+41}/b/x", K::Pattern, 4,
       u"\\N と { の間に空白やコメントは置けません (perl では誤りです)"},
      {u"s/a/\\N{NOPE}/", K::Replacement, 5, u"「NOPE」"},
  };
  expectRefused(cases);
}

TEST(SubstParser, VariablesPerlWouldInterpolateAreRefused) {
  using K = SubstituteErrorKind;
  const Refused cases[] = {
      {u"s/a/$x/", K::Unsupported, 5, u"$x"},
      {u"s/a/${x}/", K::Unsupported, 5, u"${x}"},
      {u"s/a/$0/", K::Unsupported, 5, u"$0"},
      {u"s/a/$$/", K::Unsupported, 5, u"$$"},
      {u"s/a/x$/", K::Unsupported, 6, u"末尾の $"},
      {u"s/a/$;/", K::Unsupported, 5, u"$;"},
      {u"s/a/$::x/", K::Unsupported, 5, u"$::x"},
      {u"s/a/@x/", K::Unsupported, 5, u"@x"},
      {u"s/a/@{x}/", K::Unsupported, 5, u"@{"},
      {u"s/a/@-/", K::Unsupported, 5, u"@-"},
      {u"s/(a)/$1[0]/", K::Unsupported, 7, u"添字"},
      {u"s/(a)/${1}{x}/", K::Unsupported, 7, u"添字"},
      {u"s/(a)/$&->[0]/", K::Unsupported, 7, u"添字"},
      {u"s/(a)/$+[0]/", K::Unsupported, 7, u"$+[…]"},
      {u"s/(a)/$^W/", K::Unsupported, 7, u"$^"},
  };
  expectRefused(cases);
}

TEST(SubstParser, PositionsCountCharactersNotUtf16Units) {
  Substituter s;
  try {
    s.apply(u"s/𠮷(/x/", u"");
    FAIL() << "accepted";
  } catch (const SubstituteError& error) {
    EXPECT_EQ(error.position(), 5u);  // s / 𠮷 ( then the closing delimiter
  }
}

TEST(SubstParser, WhatIsTheDescriptionInUtf8) {
  Substituter s;
  try {
    s.apply(u"s/(a/b/", u"");
    FAIL() << "accepted";
  } catch (const SubstituteError& error) {
    EXPECT_EQ(std::string(error.what()), toUtf8(error.description()));
    EXPECT_EQ(
        error.description(),
        u"正規表現を解釈できません: 5 文字目、括弧が閉じていません (missing closing parenthesis)");
  }
}

}  // namespace
}  // namespace morvelle::text
