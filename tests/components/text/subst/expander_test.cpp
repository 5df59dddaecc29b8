// The replacement side: escapes, capture variables and perl's case modifiers.

#include <gtest/gtest.h>

#include "cases.h"
#include "text/subst/substitute.h"

namespace morvelle::text {
namespace {

using namespace std::literals;

TEST(SubstExpander, CaseModifiersFollowPerlsRules) {
  expectAll({
      {u"s/x/\\Uab\\Qc.d\\Ee.f\\Eg.h/", u"x", u"ABC\\.DE.Fg.h"},
      {u"s/x/\\Lab\\uCD\\E/", u"x", u"abcd"},
      {u"s/(\\w+)/\\u\\L$1/", u"ABC", u"Abc"},
      {u"s/(\\w+)/\\L\\u$1/", u"ABC", u"Abc"},              // \L\u reads as \u\L
      {u"s/(\\w+)/\\U\\l$1/", u"abc", u"aBC"},              // \U\l reads as \l\U
      {u"s/x/\\Uab\\Lcd/", u"x", u"ABcd"},                  // \L ends \U instead of nesting
      {u"s/x/\\Uab\\ucd\\Eef/", u"x", u"ABCDef"},           // \E passes \u on its way to \U
      {u"s/x/\\Qa\\Ub.c\\Ed.e\\E/", u"x", u"aB\\.Cd\\.e"},  // \Q nests around \U
      {u"s/x/\\Qa\\Qb.\\E.\\E./", u"x", u"ab\\\\\\.\\.."},
      {u"s/x/\\U\\Eab/", u"x", u"ab"},
      {u"s/x/a\\Eb/", u"x", u"ab"},
      {u"s/(ß)/\\U$1/", u"ß", u"SS"},
      {u"s/(ß)/\\u$1/", u"ß", u"Ss"},  // titlecase, not uppercase
      {u"s/(ǆ)/\\u$1/", u"ǆ", u"ǅ"},
      {u"s/(.+)/\\L$1/", u"ΣΑΣ", u"σασ"},  // no final-sigma rule in perl
      {u"s/(.+)/\\F$1/", u"Straße", u"strasse"},
      {u"s/(.+)/\\L$1/", u"İ", u"i\u0307"},
      {u"s/(.)/\\l$1/", u"ABC", u"aBC"},
      {u"s/(𐐀)/\\L$1/", u"𐐀", u"𐐨"},  // astral letters map too
      {u"s/(.+)/\\Q$1/", u"a.b c\u3000é\u00a0", u"a\\.b\\ c\\\u3000é\\\u00a0"},
      {u"s/(\\w+)/\\U$1\\E-$1/", u"ab", u"AB-ab"},
  });
}

TEST(SubstExpander, EscapesAreDoubleQuotedStringEscapes) {
  expectAll({
      {u"s/x/\\t\\n\\r\\f\\e\\a\\b/", u"x", u"\t\n\r\f\x1B\a\b"},
      {u"s/x/a\\0b/", u"x", u"a\0b"sv},
      {u"s/x/\\101\\0123/", u"x", u"A\n3"},  // three octal digits at most
      {u"s/(x)/\\19/", u"x",
       u"\x01"
       u"9"},                         // a digit follows: octal \1, then 9
      {u"s/(x)/\\11/", u"x", u"\t"},  // two digits are octal
      {u"s/x/\\81/", u"x", u"81"},
      {u"s/x/\\x41\\x4g\\x{263A}\\x{ 41 }\\x{4_1}/", u"x", u"A\x04g☺AA"},
      {u"s/x/\\o{101}\\N{U+1F600}/", u"x", u"A😀"},
      {u"s/x/\\x{_41}\\o{_1_0_1}\\N{U+_4_1}\\x{41_}\\x{}/", u"x", u"AAAA\0"sv},  // one _ a digit
      {u"s/x/\\N{HIRAGANA LETTER A}\\N{LATIN CAPITAL LETTER GHA}/", u"x", u"あƢ"},
      {u"s/x/\\cA\\c[\\c?\\ca/", u"x", u"\x01\x1B\x7F\x01"},
      {u"s/x/\\$\\@\\\\\\%\\-/", u"x", u"$@\\%-"},
      {u"s/x/a@ b@/", u"x", u"a@ b@"},
      {u"s/(x)/$1->x/", u"x", u"x->x"},
  });
}

TEST(SubstExpander, CaptureVariables) {
  expectAll({
      {u"s/(a)(b)/$2$1/", u"ab", u"ba"},
      {u"s/(a)(b)/${2}1${1}/", u"ab", u"b1a"},
      {u"s/(a)(b)/\\2\\1/", u"ab", u"ba"},
      {u"s/b/[$`|$&|$']/", u"abc", u"a[a|b|c]c"},
      {u"s/b/[${^PREMATCH}|${^MATCH}|${^POSTMATCH}]/p", u"abc", u"a[a|b|c]c"},
      {u"s/(a)|(b)/[$+]/g", u"ab", u"[a][b]"},
      {u"s/(a)(x)?/[$+]/", u"a", u"[a]"},  // $+ is the highest group that is set
      {u"s/(a)|(b)/[$^N]/g", u"ab", u"[a][b]"},
      {u"s/(a)()/[$^N]/", u"a", u"[]"},                    // the empty group closed last
      {u"s/((a))/[$^N]/", u"a", u"[a]"},                   // the outer group closed last
      {u"s/(?<n>a)|(?<n>b)/[$+{n}]/g", u"ab", u"[a][b]"},  // leftmost set of duplicates
      {u"s/(a)(x)?/[$2]/", u"a", u"[]"},                   // an unset group is empty
      {u"s/(?<n>a)/\\U$+{n}/", u"a", u"A"},
      {u"s/a(?=(b))/[$1]/", u"ab", u"[b]b"},
      {u"s/a\\Kb/X/", u"ab", u"aX"},
  });
}

}  // namespace
}  // namespace morvelle::text
