// Our codecs beside the outside programs users compare us with (iconv, nkf), on a text holding
// every character CP932 can write. Skipped where a program is missing. Deliberate differences:
//  - nkf decodes JIS X 0208 to the JIS mapping (8160 -> U+301C, 815C -> U+2014, ...); we decode
//    as Windows and glibc's CP932 do (U+FF5E, U+2015, ...). NkfJisMapping lists all ten.
//  - the user-defined area has no place in ISO-2022-JP: we refuse it (see the cases), so it is
//    left out of the JIS comparison; iconv's ISO-2022-JP lacks the NEC and IBM rows and is not
//    compared at all.

#include <gtest/gtest.h>

#include "oracle.h"
#include "support/missing_input.h"
#include "text/codec/codec.h"

namespace morvelle::text {
namespace {

using namespace std::string_literals;

std::span<const unsigned char> Span(const std::string& s) {
  return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

// Every character CP932 decodes to, outside the user-defined area, in lines of 40.
std::u16string Repertoire(bool userDefined) {
  std::u16string text;
  int column = 0;
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (!userDefined && lead >= 0xF0 && lead <= 0xF9) continue;
      std::string code{static_cast<char>(lead), static_cast<char>(trail)};
      std::u16string u = DecodeText(Encoding::ShiftJis, Span(code));
      if (u.size() != 1) continue;
      text += u;
      if (++column % 40 == 0) text += u"\r\n";
    }
  }
  for (char16_t k = 0xFF61; k <= 0xFF9F; ++k) text += k;
  // NUL is a character to iconv and nkf, as to us.
  return text + u"\nASCII ~\\ \0 end\n"s;
}

// nkf's JIS-mapping choices, folded to ours.
std::u16string NkfJisMapping(std::u16string text) {
  const std::pair<char16_t, char16_t> folds[] = {
      {u'\u203E', u'￣'}, {u'\u2014', u'―'},  {u'\u301C', u'～'}, {u'\u2016', u'∥'},
      {u'\u2212', u'－'}, {u'\u00A5', u'￥'}, {u'\u00A2', u'￠'}, {u'\u00A3', u'￡'},
      {u'\u00AC', u'￢'}, {u'\u00A6', u'￤'}};
  for (char16_t& u : text) {
    for (auto [theirs, ours] : folds) {
      if (u == theirs) u = ours;
    }
  }
  return text;
}

// Empty when equal, else where the texts part and what each holds there.
std::string FirstDifference(std::u16string_view a, std::u16string_view b) {
  std::size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  if (i == a.size() && i == b.size()) return {};
  auto at = [i](std::u16string_view s) {
    return i < s.size() ? CodePointName(s[i]) : std::string("end");
  };
  return "at " + std::to_string(i) + ": " + at(a) + " vs " + at(b);
}

std::u16string FromUtf8(const std::string& s) { return DecodeText(Encoding::Utf8, Span(s)); }

std::string Utf8(std::u16string_view text) {
  std::string out;
  EXPECT_TRUE(Encode(Encoding::Utf8, text, out));
  return out;
}

TEST(CodecDifferential, EncodersMatchIconvCommand) {
  if (!testing::HaveProgram("iconv")) MORVELLE_MISSING_INPUT("iconv not installed");
  const std::u16string text = Repertoire(true);
  for (auto [encoding, name] :
       {std::pair{Encoding::ShiftJis, "CP932"}, std::pair{Encoding::EucJp, "EUC-JP-MS"}}) {
    std::string ours;
    ASSERT_TRUE(Encode(encoding, text, ours));
    auto theirs = testing::RunFilter(std::string("iconv -f UTF-8 -t ") + name, Utf8(text));
    ASSERT_TRUE(theirs.has_value());
    EXPECT_TRUE(ours == *theirs) << name;
    auto decoded = testing::RunFilter(std::string("iconv -t UTF-8 -f ") + name, ours);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_TRUE(*decoded == Utf8(DecodeText(encoding, Span(ours)))) << name;
  }
}

TEST(CodecDifferential, MatchesNkf) {
  if (!testing::HaveProgram("nkf")) MORVELLE_MISSING_INPUT("nkf not installed");
  // One character per code: duplicates would come back as nkf's choice, not the original.
  const std::u16string text = Repertoire(false);
  std::string jis;
  ASSERT_TRUE(Encode(Encoding::Iso2022Jp, text, jis));
  // -x keeps half-width katakana; nkf writes them after ESC ( I as CP50221 does.
  auto theirs = testing::RunFilter("nkf -j -x -W", Utf8(text));
  ASSERT_TRUE(theirs.has_value());
  EXPECT_TRUE(jis == *theirs);
  auto decoded = testing::RunFilter("nkf -w -x -J", jis);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(FirstDifference(NkfJisMapping(FromUtf8(*decoded)), text), "");
  std::string sjis;
  ASSERT_TRUE(Encode(Encoding::ShiftJis, text, sjis));
  auto fromSjis = testing::RunFilter("nkf -w -x -S --cp932", sjis);
  ASSERT_TRUE(fromSjis.has_value());
  EXPECT_EQ(FirstDifference(FromUtf8(*fromSjis), text), "");
}

}  // namespace
}  // namespace morvelle::text
