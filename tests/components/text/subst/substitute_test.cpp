// The /g loop, the replaced spans, the compile cache, the bounds on time and memory, and
// texts that are not valid UTF-16.

#include "text/subst/substitute.h"

#include <gtest/gtest.h>

#include <string>

#include "cases.h"

namespace morvelle::text {
namespace {

using namespace std::literals;

TEST(SubstLoop, EmptyMatchesAdvanceAsInPerl) {
  const Case cases[] = {
      {u"s/x*/-/g", u"abc", u"-a-b-c-"},
      {u"s/b*/-/g", u"abc", u"-a--c-"},  // an empty match may follow a non-empty one
      {u"s/a*/-/g", u"aaa", u"--"},
      {u"s/\\b/|/g", u"ab cd", u"|ab| |cd|"},
      {u"s/$/!/g", u"a\n", u"a!\n!"},
      {u"s/^/>/gm", u"a\nb\n", u">a\n>b\n"},  // no line start after the final newline
      {u"s/(?=b)|b/X/g", u"abc", u"aXXc"},    // after an empty match, a longer one at once
      {u"s/x*/-/g", u"", u"-"},
      {u"s/x*/-/", u"abc", u"-abc"},
      {u"s/x*/-/g", u"a𠮷b", u"-a-𠮷-b-"},  // never between the halves of a pair
      {u"s/./<$&>/g", u"𠮷x", u"<𠮷><x>"},
      {u"s/\\G(a)/[$1]/g", u"aab", u"[a][a]b"},
      {u"s/(?<=a)b/X/g", u"abab", u"aXaX"},  // lookbehind sees the original text
      {u"s/a/aa/g", u"aaa", u"aaaaaa"},      // replacements are not rescanned
  };
  expectAll(cases);
}

TEST(SubstWords, MarksConnectorsAndJoinersAreWordCharactersAsInPerl) {
  // ガ written as カ and a combining dakuten is one word, as in perl; ① and ² are not words.
  expectAll({
      {u"s/\\w+/<$&>/g", u"カ\u3099キ か\u309A", u"<カ\u3099キ> <か\u309A>"},
      {u"s/\\W+/_/g", u"a\u200Db\u203Fc ①²Ⅱⓐ", u"a\u200Db\u203Fc_Ⅱⓐ"},
      {u"s/\\b/|/g", u"カ\u3099 ①x", u"|カ\u3099| ①|x|"},
      {u"s/\\B/-/g", u"カ\u3099キ", u"カ-\u3099-キ"},
      {u"s/[^\\W\\d]+/<$&>/g", u"a1\u3099b ②", u"<a>1<\u3099b> ②"},
      {u"s/[\\w-]+/<$&>/g", u"a-\u3099 b", u"<a-\u3099> <b>"},
      {u"s/[[:^word:]x]+/_/g", u"ax①\u3099", u"a_\u3099"},
      {u"s/\\Q\\w\\E/W/g", u"\\w", u"W"},
      {u"s/ \\w # \\w\n /W/gx", u"ab", u"WW"},
      {u"s/\\w/W/ga", u"é\u3099a", u"é\u3099W"},
      {u"s/\\b?x/X/g", u"xx", u"XX"},
      {u"s/\\bx\\b/X/g", u"x\u3099 x", u"x\u3099 X"},
  });
}

TEST(SubstProperties, ScriptsByTheirExtensionsAndBlocksByAnyOfPerlsNames) {
  // ー ｰ ・ 〜 。 、 「 」 have Script Common but Script_Extensions Hiragana and Katakana (and
  // some Han), which is what perl's one-word names read. Blocks are ranges, never matched by
  // case: K (Kelvin) and ſ are outside Basic Latin under /i too, while é still matches É.
  const std::u16string_view text = u"「ひらがな・カタカナー〜漢字。」abc ｰ、";
  expectAll({
      {u"s/\\p{Common}+/C/g", text, u"「ひらがな・カタカナー〜漢字。」abcCｰ、"},
      {u"s/[\\P{Common}]+/_/g", text, u"_ _"},
      {u"s/[^\\p{In_Hiragana}\\p{Zyyy}]+/-/g", text, u"-ひらがな- -"},
      {u"s/\\p{IsHiragana}+/h/g", text, u"hカタカナh漢字habc h"},
      {u"s/\\p{InHiragana}+/H/g", text, u"「H・カタカナー〜漢字。」abc ｰ、"},
      {u"s/[\\p{InKatakana}\\p{InHalfwidthAndFullwidthForms}]+/K/g", text,
       u"「ひらがなK〜漢字。」abc K、"},
      {u"s/\\p{Block: CJK Symbols and Punctuation}/P/g", text,
       u"Pひらがな・カタカナーP漢字PPabc ｰP"},
      {u"s/\\P{blk=hiragana}+/-/g", text, u"-ひらがな-"},
      {u"s/\\p{Blk=ASCII}+/A/gi", u"K\u212A\u017FsÉ", u"A\u212A\u017FAÉ"},
      {u"s/[^\\p{InBasic_Latin}é]/x/gi", u"K\u212A\u017FsÉ", u"Kxxs\u00C9"},
  });
}

std::u16string repeat(std::u16string_view piece, int times) {
  std::u16string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

TEST(SubstLoop, LongTextsGiveTheSameMatchesEverywhere) {
  // Long texts are searched in slices of start positions; nothing may change at the seams.
  Substituter s;
  std::u16string text(2100, u'x');
  for (std::size_t at : {0, 510, 511, 512, 513, 1023, 1024, 1025, 1026, 1537, 2099})
    text[at] = u'y';
  std::u16string expected = text;
  for (char16_t& c : expected) c = c == u'y' ? u'Z' : c;
  EXPECT_EQ(s.apply(u"s/y/Z/g", text), expected);
  EXPECT_EQ(s.applyWithSpans(u"s/(?=y)/!/g", text).count, 11u);
  EXPECT_EQ(s.applyWithSpans(u"s/[xy]/./g", text).count, 2100u);

  std::u16string astral = std::u16string(512, u'x') + u"𠮷" + std::u16string(511, u'x') + u"𠮷b";
  SubstituteResult any = s.applyWithSpans(u"s/./-/g", astral);
  EXPECT_EQ(any.count, 1026u);
  EXPECT_EQ(s.apply(u"s/𠮷/K/g", astral),
            std::u16string(512, u'x') + u"K" + std::u16string(511, u'x') + u"Kb");
  EXPECT_EQ(s.apply(u"s/[^x]/K/g", astral),
            std::u16string(512, u'x') + u"K" + std::u16string(511, u'x') + u"KK");

  // \G is where the last match ended, never where a slice begins.
  std::u16string run = std::u16string(2000, u'x') + u"z" + std::u16string(10, u'x');
  EXPECT_EQ(s.apply(u"s/\\Gx/y/g", run),
            std::u16string(2000, u'y') + u"z" + std::u16string(10, u'x'));
}

TEST(SubstLoop, LiteralPatternsMatchLeftmostWithoutOverlap) {
  // Plain text patterns take a search of their own, which must agree with the regex one.
  const std::u16string far = std::u16string(37, u'x') + u"zq" + std::u16string(20, u'x') + u"zq";
  const std::u16string farDone = std::u16string(37, u'x') + u"!" + std::u16string(20, u'x') + u"!";
  const Case cases[] = {
      {u"s/aa/X/g", u"aaaaa", u"XXa"},
      {u"s/ab/X/", u"abab", u"Xab"},
      {u"s/ba/X/g", u"abababab", u"aXXXb"},
      {u"s/zq/!/g", far, farDone},
      {u"s/abc/X/g", u"ab", u"ab"},
      {u"s/東京/大阪/g", u"東京と東京都", u"大阪と大阪都"},
      {u"s/ša/X/g", u"aaašaš", u"aaaXš"},  // 0x161 and 'a' share a low byte
      {u"s/o b/[$&|$`]/", u"foo bar", u"fo[o b|fo]ar"},
  };
  expectAll(cases);
  EXPECT_THROW(Substituter().apply(u"s/a/$1/", u"a"), SubstituteError);
}

TEST(SubstLoop, AnExpensiveStartPositionChangesNothingButTheMethod) {
  // A tight match limit makes the short run of a's expensive enough to leave the fast path.
  for (std::uint32_t matchLimit : {1'000'000u, 400u}) {
    SubstituteLimits limits;
    limits.matchLimit = matchLimit;
    Substituter s(limits);
    int run = matchLimit > 1000 ? 16 : 5;
    std::u16string text =
        repeat(u"ab", 300) + std::u16string(run, u'a') + u"b" + repeat(u"ab", 300);
    EXPECT_EQ(s.apply(u"s/(a+)+c|ab/X/g", text), std::u16string(300, u'X') +
                                                     std::u16string(run - 1, u'a') + u"X" +
                                                     std::u16string(300, u'X'));
  }
}

TEST(SubstLoop, SearchingForARequiredLiteralFindsWhatEveryPositionFinds) {
  // What short texts do not reach: a run before the literal longer than one slice of start
  // positions, a literal so common that the search hands back to trying every position, a
  // start position expensive enough to leave the fast path, and lone surrogates.
  SubstituteLimits everyPosition;
  everyPosition.literalPrefilter = false;
  SubstituteLimits searching;
  searching.startScanMinimum = 0;
  Substituter plain(everyPosition);
  Substituter s(searching);
  const std::u16string longRun =
      std::u16string(1300, u'a') + u"ingx ing " + std::u16string(600, u'b') + u"ing-ing";
  const std::u16string lone =
      u"a\xD800"
      u"bing \xDC00ing 𠮷\xD800-1999-12-31";
  const std::pair<std::u16string_view, std::u16string> rows[] = {
      {u"s/(\\w+)ing\\b/<$1>/g", longRun},
      {u"s/(\\w+)ing\\b/<$1>/g", lone},
      {u"s/(\\d{4})-(\\d\\d)-(\\d\\d)/$3.$2.$1/g", lone},
      {u"s/(\\d+),(\\d+)/$2;$1/g", repeat(u"1,", 700) + u"x12,3"},
      {u"s/(a+)+-c/X/g", std::u16string(16, u'a') + u"-b a-c"},
  };
  for (const auto& [expression, text] : rows) {
    SCOPED_TRACE(toUtf8(expression));
    std::u16string expected = plain.apply(expression, text);
    EXPECT_NE(expected, text);
    EXPECT_EQ(s.apply(expression, text), expected);
  }
}

TEST(SubstSpans, ListChangedSpansInInputUnitsAndCountEveryMatch) {
  Substituter s;
  SubstituteResult r = s.applyWithSpans(u"s/(o+)/<$1>/g", u"𠮷foo boo o");
  EXPECT_EQ(r.text, u"𠮷f<oo> b<oo> <o>");
  EXPECT_EQ(r.count, 3u);
  ASSERT_EQ(r.spans.size(), 3u);
  EXPECT_EQ(r.spans[0], (ReplacedSpan{3, 2, u"<oo>"}));
  EXPECT_EQ(r.spans[1], (ReplacedSpan{7, 2, u"<oo>"}));
  EXPECT_EQ(r.spans[2], (ReplacedSpan{10, 1, u"<o>"}));

  SubstituteResult empty = s.applyWithSpans(u"s/x*/-/g", u"ab");
  EXPECT_EQ(empty.count, 3u);
  EXPECT_EQ(empty.spans, (std::vector<ReplacedSpan>{{0, 0, u"-"}, {1, 0, u"-"}, {2, 0, u"-"}}));
}

TEST(SubstSpans, IdentityReplacementsLeaveNoSpan) {
  // A span that comes back unchanged must not be re-encoded by the file buffer.
  Substituter s;
  SubstituteResult r = s.applyWithSpans(u"s/(\\w)/$1/g", u"ab");
  EXPECT_EQ(r.text, u"ab");
  EXPECT_EQ(r.count, 2u);
  EXPECT_TRUE(r.spans.empty());

  SubstituteResult none = s.applyWithSpans(u"s/z/y/g", u"ab");
  EXPECT_EQ(none.count, 0u);
  EXPECT_TRUE(none.spans.empty());
  EXPECT_EQ(none.text, u"ab");
}

TEST(SubstCache, ErrorsAreCachedAndRethrownAlike) {
  Substituter s;
  std::u16string first;
  for (int round = 0; round < 2; ++round) {
    try {
      s.apply(u"s/(a/b/", u"a");
      FAIL() << "accepted";
    } catch (const SubstituteError& error) {
      if (round == 0) first = error.description();
      EXPECT_EQ(error.description(), first);
    }
  }
  EXPECT_NO_THROW(s.check(u"s/a/b/"));
  EXPECT_EQ(s.apply(u"s/a/b/", u"a"), u"b");
}

TEST(SubstCache, AFullCacheStartsOverWithoutLosingResults) {
  SubstituteLimits limits;
  limits.cacheCapacity = 4;
  Substituter s(limits);
  for (int round = 0; round < 3; ++round) {
    for (char16_t c = u'a'; c <= u'j'; ++c) {
      std::u16string rule = u"s/" + std::u16string(1, c) + u"/X/";
      EXPECT_EQ(s.apply(rule, std::u16string(1, c)), u"X");
    }
  }
}

std::u16string manyLinesOfA(int lines) {
  std::u16string text;
  for (int i = 0; i < lines; ++i) text += u"aaaaaaaaaaaaaaaaaa\n";
  return text;
}

TEST(SubstLimits, CatastrophicBacktrackingStopsWithAClearMessage) {
  // The match limit alone restarts at every line; the deadline bounds the whole call.
  SubstituteLimits limits;
  limits.minimumDeadline = std::chrono::milliseconds(200);
  limits.deadlinePerMegabyte = std::chrono::milliseconds(0);
  limits.matchLimit = 100'000'000;
  Substituter s(limits);
  try {
    s.apply(u"s/(a+)+[cd]/X/g", manyLinesOfA(2000));
    FAIL() << "finished";
  } catch (const SubstituteError& error) {
    EXPECT_EQ(error.kind(), SubstituteErrorKind::TimeLimit);
    EXPECT_NE(error.description().find(u"時間がかかりすぎます"), std::u16string::npos);
    EXPECT_NE(error.description().find(u"制限時間 1 秒"), std::u16string::npos);
  }
  // The same Substituter works normally afterwards.
  EXPECT_EQ(s.apply(u"s/a+/X/", u"aa\n"), u"X\n");
}

TEST(SubstLimits, DefaultMatchLimitStopsOneStartPosition) {
  Substituter s;
  try {
    s.apply(u"s/(a+)+[cd]/X/", std::u16string(30, u'a'));
    FAIL() << "finished";
  } catch (const SubstituteError& error) {
    EXPECT_EQ(error.kind(), SubstituteErrorKind::MatchLimit);
    EXPECT_NE(error.description().find(u"時間がかかりすぎます"), std::u16string::npos);
  }
}

TEST(SubstLimits, BoundsGrowWithTheTextSoOnlyRunawayRulesStop) {
  // Bases far below the work these rules do from one start: each bound grows with the text,
  // so a match that reads the whole text once is never stopped by it.
  SubstituteLimits limits;
  limits.matchLimit = 10'000;
  limits.depthLimit = 10'000;
  limits.jitStackBytes = 64 * 1024;
  Substituter s(limits);
  const std::u16string as(50'000, u'a');
  const std::u16string lines = repeat(u"東京タワー 123\n", 5'000) + u"END\ntail\n";
  const std::u16string ax = u"x" + as + u"\n";
  const std::u16string ay = u"y" + as + u"\n";
  const std::u16string ab = as + u"b";
  const Case linear[] = {
      {u"s/.*?END\n//s", lines, u"tail\n"},
      {u"s/(.*)x/y/", ax, ay},
      {u"s/^(.)*$/[$1]/s", ab, u"[b]"},  // a stack deeper than the base
  };
  for (const Case& c : linear) {
    SCOPED_TRACE(toUtf8(c.expression));
    try {
      EXPECT_EQ(s.apply(c.expression, c.text), c.expected);
    } catch (const SubstituteError& error) {
      ADD_FAILURE() << error.what();
    }
  }
  // A runaway rule still stops at once on a short text, and the message says which bound and
  // what to change.
  try {
    s.apply(u"s/^(a+)+$/X/", std::u16string(40, u'a') + u"b");
    FAIL() << "finished";
  } catch (const SubstituteError& error) {
    EXPECT_EQ(error.kind(), SubstituteErrorKind::MatchLimit);
    EXPECT_EQ(error.description(),
              u"置換を中止しました: この式はこのテキストに対して時間がかかりすぎます "
              u"(一つの開始位置からの照合の手順が上限の 10,000 回を超えました)。"
              u"パターンを単純にするか (入れ子の繰り返し (a+)+ や、同じ文字に合う選択肢の繰り返し "
              u"(a|aa)* をなくす)、合う範囲を狭めてください (.* の代わりに [^,]* など)");
  }
}

TEST(SubstLimits, OrdinaryRulesOnLongTextsStayWithinBounds) {
  Substituter s;
  std::u16string text(200000, u'a');
  EXPECT_EQ(s.apply(u"s/\\A(.*)\\z/[$1]/s", text).size(), text.size() + 2);
  EXPECT_EQ(s.apply(u"s/(?:a|b)*/X/", text), u"X");
}

TEST(SubstInvalidUtf16, LoneSurrogatesAndByteHoldersStayInert) {
  Substituter s;
  const std::u16string lone =
      u"a\xD800"
      u"b\xDC00";
  EXPECT_EQ(s.apply(u"s/./x/g", lone),
            u"x\xD800"
            u"x\xDC00");
  EXPECT_EQ(s.apply(u"s/\\W/_/g", lone), lone);
  EXPECT_EQ(s.apply(u"s/(\\w+)/\\U$1/g", lone),
            u"A\xD800"
            u"B\xDC00");

  // Undecodable bytes arrive as U+F700+byte: no word, space or letter class matches them.
  const std::u16string held = u"ab\uF781\uF7FEcd";
  EXPECT_EQ(s.apply(u"s/\\w+/W/g", held), u"W\uF781\uF7FEW");
  EXPECT_EQ(s.apply(u"s/\\s|\\p{L}|\\d//g", held), u"\uF781\uF7FE");
  EXPECT_EQ(s.apply(u"s/(.+)/\\U$1/", held), u"AB\uF781\uF7FECD");
  EXPECT_EQ(s.apply(u"s/\\x{F781}/!/", held), u"ab!\uF7FEcd");  // unless named literally
}

}  // namespace
}  // namespace morvelle::text
