// Every expression of the table runs on every text through the Substituter and through
// /usr/bin/perl (in a Safe compartment, one s/// each, under an alarm). Results must be equal
// unless the row names the reason they may differ.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "text/subst/substitute.h"
#include "text/utf16.h"

namespace morvelle::text {
namespace {

enum class Allow {
  Equal,    // must give perl's text, or fail where perl fails
  Refused,  // we refuse with a message; perl runs it
  Differs,  // PCRE2 10.42 gives another text on some input
};

struct Row {
  const char16_t* expression;
  Allow allow = Allow::Equal;
  const char* reason = "";
  const char16_t* only = nullptr;  // run on this text instead of the common ones
};

const char16_t* const kTexts[] = {
    u"foo bar baz\nFoo  fooo barz 123 4.5 fo_o\n\nBAZ foofoo end\n",
    u"東京都は日本の首都です。\r\n東京タワーとカタカナ、ﾊﾝｶｸ、ひらがな。123４５６\r\n\r\nＡＢＣ全角"
    u" "
    u"𠮷野家\r\n",
    u"Straße café ΣΑΣ naïve Ωmega ﬁne İstanbul\nσοφία ǆemal Ǆ ﬀ ŉ\tTAB été\n",
    u"",
};

constexpr const char16_t* kMarks = u"e\u0301t\u00e9 a\u203Fb c\u200Dd";
// Kana with combining (semi-)voiced marks, numbers perl's \w lacks (① ²), one it has (Ⅱ),
// circled letters and a non-joiner.
constexpr const char16_t* kKana = u"カ\u3099キ か\u309Aき-①²Ⅱⓐ_Ⓑ\u200Cx\u3099";
// Where a literal every match consumes lies among others like it: at the ends, overlapping,
// after a pair, a dictionary line, dates in two widths, and K (Kelvin) and ſ under /i.
constexpr const char16_t* kIng = u"ing singing inginging going-ing xing\n𠮷ing ſing things 東京ing";
constexpr const char16_t* kLines = u"名詞,一般,動詞,一般名詞,固有名詞,一般\n,一般名詞,,一般";
constexpr const char16_t* kDates =
    u"2024-01-05 12024-01-055 ２０２４-０１-０５ 1-2024-05-06- a12- a- b-x 𠮷-x";
constexpr const char16_t* kFolds = u"aKS b\u212Aſ cks dKS e\u017F\u212A";

const Row kRows[] = {
    // delimiters and the shape of an expression
    {u"s/foo/bar/"},
    {u"s/foo/bar/g"},
    {u"s|o|0|g"},
    {u"s#a#A#g"},
    {u"s!b(a)!<$1>!g"},
    {u"s,\\s+, ,g"},
    {u"s{o}{0}g"},
    {u"s(a)[A]g"},
    {u"s<a>/A/g"},
    {u"s{a{1}}{X}g"},
    {u"s{(\\w)\\}?}{[$1]}g"},
    {u"s{a} {A}g"},
    {u"  s/a/A/g  "},
    {u"s |a\\|b|X|g"},
    {u"s.a\\.r.X.g"},
    {u"s'(o)'$1\\n'g"},
    {u"s/(o)/a\\/b/g"},
    {u"s{(o)}{\\}\\{}g"},
    {u"s:\\::X:g"},
    // replacement variables
    {u"s/(\\w)(\\w)/$2$1/g"},
    {u"s/(\\w)(\\w)/${2}x${1}/g"},
    {u"s/(\\w)(\\w)/\\2\\1/g"},
    {u"s/(b)(a)(r)/$3$2$1-$&/g"},
    {u"s/a/[$`]/"},
    {u"s/a/[$']/"},
    {u"s/(a)|(o)/[$+]/g"},
    {u"s/(a)|(o)/[$^N]/g"},
    {u"s/((a)(r))/[$^N]/g"},
    {u"s/(?<x>o)|(?<x>a)/[$+{x}]/g"},
    {u"s/(?<first>\\w)(?<rest>\\w*)/$+{rest}$+{first}/g"},
    {u"s/b(a)/${^MATCH}${^PREMATCH}/p"},
    {u"s/b(a)/<${^POSTMATCH}>/p"},
    {u"s/(o)/\\19/g"},
    {u"s/(o)/\\11/g"},
    {u"s/o/\\0/g"},
    {u"s/o/\\101\\x41\\x{263A}\\o{102}\\N{U+1F600}/g"},
    {u"s/o/\\t\\r\\f\\e\\a\\b/g"},
    {u"s/o/\\cA\\c[\\c?/g"},
    {u"s/o/\\$\\@\\\\\\%/g"},
    {u"s/o/a@b/g", Allow::Refused, "perl interpolates @b"},
    {u"s/o/@ /g"},
    {u"s/(.)/$1->x/"},
    {u"s/(\\d)(\\d)?/[$1|$2]/g"},
    {u"s/x(y)?|a/[$1]/g"},
    // case changes
    {u"s/(\\w+)/\\u$1/g"},
    {u"s/(\\w+)/\\U$1/g"},
    {u"s/(\\w+)/\\L$1/g"},
    {u"s/(\\w+)/\\l\\U$1/g"},
    {u"s/(\\w+)/\\u\\L$1/g"},
    {u"s/(\\w+)/\\L\\u$1/g"},
    {u"s/(\\w+)/\\U\\l$1/g"},
    {u"s/(\\w+)/\\F$1/g"},
    {u"s/(\\w+)/\\Q$1.\\E./g"},
    {u"s/(\\w+) (\\w+)/\\U$1\\E $2/g"},
    {u"s/(\\w+) (\\w+)/\\U$1 \\L$2/g"},
    {u"s/(\\w+)/\\Uab\\Qc.d\\Ee.f\\Eg.h/"},
    {u"s/(\\w+)/\\Lab\\uCD\\E/"},
    {u"s/(\\w+)/\\Qa\\Ub.c\\Ed.e\\E/"},
    {u"s/(\\w+)/\\U\\Eab/"},
    {u"s/(\\w+)/\\Uab\\ucd\\Eef/"},
    {u"s/(\\S+)/\\Q$1\\E/g"},
    {u"s/([^\\s\\w])/\\Q$1/g"},
    {u"s/(.)/\\U$1/gs"},
    {u"s/(.)/\\L$1/gs"},
    {u"s/(.)/\\u$1/gs"},
    {u"s/(.)/\\F$1/gs"},
    {u"s/(.+)/\\L$1/"},
    // anchors and line ends
    {u"s/$/!/"},
    {u"s/$/!/g"},
    {u"s/$/!/gm"},
    {u"s/^/>/g"},
    {u"s/^/>/gm"},
    {u"s/\\z/!/g"},
    {u"s/\\Z/!/g"},
    {u"s/\\A/!/g"},
    {u"s/\\n/|/g"},
    {u"s/\\r\\n/|/g"},
    {u"s/\\R/|/g"},
    {u"s/.$/#/gm"},
    {u"s/.\\z/#/gs"},
    {u"s/^.*$/[$&]/gm"},
    {u"s/^(.*)\\r?$/[$1]/gm"},
    {u"s/.+/<$&>/g"},
    {u"s/.+/<$&>/gs"},
    {u"s/\\s+$//gm"},
    {u"s/^\\s*\\n//gm"},
    {u"s/\\h+/_/g"},
    {u"s/\\v+/_/g"},
    {u"s/\\N+/[$&]/g"},
    // empty matches and the /g loop
    {u"s/x*/-/g"},
    {u"s/o*/-/g"},
    {u"s/\\b/|/g"},
    {u"s/\\B/|/g"},
    {u"s//x/", Allow::Refused, "perl reuses the last successful pattern"},
    {u"s/(?=o)/^/g"},
    {u"s/(?<=o)/^/g"},
    {u"s/o?"
     u"?/-/g"},
    {u"s/(?:)/./g"},
    {u"s/\\G(\\w)/[$1]/g"},
    {u"s/o\\K/!/g"},
    {u"s/(o)\\1/<$1$1>/g"},
    {u"s/./-/g"},
    {u"s/./-/gs"},
    {u"s/\\X/[$&]/g"},
    {u"s/(?|(a)|(o))/<$1>/g"},
    // quantifiers, groups, alternation
    {u"s/o{2}/0/g"},
    {u"s/o{1,}/0/g"},
    {u"s/o{,2}/0/g", Allow::Refused, "PCRE2 10.42 reads {,n} as literal text"},
    {u"s/o{ 2 }/0/g", Allow::Refused, "PCRE2 10.42 reads blanks inside braces as literal text"},
    {u"s/a{/A/g"},
    {u"s/fo+?/F/g"},
    {u"s/fo++/F/g"},
    {u"s/(?>fo+)o/F/g"},
    {u"s/(foo|bar|baz)+/[$1]/g"},
    {u"s/(?:(f)|(b))(\\w)/[$1$2$3]/g"},
    {u"s/(\\w)(?:(\\w)|-)*/[$1$2]/g"},
    {u"s/(?i)foo/X/g"},
    {u"s/(?i:F)oo/X/g"},
    {u"s/(?^:o)/X/g"},
    {u"s/(?^u:o)/X/g"},
    {u"s/(?iu)foo|(?d:bar)/X/g"},
    {u"s/[(?u)]/X/g"},
    {u"s/o(?!o)/0/g"},
    {u"s/(?<!o)o/0/g"},
    {u"s/(?<=\\d)\\d/#/g"},
    {u"s/(?<=ab|c)d/X/g"},
    {u"s/(?<=a+)b/X/g", Allow::Refused, "PCRE2 10.42 has no variable-length lookbehind"},
    {u"s/(\\w)\\g{-1}/<$1>/g"},
    {u"s/(?<c>\\w)\\k<c>/<$+{c}>/g"},
    {u"s/(?P<c>o)(?P=c)/[$+{c}]/g"},
    {u"s/(a|b)(?1)/[$&]/g"},
    {u"s/(*pla:o)o/0/g"},
    {u"s/o(*COMMIT)x|o/0/g"},
    {u"s/o(*SKIP)(*FAIL)|a/A/g"},
    // character classes, Unicode properties, /i
    {u"s/[aeiou]/*/g"},
    {u"s/[^a-z\\s]/*/g"},
    {u"s/[]a]/*/g"},
    {u"s/[[:alpha:]]+/A/g"},
    {u"s/[[:punct:]]/P/g"},
    {u"s/[[:^space:]]+/W/g"},
    {u"s/\\d+/<$&>/g"},
    {u"s/\\D+/<$&>/g"},
    {u"s/\\s/_/g"},
    {u"s/\\w+/<$&>/g"},
    {u"s/\\W/_/g"},
    {u"s/\\w+/<$&>/g", Allow::Equal, "", kMarks},
    {u"s/\\W/_/g", Allow::Equal, "", kMarks},
    {u"s/\\bt/T/g", Allow::Equal, "", kMarks},
    {u"s/\\w+/<$&>/g", Allow::Equal, "", kKana},
    {u"s/\\b/|/g", Allow::Equal, "", kKana},
    {u"s/\\B/|/g", Allow::Equal, "", kKana},
    {u"s/\\b\\w{2}\\b/[$&]/gi", Allow::Equal, "", kKana},
    {u"s/[\\W\\d]+/_/g", Allow::Equal, "", kKana},
    {u"s/[^\\W_][[:^word:]-]/($&)/gx", Allow::Equal, "", kKana},
    {u"s/\\p{L}+/L/g"},
    {u"s/\\p{Lu}/U/g"},
    {u"s/\\p{Ll}+/l/g"},
    {u"s/\\P{L}+/_/g"},
    {u"s/\\p{Han}+/漢/g"},
    {u"s/\\p{Katakana}+/カ/g"},
    {u"s/\\p{Hiragana}+/ひ/g"},
    {u"s/\\p{Greek}+/G/g"},
    {u"s/\\p{Latin}+/L/g"},
    {u"s/\\p{Nd}+/#/g"},
    {u"s/\\p{Mn}/M/g"},
    {u"s/\\p{Zs}/_/g"},
    {u"s/\\p{Common}+/C/g", Allow::Differs,
     "PCRE2 10.42 reads Common by Script, perl by Script_Extensions"},
    {u"s/[\\p{Han}\\p{Hiragana}]+/和/g"},
    {u"s/[ぁ-ん]+/ひ/g"},
    {u"s/[\\x{30A0}-\\x{30FF}]+/カ/g"},
    {u"s/\\x{6771}\\x{4EAC}/大阪/g"},
    {u"s/東京/大阪/g"},
    {u"s/東京/\\U$&/g"},
    {u"s/(.)\\1/<$1>/g"},
    {u"s/𠮷/吉/g"},
    {u"s/./x/g"},
    {u"s/straße/X/gi"},
    {u"s/STRASSE/X/gi", Allow::Differs, "PCRE2 folds case one character at a time (ß is not ss)"},
    {u"s/σ/s/gi"},
    {u"s/ς/s/gi"},
    {u"s/café/X/gi"},
    {u"s/CAFÉ/X/gi"},
    {u"s/ǅ/X/gi"},
    {u"s/İ/X/gi"},
    {u"s/k/X/gi"},
    {u"s/ｈ/X/gi"},
    {u"s/[a-z]+/X/gi"},
    {u"s/[α-ω]+/X/gi"},
    {u"s/ﬁ/X/gi"},
    // /x /xx /n /a /s /m combinations
    {u"s/ f o o /X/gx"},
    {u"s/ f o o # comment\n /X/gx"},
    {u"s/[ a b ]/X/gxx"},
    {u"s/[ a b ]/X/gx"},
    {u"s/ (\\w) \\s /<$1>/gx"},
    {u"s/(\\w)(\\w)/<$1>/gn", Allow::Refused, "no group 1 under /n"},
    {u"s/(?<a>\\w)(\\w)/<$+{a}>/gn"},
    {u"s/\\d/#/ga"},
    {u"s/\\w+/W/ga"},
    {u"s/\\s+/_/ga"},
    {u"s/[[:alpha:]]+/A/ga"},
    {u"s/\\bfoo\\b/X/ga"},
    {u"s/é/X/gai"},
    {u"s/(?^:\\w)+/W/ga", Allow::Refused, "(?^...) under /a returns to Unicode rules"},
    {u"s/a.b/X/gs"},
    {u"s/^f.*$/F/gms"},
    {u"s/o/0/gimsx"},
    {u"s/o/0/gpou"},
    {u"s/o/0/gg"},
    {u"s/o/0/ii"},
    // the benchmark's rules
    {u"s/\\b(fo+|ba[rz])\\b/<$1>/gi"},
    {u"s/(\\d+)/<$1>/g"},
    {u"s/(\\w+)ing\\b/<$1>/g", Allow::Equal, "", kIng},
    {u"s/(\\w+)ing/<$1>/", Allow::Equal, "", kIng},
    {u"s/(?:名詞|動詞),一般/[$&]/g", Allow::Equal, "", kLines},
    {u"s/(\\d{4})-(\\d\\d)-(\\d\\d)/$3.$2.$1/g", Allow::Equal, "", kDates},
    {u"s/(?<=a)\\d*-|\\b.-x/<$&>/g", Allow::Equal, "", kDates},
    {u"s/[a-z]+KS\\b/<$&>/gi", Allow::Equal, "", kFolds},
    // refusals
    {u"s/a/$x/", Allow::Refused, "perl interpolates $x"},
    {u"s/a/${x}/", Allow::Refused, "perl interpolates ${x}"},
    {u"s/a/$0/", Allow::Refused, "perl interpolates the program name"},
    {u"s/a/$$/", Allow::Refused, "perl interpolates the process id"},
    {u"s/a/x$/", Allow::Refused, "perl refuses a final $"},
    {u"s/a/@x/", Allow::Refused, "perl interpolates @x"},
    {u"s/(a)/$1[0]/", Allow::Refused, "perl reads an element of @1"},
    {u"s/(a)/$1{x}/", Allow::Refused, "perl reads an element of %1"},
    {u"s/(a)/$2/", Allow::Refused, "there is no group 2"},
    {u"s/a/\\N{LATIN CAPITAL LETTER A}/"},
    {u"s/\\N{LATIN SMALL LETTER O}/\\N{DIGIT ZERO}/g"},
    {u"s/[\\N{HIRAGANA LETTER A}-\\N{HIRAGANA LETTER N}]+/ひ/g"},
    {u"s/a/\\N{LINE FEED}/", Allow::Refused, "ICU knows no control-code aliases"},
    {u"s/a/\\q/", Allow::Refused, "unknown escape"},
    {u"s/a/\\o{}\\N{U+}/"},
    {u"s/a/\\N{U+ 41}/"},
    {u"s/a/\\x{_41}\\o{_1_0_1}\\N{U+_4_1}\\x{41_}/"},
    {u"s/a/\\x{4__1}/", Allow::Refused, "perl ends the number at the second _"},
    {u"s/\\c{/x/"},
    {u"s/a\\N {U+41}/x/x"},
    {u"s/a$x/y/", Allow::Refused, "perl interpolates $x in the pattern"},
    {u"s/a@x/y/", Allow::Refused, "perl interpolates @x in the pattern"},
    {u"s/\\bfoo\\b/X/e", Allow::Refused, "code is never run"},
    {u"s/foo/X/r", Allow::Refused, "/r returns instead of changing"},
    {u"s/foo/X/aa", Allow::Refused, "/aa is not supported"},
    {u"s/foo/X/l", Allow::Refused, "locale rules are not supported"},
    {u"s/(*CRLF)a/X/"},
    {u"s/\\b{wb}foo/X/", Allow::Refused, "PCRE2 10.42 has no \\b{wb}"},
    {u"s/(?{ 1 })a/X/"},
    {u"s/\\Ua/X/", Allow::Refused, "case changes inside patterns are not supported"},
    {u"s/a/b/q"},
    {u"m/a/", Allow::Refused, "a match is not a rule"},
    {u"tr/a/b/", Allow::Refused, "tr/// is not a rule"},
    {u"s/(/x/"},
    {u"s/[a/x/"},
    {u"s/a/b"},
    {u"s/\\p{NoSuchProperty}/x/"},
};

std::vector<const char16_t*> textsOf(const Row& row) {
  if (row.only) return {row.only};
  return {std::begin(kTexts), std::end(kTexts)};
}

std::string hexCodePoints(std::u16string_view s) {
  std::ostringstream out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (pairAt(s, i)) {
      c = combineSurrogates(s[i], s[i + 1]);
      ++i;
    }
    if (out.tellp() > 0) out << ' ';
    out << std::hex << static_cast<unsigned long>(c);
  }
  return out.str();
}

std::u16string fromHexCodePoints(const std::string& line) {
  std::u16string out;
  std::istringstream in(line);
  unsigned long c = 0;
  while (in >> std::hex >> c) {
    appendCodePoint(out, static_cast<char32_t>(c));
  }
  return out;
}

// Reads one case a line (expression and text as hex code points) and prints perl's result
// the same way, or "ERR" and perl's message.
constexpr const char* kPerlDriver = R"PERL(
use strict; no warnings; use Safe; use charnames ();
my ($named, $lists) = ($+{x}, $-{x});  # ties %+ and %- here, so the box can share them
my $box = Safe->new;
$box->share_from('main', ['%+', '%-', '$+']);
while (my $line = <STDIN>) {
  chomp $line;
  my ($e, $t) = split /\t/, $line, -1;
  my $expr = join '', map { chr hex } split / /, $e;
  my $text = join '', map { chr hex } split / /, $t;
  if ($expr =~ /\(\?\??\{|\(\*\{|[\/}>\])|!#,.:'][a-z]*e[a-z]*\s*$/) { print "ERR refused by driver\n"; next }
  # The box cannot load charnames; perl's own names become code points before it.
  $expr =~ s/\\N\{(?!U\+)([A-Z][^}]*)\}/my $c = charnames::vianame($1); defined $c ? sprintf('\\N{U+%X}', $c) : "\\N{$1}"/ge;
  ${$box->varglob('T')} = $text;
  my $ok = eval {
    local $SIG{ALRM} = sub { die "timeout\n" };
    alarm 10;
    my $r = $box->reval("\$T =~ $expr; 1");
    alarm 0;
    die $@ if !$r;
    1;
  };
  if (!$ok) { my $m = $@; $m =~ s/\s+/ /g; print "ERR $m\n"; next }
  print "OK ", join(' ', map { sprintf '%x', ord } split //, ${$box->varglob('T')}), "\n";
}
)PERL";

std::string describe(std::u16string_view s) {
  std::string utf8 = toUtf8(s);
  std::string out;
  for (char c : utf8) {
    if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c == '\t')
      out += "\\t";
    else
      out += c;
  }
  return out;
}

TEST(PerlDifferential, EveryExpressionOnEveryTextMatchesPerl) {
  const char* perl = "/usr/bin/perl";
  if (!std::filesystem::exists(perl)) GTEST_SKIP() << "perl is not installed; skipping";
  ASSERT_GE(std::size(kRows), 150u);

  auto dir = std::filesystem::temp_directory_path() /
             ("morvelle-subst-diff-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  {
    std::ofstream script(dir / "driver.pl");
    script << kPerlDriver;
    std::ofstream cases(dir / "cases.txt");
    for (const Row& row : kRows) {
      for (const char16_t* text : textsOf(row)) {
        cases << hexCodePoints(row.expression) << '\t' << hexCodePoints(text) << '\n';
      }
    }
  }
  std::string command = std::string(perl) + " " + (dir / "driver.pl").string() + " < " +
                        (dir / "cases.txt").string() + " > " + (dir / "out.txt").string();
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream results(dir / "out.txt");

  Substituter substituter;
  SubstituteLimits always;
  always.startScanMinimum = 0;
  Substituter scanning(always);
  SubstituteLimits everyPosition;
  everyPosition.literalPrefilter = false;
  Substituter plain(everyPosition);
  int compared = 0;
  for (const Row& row : kRows) {
    bool differed = false;
    for (const char16_t* text : textsOf(row)) {
      std::string line;
      ASSERT_TRUE(std::getline(results, line)) << "perl stopped early";
      bool perlOk = line.rfind("OK", 0) == 0;
      std::u16string perlText = perlOk ? fromHexCodePoints(line.substr(2)) : u"";
      std::u16string ours;
      std::string ourError;
      try {
        ours = substituter.apply(row.expression, text);
        // Neither the tables built for long texts nor the search for a required literal
        // may change a result.
        EXPECT_EQ(scanning.apply(row.expression, text), ours) << describe(row.expression);
        EXPECT_EQ(plain.apply(row.expression, text), ours) << describe(row.expression);
      } catch (const SubstituteError& error) {
        ourError = error.what();
      }
      bool oursOk = ourError.empty();
      ++compared;
      bool same = oursOk == perlOk && (!oursOk || ours == perlText);
      if (same) continue;
      differed = true;
      bool allowed = (row.allow == Allow::Refused && !oursOk) ||
                     (row.allow == Allow::Differs && oursOk && perlOk);
      EXPECT_TRUE(allowed) << "expression: " << describe(row.expression)
                           << "\n  text:  " << describe(text)
                           << "\n  perl:  " << (perlOk ? describe(perlText) : line)
                           << "\n  ours:  " << (oursOk ? describe(ours) : "ERR " + ourError);
    }
    if (row.allow == Allow::Differs) {
      EXPECT_TRUE(differed) << "listed as differing but equal on every text: "
                            << describe(row.expression) << " (" << row.reason << ")";
    }
  }
  std::filesystem::remove_all(dir);
  RecordProperty("cases", compared);
}

}  // namespace
}  // namespace morvelle::text
