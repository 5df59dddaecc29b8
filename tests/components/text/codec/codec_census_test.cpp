// Every code of CP932 and eucJP-ms against glibc's converters: the same codes decode, to the
// same characters, and decode -> encode changes exactly the duplicate codes named below. NUL is
// left out: glibc passes it through, we keep it as an undecodable byte (it is no text).

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "oracle.h"
#include "support/missing_input.h"
#include "text/codec/codec.h"

namespace morvelle::text {
namespace {

using Code = std::uint32_t;  // bytes of one code, big-endian

std::string BytesOf(Code code) {
  std::string s;
  if (code > 0xFFFF) s.push_back(static_cast<char>(code >> 16));
  if (code > 0xFF) s.push_back(static_cast<char>(code >> 8));
  s.push_back(static_cast<char>(code));
  return s;
}

std::span<const unsigned char> Span(const std::string& s) {
  return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

// What we decode each candidate code to, when it is one character.
std::map<Code, char16_t> OurDecodable(Encoding encoding, const std::vector<Code>& candidates) {
  std::map<Code, char16_t> out;
  for (Code c : candidates) {
    std::u16string t = DecodeText(encoding, Span(BytesOf(c)));
    if (t.size() == 1 && !(t[0] >= kRawByteBase && t[0] <= kRawByteBase + 0xFF)) out[c] = t[0];
  }
  return out;
}

std::map<Code, char16_t> GlibcDecodable(const char* name, const std::vector<Code>& candidates) {
  std::map<Code, char16_t> out;
  testing::Iconv decoder("UTF-16LE", name);
  for (Code c : candidates) {
    auto r = decoder(BytesOf(c));
    if (r && r->size() == 2) {
      out[c] = static_cast<char16_t>(static_cast<unsigned char>((*r)[0]) |
                                     (static_cast<unsigned char>((*r)[1]) << 8));
    }
  }
  return out;
}

// Codes whose character encodes to another code, with the code it encodes to.
std::map<Code, Code> Changed(Encoding encoding, const std::map<Code, char16_t>& decodable) {
  std::map<Code, Code> out;
  for (auto [code, u] : decodable) {
    std::string bytes;
    EXPECT_TRUE(Encode(encoding, std::u16string(1, u), bytes)) << std::hex << code;
    Code back = 0;
    for (char b : bytes) back = (back << 8) | static_cast<unsigned char>(b);
    if (back != code) out[code] = back;
  }
  return out;
}

std::vector<Code> Cp932Candidates() {
  std::vector<Code> c;
  for (Code b = 1; b < 0x100; ++b) c.push_back(b);
  for (Code lead = 0x80; lead < 0x100; ++lead) {
    for (Code trail = 0; trail < 0x100; ++trail) c.push_back(lead << 8 | trail);
  }
  return c;
}

std::vector<Code> EucCandidates() {
  std::vector<Code> c;
  for (Code b = 1; b < 0x100; ++b) c.push_back(b);
  for (Code lead = 0x80; lead < 0x100; ++lead) {
    for (Code trail = 0x80; trail < 0x100; ++trail) c.push_back(lead << 8 | trail);
  }
  for (Code a = 0xA1; a <= 0xFE; ++a) {
    for (Code b = 0xA1; b <= 0xFE; ++b) c.push_back(0x8F0000 | a << 8 | b);
  }
  return c;
}

TEST(CodecCensus, Cp932DecodesExactlyWhatGlibcDecodes) {
  if (!testing::Iconv("UTF-16LE", "CP932").ok()) MORVELLE_MISSING_INPUT("glibc has no CP932");
  auto candidates = Cp932Candidates();
  auto ours = OurDecodable(Encoding::ShiftJis, candidates);
  EXPECT_EQ(ours, GlibcDecodable("CP932", candidates));
  EXPECT_EQ(ours.size(), 9794u);  // 190 single bytes besides NUL, 9604 pairs
}

TEST(CodecCensus, EucJpMsDecodesExactlyWhatGlibcDecodes) {
  if (!testing::Iconv("UTF-16LE", "EUC-JP-MS").ok())
    MORVELLE_MISSING_INPUT("glibc has no EUC-JP-MS");
  auto candidates = EucCandidates();
  auto ours = OurDecodable(Encoding::EucJp, candidates);
  EXPECT_EQ(ours, GlibcDecodable("EUC-JP-MS", candidates));
}

TEST(CodecCensus, Cp932RoundTripChangesOnlyTheDuplicateCodes) {
  auto changed = Changed(Encoding::ShiftJis, OurDecodable(Encoding::ShiftJis, Cp932Candidates()));
  // NEC-selected IBM extensions (rows 89..92) are written as the IBM extensions FA40..FC4B,
  // except ￢, which has its JIS code 81CA.
  std::map<Code, Code> expected;
  for (auto [code, to] : changed) {
    if (code >= 0xED40 && code <= 0xEEFC) {
      if (code == 0xEEF9) {
        EXPECT_EQ(to, 0x81CAu);
      } else {
        EXPECT_TRUE(to >= 0xFA40 && to <= 0xFC4B) << std::hex << code << " -> " << to;
      }
      expected[code] = to;
    }
  }
  EXPECT_EQ(expected.size(), 374u);
  // NEC row 13 symbols that JIS X 0208 row 2 also has; IBM ones that NEC row 13 or JIS has.
  const std::map<Code, Code> named = {
      {0x8790, 0x81E0}, {0x8791, 0x81DF}, {0x8792, 0x81E7}, {0x8795, 0x81E3}, {0x8796, 0x81DB},
      {0x8797, 0x81DA}, {0x879A, 0x81E6}, {0x879B, 0x81BF}, {0x879C, 0x81BE}, {0xFA4A, 0x8754},
      {0xFA4B, 0x8755}, {0xFA4C, 0x8756}, {0xFA4D, 0x8757}, {0xFA4E, 0x8758}, {0xFA4F, 0x8759},
      {0xFA50, 0x875A}, {0xFA51, 0x875B}, {0xFA52, 0x875C}, {0xFA53, 0x875D}, {0xFA54, 0x81CA},
      {0xFA58, 0x878A}, {0xFA59, 0x8782}, {0xFA5A, 0x8784}, {0xFA5B, 0x81E6}};
  expected.insert(named.begin(), named.end());
  EXPECT_EQ(changed, expected);
  EXPECT_EQ(changed.size(), 398u);
}

TEST(CodecCensus, EucJpMsRoundTripChangesOnlyTheDuplicateCodes) {
  auto changed = Changed(Encoding::EucJp, OurDecodable(Encoding::EucJp, EucCandidates()));
  const std::map<Code, Code> expected = {
      // NEC row 13 symbols that row 2 has
      {0xADF0, 0xA2E2},
      {0xADF1, 0xA2E1},
      {0xADF2, 0xA2E9},
      {0xADF5, 0xA2E5},
      {0xADF6, 0xA2DD},
      {0xADF7, 0xA2DC},
      {0xADFA, 0xA2E8},
      {0xADFB, 0xA2C1},
      {0xADFC, 0xA2C0},
      // JIS X 0212 and IBM-extension twins of JIS X 0208 and NEC row 13
      {0x8FA2B7, 0xA1C1},
      {0x8FA2F1, 0xADE2},
      {0x8FF3FD, 0xADB5},
      {0x8FF3FE, 0xADB6},
      {0x8FF4A1, 0xADB7},
      {0x8FF4A2, 0xADB8},
      {0x8FF4A3, 0xADB9},
      {0x8FF4A4, 0xADBA},
      {0x8FF4A5, 0xADBB},
      {0x8FF4A6, 0xADBC},
      {0x8FF4A7, 0xADBD},
      {0x8FF4A8, 0xADBE},
      {0x8FF4AB, 0xADEA},
      {0x8FF4AC, 0xADE2},
      {0x8FF4AD, 0xADE4}};
  EXPECT_EQ(changed, expected);
}

// Glibc's encoder is the reference for every BMP code point, one-way mappings included
// (U+00A5 -> 5C, U+301C -> 8160).
TEST(CodecCensus, EncodersAgreeWithGlibcOverTheBmp) {
  for (auto [encoding, name] :
       {std::pair{Encoding::ShiftJis, "CP932"}, std::pair{Encoding::EucJp, "EUC-JP-MS"}}) {
    testing::Iconv encoder(name, "UTF-16LE");
    if (!encoder.ok()) MORVELLE_MISSING_INPUT("glibc has no " + std::string(name));
    int disagreements = 0;
    for (char32_t u = 0; u < 0x10000; ++u) {
      if (u >= 0xD800 && u <= 0xDFFF) continue;
      std::string ours;
      bool ok = Encode(encoding, std::u16string(1, static_cast<char16_t>(u)), ours, nullptr,
                       {.rawBytes = false});
      auto theirs = encoder(std::string{static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)});
      if (ok != theirs.has_value() || (ok && ours != *theirs)) {
        if (++disagreements < 10) ADD_FAILURE() << name << " " << CodePointName(u);
      }
    }
    EXPECT_EQ(disagreements, 0) << name;
  }
}

// ISO-2022-JP holds what CP932 holds, less the user-defined area; the IBM rows go out as
// their NEC-selected codes.
TEST(CodecCensus, JisHoldsEveryCp932CharacterButTheUserDefinedArea) {
  auto decodable = OurDecodable(Encoding::ShiftJis, Cp932Candidates());
  int unencodable = 0;
  for (auto [code, u] : decodable) {
    std::string jis;
    bool ok = Encode(Encoding::Iso2022Jp, std::u16string(1, u), jis);
    bool userDefined = code >= 0xF040 && code <= 0xF9FC;
    if (u == 0x0E || u == 0x0F || u == 0x1B) continue;  // shift bytes; refused as text
    if (ok) {
      EXPECT_EQ(DecodeText(Encoding::Iso2022Jp, Span(jis)), std::u16string(1, u));
    } else {
      ++unencodable;
      EXPECT_TRUE(userDefined) << std::hex << code;
    }
  }
  EXPECT_EQ(unencodable, 1880);  // 10 lead bytes x 188 trail bytes
}

// Over the whole BMP: JIS writes exactly what CP932 writes (one-way mappings included), less
// the user-defined area and the shift bytes, and reads it back as CP932 would.
TEST(CodecCensus, JisEncoderFollowsCp932OverTheBmp) {
  int mismatches = 0;
  for (char32_t u = 0; u < 0x10000; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    const std::u16string one(1, static_cast<char16_t>(u));
    std::string sjis, jis;
    bool inSjis = Encode(Encoding::ShiftJis, one, sjis, nullptr, {.rawBytes = false});
    bool inJis = Encode(Encoding::Iso2022Jp, one, jis, nullptr, {.rawBytes = false});
    bool expected = inSjis && !(u >= 0xE000 && u <= 0xE757) && u != 0x0E && u != 0x0F && u != 0x1B;
    bool same = inJis == expected && (!inJis || DecodeText(Encoding::Iso2022Jp, Span(jis)) ==
                                                    DecodeText(Encoding::ShiftJis, Span(sjis)));
    if (!same && ++mismatches < 10) ADD_FAILURE() << CodePointName(u);
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace morvelle::text
