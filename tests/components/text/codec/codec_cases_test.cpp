// Byte sequences of each code as tables: the tricky characters in every target, undecodable
// bytes and their round trip, offsets, validity and the ISO-2022-JP shifts.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "text/codec/codec.h"

namespace morvelle::text {
namespace {

using namespace std::string_literals;

std::span<const unsigned char> Span(const std::string& s) {
  return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

std::string Encoded(Encoding e, std::u16string_view text, EncodeOptions options = {}) {
  std::string out;
  EncodeError error;
  EXPECT_TRUE(Encode(e, text, out, &error, options)) << CodePointName(error.codePoint);
  return out;
}

struct Tricky {
  char16_t u;
  const char* sjis;
  const char* euc;
  const char* jis;  // between ESC $ B and ESC ( B
};

// Windows' choice among duplicate codes, and the JIS-mapping twins that land on the same code.
const Tricky kTricky[] = {
    {u'Ⅰ', "\x87\x54", "\xAD\xB5", "\x2D\x35"},
    {u'ⅰ', "\xFA\x40", "\x8F\xF3\xF3", "\x7C\x71"},
    {u'∵', "\x81\xE6", "\xA2\xE8", "\x22\x68"},
    {u'￢', "\x81\xCA", "\xA2\xCC", "\x22\x4C"},
    {u'髙', "\xFB\xFC", "\x8F\xF4\xFB", "\x7C\x62"},
    {u'﨑', "\xFA\xB1", "\x8F\xF4\xBD", "\x79\x75"},
    {u'～', "\x81\x60", "\xA1\xC1", "\x21\x41"},
    {u'〜', "\x81\x60", "\xA1\xC1", "\x21\x41"},
    {u'∥', "\x81\x61", "\xA1\xC2", "\x21\x42"},
    {u'‖', "\x81\x61", "\xA1\xC2", "\x21\x42"},
    {u'－', "\x81\x7C", "\xA1\xDD", "\x21\x5D"},
    {u'−', "\x81\x7C", "\xA1\xDD", "\x21\x5D"},
    {u'―', "\x81\x5C", "\xA1\xBD", "\x21\x3D"},
    {u'—', "\x81\x5C", "\xA1\xBD", "\x21\x3D"},
    {u'￠', "\x81\x91", "\xA1\xF1", "\x21\x71"},
    {u'¢', "\x81\x91", "\xA1\xF1", "\x21\x71"},
    {u'¬', "\x81\xCA", "\xA2\xCC", "\x22\x4C"},
    {u'①', "\x87\x40", "\xAD\xA1", "\x2D\x21"},
};

TEST(CodecCases, YenAndOverlineGoOutAsTheirAsciiCodes) {
  // One-way, as glibc and Windows write them; nkf would write full-width ￥ and ￣ instead.
  for (Encoding e : {Encoding::ShiftJis, Encoding::EucJp, Encoding::Iso2022Jp}) {
    EXPECT_EQ(Encoded(e, u"¥‾"), "\\~") << EncodingName(e);
  }
}

TEST(CodecCases, TrickyCharactersInEveryTarget) {
  for (const Tricky& t : kTricky) {
    std::u16string s(1, t.u);
    SCOPED_TRACE(CodePointName(t.u));
    EXPECT_EQ(Encoded(Encoding::ShiftJis, s), t.sjis);
    EXPECT_EQ(Encoded(Encoding::EucJp, s), t.euc);
    EXPECT_EQ(Encoded(Encoding::Iso2022Jp, s), std::string("\x1B$B") + t.jis + "\x1B(B");
    std::u16string back = DecodeText(Encoding::Utf8, Span(Encoded(Encoding::Utf8, s)));
    EXPECT_EQ(back, s);
    EXPECT_EQ(
        Encoded(Encoding::Utf16Le, s, {.bom = true}),
        std::string("\xFF\xFE") + static_cast<char>(t.u & 0xFF) + static_cast<char>(t.u >> 8));
  }
}

TEST(CodecCases, UnencodableCharacterIsNamedWithLineAndColumn) {
  const std::u16string text = u"ab\r\nあい\rう😀x";  // U+1F600 on line 3, column 2
  for (Encoding e : {Encoding::ShiftJis, Encoding::EucJp, Encoding::Iso2022Jp, Encoding::Binary}) {
    std::string out = "kept";
    EncodeError error;
    ASSERT_FALSE(Encode(e, text, out, &error)) << EncodingName(e);
    EXPECT_EQ(out, "kept");
    EXPECT_EQ(CodePointName(error.codePoint), e == Encoding::Binary ? "U+0061" : "U+1F600");
    if (e != Encoding::Binary) {
      EXPECT_EQ(error.line, 3u);
      EXPECT_EQ(error.column, 2u);
      EXPECT_EQ(error.index, 8u);
    }
  }
  for (Encoding e : {Encoding::Utf8, Encoding::Utf16Le, Encoding::Utf16Be}) {
    std::string out;
    ASSERT_TRUE(Encode(e, text, out));
    EXPECT_EQ(DecodeText(e, Span(out)), text);
  }
  EncodeError error;
  std::string out;
  EXPECT_FALSE(Encode(Encoding::Utf8, u"a\xD800", out, &error));  // a lone surrogate
  EXPECT_EQ(error.column, 2u);
}

struct RawCase {
  Encoding encoding;
  std::string bytes;
  std::u16string text;
  bool roundTrip = true;  // Encode(Decode(bytes)) == bytes
};

// Undecodable bytes, both bytes of unassigned pairs included, become lone trail surrogates,
// U+DC00 + byte; real characters never do, private-use ones included.
const RawCase kRaw[] = {
    {Encoding::ShiftJis, "\x80\xA0\xFD\xFE\xFF", u"\xDC80\xDCA0\xDCFD\xDCFE\xDCFF"},
    {Encoding::ShiftJis, "\x81\xAD", u"\xDC81\xDCAD"},         // unassigned pair
    {Encoding::ShiftJis, "\x81\x20", u"\xDC81 "},              // lead byte before a non-trail
    {Encoding::ShiftJis, "a\x82", u"a\xDC82"},                 // cut off
    {Encoding::ShiftJis, "\xED\x40\xFA\x5C", u"纊纊", false},  // NEC-selected IBM and IBM: no raw
    {Encoding::EucJp, "\xA9\xA1", u"\xDCA9\xDCA1"},
    {Encoding::EucJp, "\x8F\xA1\xA1", u"\xDC8F\xDCA1\xDCA1"},
    {Encoding::EucJp, "\x8E\xE0", u"\xDC8E\xDCE0"},
    {Encoding::EucJp,
     "\x8E"
     "a\xA4",
     u"\xDC8E"
     u"a\xDCA4"},
    {Encoding::Utf8, "\xC0\xAF", u"\xDCC0\xDCAF"},            // overlong
    {Encoding::Utf8, "\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},  // surrogate
    {Encoding::Utf8, "\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},
    {Encoding::Utf8, "\xE3\x81", u"\xDCE3\xDC81"},
    {Encoding::Utf8, "x\xEF\x9D\x81y", u"x\xF741y"},  // a private-use character is itself
    {Encoding::Utf8Bom, "\xEF\xBB\xBF\xFF", u"\xDCFF"},
    // a unit that is no character: a byte each, which join again as they were
    {Encoding::Utf16Le,
     "\xFF\xFE"
     "a\x00\x00\xD8z"s,
     u"a\xDC00\xDCD8\xDC7A"},
    {Encoding::Utf16Be, "\xFE\xFF\xDC\x41\xD8\x3D\xDE\x00"s, u"\xDCDC\xDC41\xD83D\xDE00"},
    {Encoding::Utf32Le, "\xFF\xFE\0\0a\0\0\0\0\xD8\0\0\x3D\xF6\x01\0\xFF"s,
     u"a\xDC00\xDCD8\xDC00\xDC00\xD83D\xDE3D\xDCFF"},
    {Encoding::Utf32Be, "\0\0\xFE\xFF\0\x11\0\0"s, u"\xDC00\xDC11\xDC00\xDC00"},
    // an escape we do not know is undecodable as a whole and leaves the state as it was; one
    // that designates a set to G0 makes that set's bytes undecodable up to a designation we read
    {Encoding::Iso2022Jp, "\x1B)Za",
     u"\xDC1B\xDC29\xDC5A"
     u"a"},
    {Encoding::Iso2022Jp, "\x1B$B\x30\x21\x1B$)Z\x30\x22\x1B(B", u"亜\xDC1B\xDC24\xDC29\xDC5A唖"},
    {Encoding::Iso2022Jp, "\x1B$(QQ!\n\x1B(BQ", u"\xDC1B\xDC24\xDC28\xDC51\xDC51\xDC21\nQ"},
    {Encoding::Iso2022Jp, "\x1B\n\x1B$\n\x1B", u"\xDC1B\n\xDC1B\xDC24\n\xDC1B"},  // broken ESCs
    // NUL is a character in every code
    {Encoding::Ascii, "a\0b"s, u"a\0b"s},
    {Encoding::ShiftJis, "\x82\xA0\0\x82\xA0"s, u"あ\0あ"s},
    {Encoding::EucJp, "\0\xA4\xA2"s, u"\0あ"s},
    {Encoding::Utf8, "ab\0cdefghijklmnop"s, u"ab\0cdefghijklmnop"s},  // inside a fast run
    {Encoding::Iso2022Jp, "\x1B$B\x30\x21\0\x30\x22\x1B(B"s, u"亜\0唖"s, false},
    // the escape before undecodable bytes is kept by the buffer's copy, not by the text
    {Encoding::Iso2022Jp, "\x1B$B\x22\x2F\xA4", u"\xDC22\xDC2F\xDCA4", false},
    {Encoding::Binary, std::string("\x00\x01\xFF", 3), u"\xDC00\xDC01\xDCFF"},
};

TEST(CodecCases, UndecodableBytesRoundTrip) {
  for (const RawCase& c : kRaw) {
    SCOPED_TRACE(std::string(EncodingName(c.encoding)) + " " + c.bytes);
    Decoded d = Decode(c.encoding, Span(c.bytes));
    EXPECT_EQ(d.text, c.text);
    EXPECT_EQ(DecodeText(c.encoding, Span(c.bytes)), c.text);
    ASSERT_EQ(d.offsets.size(), d.text.size() + 1);
    EXPECT_EQ(d.offsets.back(), c.bytes.size());
    if (c.roundTrip) {
      EXPECT_EQ(Encoded(c.encoding, d.text), c.bytes);
    }
  }
}

struct OffsetCase {
  Encoding encoding;
  std::string bytes;
  std::vector<std::size_t> offsets;
};

const OffsetCase kOffsets[] = {
    {Encoding::ShiftJis, "a\x82\xA0\x80\xB1", {0, 1, 3, 4, 5}},
    {Encoding::EucJp,
     "\x8F\xF3\xF3"
     "b\x8E\xB1",
     {0, 3, 4, 6}},
    {Encoding::Utf8, "a\xF0\x9F\x98\x80\xE3\x81\x82", {0, 1, 1, 5, 8}},
    {Encoding::Utf8Bom,
     "\xEF\xBB\xBF"
     "ab",
     {3, 4, 5}},
    {Encoding::Utf16Be,
     "\xFE\xFF\x00"
     "a\xD8\x3D\xDE\x00"s,
     {2, 4, 6, 8}},
    // escapes belong to the character after them; trailing ones to the end
    {Encoding::Iso2022Jp, "a\x1B$B\x30\x21\x30\x22\x1B(Bb\x1B(B", {0, 1, 6, 8, 15}},
};

TEST(CodecCases, OffsetsPointAtEachCharactersBytes) {
  for (const OffsetCase& c : kOffsets) {
    SCOPED_TRACE(EncodingName(c.encoding));
    EXPECT_EQ(Decode(c.encoding, Span(c.bytes)).offsets, c.offsets);
  }
}

struct ValidityCase {
  Encoding encoding;
  std::string bytes;
  std::size_t strict;     // valid prefix, truncation not allowed
  std::size_t truncated;  // valid prefix, truncated end allowed
};

const ValidityCase kValidity[] = {
    {Encoding::Ascii, "abc\x80", 3, 3},
    {Encoding::ShiftJis, "\x82\xA0\x82", 2, 3},
    {Encoding::ShiftJis, "\x82\xA0\x81\xAD", 2, 2},  // unassigned
    {Encoding::ShiftJis, "\xF0\x40", 2, 2},          // user-defined is assigned
    {Encoding::ShiftJis, "a\x80", 1, 1},
    {Encoding::EucJp, "\xA4\xA2\x8F\xF3", 2, 4},
    {Encoding::EucJp, "\xA4\xA2\xA9\xA1", 2, 2},
    {Encoding::Utf8, "\xE3\x81\x82\xE3\x81", 3, 5},
    {Encoding::Utf8, "\xE3\x81\x82\xE3\x41", 3, 3},
    {Encoding::Utf8, "\xC1\xBF", 0, 0},
    {Encoding::Iso2022Jp, "a\x1B$B\x30\x21\x1B(B", 9, 9},
    {Encoding::Iso2022Jp, "a\x1B$B\x30", 4, 5},
    {Encoding::Iso2022Jp, "a\x1B$", 1, 3},
    {Encoding::Iso2022Jp, "a\x1B(Z", 1, 1},
    {Encoding::Iso2022Jp, "\xA4", 0, 0},
};

TEST(CodecCases, StrictValidityForRecognition) {
  for (const ValidityCase& c : kValidity) {
    SCOPED_TRACE(std::string(EncodingName(c.encoding)) + " " + c.bytes);
    EXPECT_EQ(ValidPrefixLength(c.encoding, Span(c.bytes)), c.strict);
    EXPECT_EQ(ValidPrefixLength(c.encoding, Span(c.bytes), true), c.truncated);
  }
}

// Long texts are checked and converted by blocks: the valid prefix is still where decoding first
// keeps a byte, and a conversion writes what decoding and encoding write, for characters that run
// across block ends and bad bytes anywhere.
TEST(CodecCases, LongTextIsCheckedAndConvertedUpToItsFirstUnreadableByte) {
  struct Source {
    Encoding code;
    // ASCII (runs longer than a vector too), katakana, pairs, characters another code writes in
    // another length; then bytes or pairs no character is, and a lead byte to cut off at the end.
    std::vector<std::string> good, bad;
    std::string cut;
    // The last good pieces, which a block does not take whole.
    std::size_t rare = 3;
  };
  const std::string line = "the quick brown fox jumps over the lazy dog\r\n";
  const Source sources[] = {
      // CP932 pairs whose trail is ASCII or a possible lead byte; 81 7E is two bytes in UTF-8,
      // F0 A0 (user-defined) none in ISO-2022-JP, FA 40 three in eucJP-ms; 80/85/A0/FD, an
      // unassigned pair, a lead before a control, an ESC (no text in ISO-2022-JP).
      {Encoding::ShiftJis,
       {"a", "@", "\x82\xA0", "\x83\x5C", "\x88\x9F", "\xE0\x81", "\x81\x81", "\x89\xE0",
        "\x9F\xFC", "\x87\x40", "\x81\x5C", "\x81\x7E", "\xF0\xA0", "\xB1", "\xFA\x40", line},
       {"\x80", "\x85", "\xA0", "\xFD", "\x82\xF2", "\x81\x20", "\xEB\x40", "\x1B"},
       "\x88",
       5},
      // eucJP-ms kana and JIS X 0212 by their single shifts, NEC row 13, the user-defined area;
      // a lone A1, an unassigned pair, a lead before ASCII, a shift before no character, FF.
      {Encoding::EucJp,
       {"a", "@", "\xA4\xA2", "\xA5\xC0", "\xB4\xC1", "\xAD\xA1", "\xF5\xA1", "\xA2\xCC",
        "\x8E\xB1", "\x8F\xF3\xF3", line},
       {"\x80", "\xA1", "\xA9\xA1", "\xA4\x41", "\x8E\xE0", "\x8F\xA1\xA1", "\xFF\xA1", "\xB0\xFF"},
       "\xB4"},
      // UTF-8 kana, kanji and full-width forms; two-byte Greek and signs, U+0800, half-width
      // katakana, U+D7FF and a four-byte character (which the legacy codes lack); a stray
      // continuation, an overlong form, a surrogate, leads before ASCII, bytes no UTF-8 has.
      {Encoding::Utf8,
       {"a", "@", "\xE3\x81\x82", "\xE6\xBC\xA2", "\xEF\xBC\x81", "\xE2\x91\xA0", line, "\xCE\xB1",
        "\xC3\x97", "\xE0\xA0\x80", "\xEF\xBD\xB1", "\xED\x9F\xBF", "\xF0\x9F\x98\x80"},
       {"\x80", "\xC0\xAF", "\xED\xA0\x80", "\xE3\x81", "\xF0\x9F\x98", "\xF5", "\xFF"},
       "\xE6\xBC",
       6},
      // UTF-16LE: ASCII, kana, kanji, half-width katakana, U+0000; a character CP932 lacks, a
      // pair of surrogates; lone surrogates.
      {Encoding::Utf16Le,
       {"a\0"s, "\x42\x30", "\x22\x6F", "\x71\xFF", "\0\0"s, "\x0D\0\x0A\0"s, "\xA0\x00"s,
        "\x3D\xD8\x00\xDE"s, "\x00\xE0"s},
       {"\x00\xD8"s, "\x00\xDC"s},
       "\x42"},
  };
  const Encoding targets[] = {Encoding::ShiftJis, Encoding::EucJp, Encoding::Utf8,
                              Encoding::Utf16Le, Encoding::Iso2022Jp};
  std::uint32_t seed = 12345;
  const auto next = [&](std::size_t bound) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % static_cast<std::uint32_t>(bound);
  };
  // With the processor's widest vectors where it has them, and with the path of every processor.
  struct Restore {
    ~Restore() { AllowWideVectors(true); }
  } restore;
  for (const bool wide : {true, false}) {
    AllowWideVectors(wide);
    for (const Source& source : sources) {
      for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        const std::uint32_t length = 60 + next(400);
        // The rare pieces in a quarter of the rounds, one of them among the others in another
        // quarter (for blocks that hold nothing else a block refuses), none in the rest.
        std::vector<std::string> pool(source.good.begin(), source.good.end() - source.rare);
        if (round % 4 == 0) pool = source.good;
        if (round % 4 == 1) pool.push_back(source.good.end()[-1 - (round / 4) % source.rare]);
        std::vector<std::size_t> starts;
        while (bytes.size() < length) {
          starts.push_back(bytes.size());
          bytes += pool[next(pool.size())];
        }
        if (round % 3 != 0) {
          // Often first, as a block's conversion begins at the start of its output; often at the
          // end of a block, whose last character reaches into the next; inside a character too.
          std::size_t at = starts[next(starts.size())];
          if (round % 7 == 0) {
            at = 0;
          } else if (round % 7 < 3) {
            const std::size_t end = next(bytes.size() / 64 + 1) * 64 + 61 + next(3);
            at = *std::lower_bound(starts.begin(), starts.end(), std::min(end, starts.back()));
          } else if (round % 7 == 3 && source.code != Encoding::Utf16Le) {
            at = next(bytes.size());
          }
          bytes.insert(at, source.bad[next(source.bad.size())]);
        }
        if (round % 5 == 0) bytes += source.cut;
        const Decoded decoded = Decode(source.code, Span(bytes));
        const std::size_t raw = FindRawByte(decoded.text);
        const std::size_t valid = raw == std::u16string::npos ? bytes.size() : decoded.offsets[raw];
        ASSERT_EQ(ValidPrefixLength(source.code, Span(bytes)), valid) << round;
        // A conversion writes what encoding the decoded text writes, or stops at the same place.
        for (const Encoding to : targets) {
          if (to == source.code) continue;
          SCOPED_TRACE(std::string(EncodingName(source.code)) + " -> " +
                       std::string(EncodingName(to)) + ", round " + std::to_string(round));
          std::string encoded, converted;
          EncodeError error;
          const bool encodable =
              Encode(to, decoded.text, encoded, &error, {.rawBytes = false, .bom = true});
          std::size_t failedAt = 0;
          ASSERT_EQ(Transcode(source.code, to, Span(bytes), converted, &failedAt), encodable);
          if (encodable) {
            ASSERT_EQ(converted, encoded);
          } else {
            ASSERT_EQ(failedAt, decoded.offsets[error.index]);
          }
        }
      }
    }
  }
}

TEST(CodecCases, JisShiftsAndEscapes) {
  struct Case {
    std::string bytes;
    std::u16string text;
  };
  const Case cases[] = {
      {"a\x1B(I\x31\x1B$B\x34\x41\x1B(B\n", u"aｱ漢\n"},
      {"\x1B$@\x34\x41\x1B(J\\~", u"漢\\~"},  // JIS C 6226 and JIS Roman read as JIS/ASCII
      {"a\x0E\x31\x0F"
       "b",
       u"aｱb"},                                            // SO/SI kana
      {"\x1B$(D\x22\x37\x1B(B", u"～"},                    // JIS X 0212
      {"\x1B$B\x2D\x21\x79\x75\x7C\x62\x1B(B", u"①﨑髙"},  // NEC row 13, NEC-selected IBM rows
      {"\x1B$B\x30\x21\r\n\x30\x22\x1B(B", u"亜\r\n唖"},   // line ends inside a kanji run
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(DecodeText(Encoding::Iso2022Jp, Span(c.bytes)), c.text);
    EXPECT_TRUE(IsStrictlyValid(Encoding::Iso2022Jp, Span(c.bytes)));
  }
  // Ours returns to ASCII before every ASCII character, line ends included, and at the end.
  EXPECT_EQ(Encoded(Encoding::Iso2022Jp, u"aｱ漢\n"), cases[0].bytes);
  EXPECT_EQ(Encoded(Encoding::Iso2022Jp, u"亜\r\n唖"),
            "\x1B$B\x30\x21\x1B(B\r\n\x1B$B\x30\x22\x1B(B");
  std::string out;
  EXPECT_FALSE(Encode(Encoding::Iso2022Jp, u"a\x1B", out));   // ESC in the text would shift
  EXPECT_FALSE(Encode(Encoding::Iso2022Jp, u"\uE000", out));  // user-defined area
}

TEST(CodecCases, JisStateIsRestoredFromAnyStart) {
  const std::string bytes = "a\x1B$B\x30\x21\x0E\x31";
  jis::State s = jis::Scan(Span(bytes), 0, bytes.size(), {});
  EXPECT_EQ(s, (jis::State{jis::Set::Jis0208, true}));
  std::string out;
  EXPECT_TRUE(jis::SwitchTo(s, jis::State{}, out));
  EXPECT_EQ(out, "\x1B(B\x0F");
  jis::State from{jis::Set::Kana, false};
  out.clear();
  EXPECT_TRUE(jis::EncodeFrom(from, u"ｲ漢", out));
  EXPECT_EQ(out, "\x32\x1B$B\x34\x41");
  EXPECT_EQ(from.g0, jis::Set::Jis0208);
}

TEST(CodecCases, RawBytesAreRefusedWhenAsked) {
  std::string out;
  EncodeError error;
  EXPECT_FALSE(Encode(Encoding::ShiftJis, u"a\xDC80", out, &error, {.rawBytes = false}));
  EXPECT_EQ(error.codePoint, 0xDC80u);
  EXPECT_TRUE(Encode(Encoding::ShiftJis, u"a\xDC80", out));
  EXPECT_EQ(out, "a\x80");
  // A trail surrogate after a lead one is half of a character, never a kept byte.
  out.clear();
  EXPECT_TRUE(Encode(Encoding::Utf8, u"\xD800\xDC80", out));
  EXPECT_EQ(out, "\xF0\x90\x82\x80");
}

TEST(CodecCases, TranscodeAgreesWithDecodeAndEncode) {
  const std::u16string sample = u"漢字とｶﾅ、①Ⅰ髙﨑纊～−\r\nASCII ~\\\n\uE000";
  const Encoding sources[] = {Encoding::ShiftJis, Encoding::EucJp, Encoding::Utf8,
                              Encoding::Utf16Le, Encoding::Iso2022Jp};
  const Encoding targets[] = {Encoding::ShiftJis, Encoding::EucJp,   Encoding::Iso2022Jp,
                              Encoding::Utf8,     Encoding::Utf8Bom, Encoding::Utf16Le};
  for (Encoding from : sources) {
    std::string input;
    std::u16string text = sample;
    if (from == Encoding::Iso2022Jp) text.pop_back();  // no user-defined area in JIS
    ASSERT_TRUE(Encode(from, text, input));
    const std::u16string decoded = DecodeText(from, Span(input));
    for (Encoding to : targets) {
      SCOPED_TRACE(std::string(EncodingName(from)) + " -> " + std::string(EncodingName(to)));
      std::string expected, actual = "x";
      std::size_t failedAt = 0;
      bool encodable = Encode(to, decoded, expected);
      EXPECT_EQ(Transcode(from, to, Span(input), actual, &failedAt), encodable);
      if (encodable) {
        EXPECT_EQ(actual, "x" + expected);
      } else {
        EXPECT_EQ(actual, "x");
        EXPECT_EQ(failedAt, input.size() - (from == Encoding::Utf16Le ? 2
                                            : from == Encoding::Utf8  ? 3
                                                                      : 2));
      }
    }
  }
  // Undecodable bytes are refused at their offset, whatever the target.
  for (Encoding to : targets) {
    std::string out;
    std::size_t failedAt = 0;
    EXPECT_FALSE(Transcode(Encoding::ShiftJis, to, Span("ab\x82\xA0\x80"s), out, &failedAt));
    EXPECT_EQ(failedAt, 4u);
    EXPECT_FALSE(Transcode(Encoding::EucJp, to, Span("\xA4\xA2\x8F\xA1\xA1"s), out, &failedAt));
    EXPECT_EQ(failedAt, 2u);
    // a set we do not read, at its escape
    EXPECT_FALSE(Transcode(Encoding::Iso2022Jp, to, Span("a\x1B$(Q\x21\x21"s), out, &failedAt));
    EXPECT_EQ(failedAt, 1u);
    // right after a designation, whose bytes the undecodable unit carries
    EXPECT_FALSE(
        Transcode(Encoding::Iso2022Jp, to, Span("a\x1B$B\x1B$Z\x30\x21"s), out, &failedAt));
    EXPECT_EQ(failedAt, 4u);
  }
}

}  // namespace
}  // namespace morvelle::text
