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

#include "perl_differential_rows.h"
#include "support/missing_input.h"
#include "text/subst/substitute.h"
#include "text/utf16.h"

namespace morvelle::text {
namespace {

using namespace differential;

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
  if (!std::filesystem::exists(perl)) MORVELLE_MISSING_INPUT("perl is not installed");
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
        // A file without the required text is copied without being decoded.
        if (const auto needed = substituter.requiredText(row.expression); needed && ours != text) {
          EXPECT_NE(std::u16string_view(text).find(*needed), std::u16string_view::npos)
              << describe(row.expression);
        }
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
