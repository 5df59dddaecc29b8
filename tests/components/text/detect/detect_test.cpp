#include "text/detect/detect.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvelle::text {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes Raw(std::string_view s) { return Bytes(s.begin(), s.end()); }

Bytes Encoded(Encoding e, std::u16string_view text) {
  std::string out;
  EXPECT_TRUE(Encode(e, text, out, nullptr, EncodeOptions{.rawBytes = false, .bom = false}));
  return Raw(out);
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// About `size` bytes of English text, as a manual page holds between Japanese words.
Bytes AsciiFiller(std::size_t size) {
  static constexpr std::string_view kLine =
      "The --sort option orders entries by size, time or version; see FILES below.\n";
  std::string s;
  while (s.size() < size) s += kLine;
  return Raw(s);
}

struct Case {
  const char* name;
  Bytes bytes;
  Encoding expected;
};

void ExpectAll(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(DetectEncoding(c.bytes), c.expected)
        << c.name << ": got " << EncodingName(DetectEncoding(c.bytes)) << ", expected "
        << EncodingName(c.expected);
  }
}

TEST(DetectEncoding, ByteOrderMarksDecideWhateverFollows) {
  ExpectAll({
      {"UTF-8 BOM", Raw("\xEF\xBB\xBFplain"), Encoding::Utf8Bom},
      {"UTF-8 BOM alone", Raw("\xEF\xBB\xBF"), Encoding::Utf8Bom},
      {"UTF-8 BOM then broken bytes", Raw("\xEF\xBB\xBF\xFF\xFE\x80"), Encoding::Utf8Bom},
      {"UTF-16LE BOM",
       Raw(std::string_view("\xFF\xFE"
                            "a\0b\0",
                            6)),
       Encoding::Utf16Le},
      {"UTF-16BE BOM", Raw(std::string_view("\xFE\xFF\0a\0b", 6)), Encoding::Utf16Be},
      {"UTF-16LE BOM without text", Raw("\xFF\xFE"), Encoding::Utf16Le},
  });
}

TEST(DetectEncoding, NulBytesMeanUtf16OrBinary) {
  const std::u16string mixed = u"日本語 text\r\n一二三 一覧\n";
  ExpectAll({
      {"UTF-16LE ASCII", Encoded(Encoding::Utf16Le, u"hello, world\n"), Encoding::Utf16Le},
      {"UTF-16BE ASCII", Encoded(Encoding::Utf16Be, u"hello, world\n"), Encoding::Utf16Be},
      // U+4E00 puts its NUL on the other side; the byte order still shows.
      {"UTF-16LE Japanese", Encoded(Encoding::Utf16Le, mixed), Encoding::Utf16Le},
      {"UTF-16BE Japanese", Encoded(Encoding::Utf16Be, mixed), Encoding::Utf16Be},
      // UTF-16 has an even length; cut after an odd byte it needs its mark.
      {"UTF-16LE cut after an odd byte",
       Cat({Encoded(Encoding::Utf16Le, u"hello, world\n"), Raw("x")}), Encoding::Binary},
      {"UTF-16LE Korean and Cyrillic", Encoded(Encoding::Utf16Le, u"한국어 텍스트\nПривет\n"),
       Encoding::Utf16Le},
      {"UTF-32LE", Raw(std::string_view("a\0\0\0b\0\0\0c\0\0\0d\0\0\0e\0\0\0\n\0\0\0", 24)),
       Encoding::Binary},
      // Few NULs, all in line ends: kana and kanji put none of their own.
      {"UTF-16LE kana, one line end", Encoded(Encoding::Utf16Le, u"ひらがなとカタカナ\n"),
       Encoding::Utf16Le},
      {"UTF-16BE of two letters", Encoded(Encoding::Utf16Be, u"ok"), Encoding::Utf16Be},
      {"executable header",
       Raw(std::string_view("\x7F"
                            "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0>\0",
                            20)),
       Encoding::Binary},
      {"NULs on both sides",
       Raw(std::string_view("ab\0\0cd\0\0\x01\x02\0\0ef\0\0gh\0\0\x03\x04\0\0", 24)),
       Encoding::Binary},
      {"PNG image",
       Raw(std::string_view("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x06\0\0\0"
                            "\x1F\x15\xC4\x89\0\0\0\rIDATx\x9C"
                            "c\0\x01\0\0\x05\0\x01\r\n-\xB4\0\0\0\0IEND\xAE"
                            "B`\x82",
                            67)),
       Encoding::Binary},
  });
}

// A stray NUL or an escape that designates nothing known, inside text that is otherwise valid in
// a code, leaves the text that code: the decoder keeps those bytes as undecodable ones.
TEST(DetectEncoding, StrayBytesLeaveTheTextItsCode) {
  const std::u16string text = u"一行目の日本語です。\n二行目も日本語です。\n";
  auto withNul = [&](Encoding e) {
    return Cat({Encoded(e, text.substr(0, 15)), Bytes{0}, Encoded(e, text.substr(15))});
  };
  const Bytes jis = Encoded(Encoding::Iso2022Jp, u"日本語");  // ESC $ B, six bytes, ESC ( B
  const Bytes jisHead(jis.begin(), jis.begin() + 7), jisTail(jis.begin() + 7, jis.end());
  ExpectAll({
      {"NUL in ASCII", Raw(std::string_view("foo\0bar\nbaz foo\n", 16)), Encoding::Ascii},
      {"NUL in Shift_JIS", withNul(Encoding::ShiftJis), Encoding::ShiftJis},
      {"NUL in EUC-JP", withNul(Encoding::EucJp), Encoding::EucJp},
      {"NUL in UTF-8", Cat({Raw("abc"), Bytes{0}, Encoded(Encoding::Utf8, u"日本語")}),
       Encoding::Utf8},
      {"unknown escape in a kanji run", Cat({jisHead, Raw("\x1B$Z"), jisTail}),
       Encoding::Iso2022Jp},
      {"lone ESC in ISO-2022-JP", Cat({jis, Raw("\x1B\n"), jis}), Encoding::Iso2022Jp},
      {"NUL in ISO-2022-JP", Cat({jisHead, Bytes{0}, jisTail, Raw("\n")}), Encoding::Iso2022Jp},
      {"NUL-separated file names",
       Raw(std::string_view("./a/b.txt\0./c/dd.txt\0./eee/f.txt\0", 33)), Encoding::Ascii},
  });
}

// Another code is chosen only where it holds what the likeliest one breaks: UTF-16 without a
// mark on its own evidence, binary data only where no code holds most of the bytes.
TEST(DetectEncoding, NeverACodeTheBytesBreakWhenAnotherHoldsThem) {
  const std::u16string kana =
      u"あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめも"
      u"やゆよらりるれろわをん";
  ExpectAll({
      {"odd length with NULs", Raw(std::string_view("a\0b\0c", 5)), Encoding::Ascii},
      {"a NUL where UTF-16 puts one", Raw(std::string_view("A\0B\n", 4)), Encoding::Ascii},
      {"a NUL and controls", Raw(std::string_view("a\0b\001c\x1F d\n", 9)), Encoding::Ascii},
      {"no code holds a byte", Raw("\xFF\xFF\xFF\xFF"), Encoding::Binary},
      {"UTF-32LE mark", Raw(std::string_view("\xFF\xFE\0\0a\0\0\0", 8)), Encoding::Utf32Le},
      {"UTF-32BE mark", Raw(std::string_view("\0\0\xFE\xFF\0\0\0a", 8)), Encoding::Utf32Be},
      {"UTF-16BE kana without a mark", Encoded(Encoding::Utf16Be, kana), Encoding::Utf16Be},
      // EUC-JP reads 83 as a C1 control: Shift_JIS is the code that holds the text.
      {"Shift_JIS also valid EUC-JP with C1 controls", Encoded(Encoding::ShiftJis, u"アイウエオ\n"),
       Encoding::ShiftJis},
      {"ISO-2022-JP-2004", Raw("\x1B$(Q\x30\x21\x7E\x7E\x1B(B\n"), Encoding::Iso2022Jp},
  });
}

TEST(DetectEncoding, SevenBitIsJisOnlyWithItsEscapes) {
  const Bytes jis = Encoded(Encoding::Iso2022Jp, u"件名: 会議の件 ｶﾅ\r\n");
  ExpectAll({
      {"empty", {}, Encoding::Ascii},
      {"plain", Raw("just ASCII\r\n"), Encoding::Ascii},
      {"ISO-2022-JP", jis, Encoding::Iso2022Jp},
      {"ISO-2022-JP with half-width kana", Encoded(Encoding::Iso2022Jp, u"ｱｲｳ\n"),
       Encoding::Iso2022Jp},
      {"terminal colours", Raw("\x1B[31mred\x1B[0m\n"), Encoding::Ascii},
      {"only a return to ASCII", Raw("abc\x1B(Bdef"), Encoding::Ascii},
      {"JIS escape beside an unknown one", Raw("\x1B$B$\"\x1B(B \x1B[0m"), Encoding::Ascii},
  });
}

TEST(DetectEncoding, StrictValidityLeavesOneCode) {
  const std::u16string text = u"ひらがなとカタカナと漢字。\n";
  ExpectAll({
      {"Shift_JIS", Encoded(Encoding::ShiftJis, text), Encoding::ShiftJis},
      {"EUC-JP", Encoded(Encoding::EucJp, text), Encoding::EucJp},
      {"UTF-8", Encoded(Encoding::Utf8, text), Encoding::Utf8},
      {"CP932 NEC-selected IBM extension", Encoded(Encoding::ShiftJis, u"髙橋さん\n"),
       Encoding::ShiftJis},
      {"eucJP-ms IBM extension", Encoded(Encoding::EucJp, u"髙橋さん\n"), Encoding::EucJp},
  });
}

// Bytes that are valid in two codes; the pair model has to settle them.
TEST(DetectEncoding, PairModelSettlesTextValidInBothCodes) {
  std::vector<Case> cases = {
      {"Shift_JIS half-width katakana", Encoded(Encoding::ShiftJis, u"ｶﾀｶﾅ ﾃｷｽﾄ ﾊﾝｶｸ ｶﾅ\n"),
       Encoding::ShiftJis},
      {"Shift_JIS half-width katakana line",
       Encoded(Encoding::ShiftJis, u"ﾃﾞｰﾀﾍﾞｰｽ ｻｰﾊﾞ ﾌｧｲﾙ ﾒｲ\n"), Encoding::ShiftJis},
      // Short lines made of half-width katakana alone: the two to four kanji their bytes spell
      // in EUC-JP are the likelier reading character by character.
      {"Shift_JIS half-width katakana word", Encoded(Encoding::ShiftJis, u"ﾏｲｸﾛﾌｨﾙﾑ"),
       Encoding::ShiftJis},
      {"Shift_JIS half-width katakana name", Encoded(Encoding::ShiftJis, u"ｼﾓｽｷﾞ･ﾂｸﾊﾞ\r\n"),
       Encoding::ShiftJis},
      {"Shift_JIS four half-width katakana", Encoded(Encoding::ShiftJis, u"ﾕｷﾃﾙ\r\n"),
       Encoding::ShiftJis},
      {"EUC-JP half-width katakana", Encoded(Encoding::EucJp, u"ｺﾝﾋﾟｭｰﾀ ｼｽﾃﾑ ｶﾞｲﾄﾞ\n"),
       Encoding::EucJp},
      {"EUC-JP two kanji in 4 KB of ASCII",
       Cat({AsciiFiller(2048), Encoded(Encoding::EucJp, u"会社 "), AsciiFiller(2048)}),
       Encoding::EucJp},
      {"EUC-JP name in 4 KB of ASCII",
       Cat({AsciiFiller(2048), Encoded(Encoding::EucJp, u"山田 "), AsciiFiller(2048)}),
       Encoding::EucJp},
      {"EUC-JP short line", Encoded(Encoding::EucJp, u"山田さんの会社\n"), Encoding::EucJp},
      {"Shift_JIS level-2 kanji", Encoded(Encoding::ShiftJis, u"濤瀾\n"), Encoding::ShiftJis},
  };
  for (const Case& c : cases) {
    const Encoding other = c.expected == Encoding::ShiftJis ? Encoding::EucJp : Encoding::ShiftJis;
    EXPECT_TRUE(IsStrictlyValid(other, c.bytes)) << c.name << " is not ambiguous";
  }
  ExpectAll(cases);
}

// Two-byte UTF-8 sequences are often valid EUC-JP (and Shift_JIS) too.
TEST(DetectEncoding, ShortUtf8LatinIsNotTakenForKanji) {
  std::vector<Case> cases;
  for (const char16_t* word :
       {u"café\n", u"naïve\n", u"25°C\n", u"Straße\n", u"résumé\n", u"Zürich\n", u"©2020\n"}) {
    cases.push_back({"Latin word", Encoded(Encoding::Utf8, word), Encoding::Utf8});
    EXPECT_TRUE(IsStrictlyValid(Encoding::EucJp, cases.back().bytes) ||
                IsStrictlyValid(Encoding::ShiftJis, cases.back().bytes));
  }
  ExpectAll(cases);
}

// The first 256 KB decide; a pure-ASCII head gives way to the first byte that can tell.
TEST(DetectEncoding, LongFilesAreDecidedFromASample) {
  const Bytes sjis = Encoded(Encoding::ShiftJis, u"ファイルの末尾にある日本語の説明。\n");
  Bytes sjisBody;
  while (sjisBody.size() < 600 * 1024) sjisBody.insert(sjisBody.end(), sjis.begin(), sjis.end());
  // Move the sample's end into the middle of a character.
  Bytes cut = Cat({Raw("x"), sjisBody});
  ExpectAll({
      {"Japanese after 1 MB of ASCII", Cat({AsciiFiller(1 << 20), sjis}), Encoding::ShiftJis},
      {"NUL after 1 MB of ASCII", Cat({AsciiFiller(1 << 20), Bytes{0, 'a'}}), Encoding::Ascii},
      {"JIS after 1 MB of ASCII",
       Cat({AsciiFiller(1 << 20), Encoded(Encoding::Iso2022Jp, u"日本語\n")}), Encoding::Iso2022Jp},
      {"long Shift_JIS", sjisBody, Encoding::ShiftJis},
      {"long Shift_JIS shifted by one byte", cut, Encoding::ShiftJis},
      {"UTF-8 after 1 MB of ASCII with terminal colours",
       Cat({Raw("\x1B[1mbold\x1B[0m\n"), AsciiFiller(1 << 20),
            Encoded(Encoding::Utf8, u"ログの末尾\n")}),
       Encoding::Utf8},
      {"2 MB of ASCII", AsciiFiller(2 << 20), Encoding::Ascii},
  });
}

TEST(DetectEncoding, BrokenBytesGetTheCodeThatExplainsTheRest) {
  const std::u16string text = u"壊れたバイトを一つだけ含むテキストです。\n";
  const Bytes sjis = Encoded(Encoding::ShiftJis, text);
  const Bytes euc = Encoded(Encoding::EucJp, text);
  const Bytes utf8 = Encoded(Encoding::Utf8, text);
  ExpectAll({
      {"Shift_JIS with a stray 0xFF", Cat({sjis, Raw("\xFF"), sjis}), Encoding::ShiftJis},
      {"EUC-JP with a lone lead byte", Cat({euc, Raw("\xB0"), euc}), Encoding::EucJp},
      {"UTF-8 cut inside its last character", Bytes(utf8.begin(), utf8.end() - 2), Encoding::Utf8},
      {"UTF-8 with a stray continuation byte", Cat({utf8, Raw("\x80"), utf8}), Encoding::Utf8},
  });
}

}  // namespace
}  // namespace morvelle::text

namespace morvelle::text {
namespace {

// Whatever the bytes, recognition answers without reading outside them (run under ASan), also
// when the sample boundary falls inside a character or an escape.
TEST(DetectEncoding, AnyBytesGetAnAnswer) {
  std::uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<unsigned char>(seed >> 24);
  };
  const unsigned char alphabet[] = {0x00, 0x0A, 0x1B, '$',  '(',  'B',  'I',  0x41, 0x80,
                                    0x8E, 0x8F, 0xA1, 0xC3, 0xE0, 0xEF, 0xF0, 0xFD, 0xFF};
  for (int round = 0; round < 3000; ++round) {
    Bytes bytes(next() % 64);
    for (auto& b : bytes) b = (round % 2) ? next() : alphabet[next() % sizeof alphabet];
    (void)DetectEncoding(bytes);
  }
  for (std::size_t size : {256u * 1024 - 1, 256u * 1024, 256u * 1024 + 1, 600u * 1024}) {
    Bytes bytes(size, 'a');
    for (std::size_t k = size - 8; k < size; ++k) bytes[k] = 0x82;
    EXPECT_EQ(DetectEncoding(bytes), Encoding::ShiftJis) << size;  // ｂｂｂｂ at the very end
    if (size > 256u * 1024) {
      bytes[256 * 1024 - 1] = 0xE3;  // a lead byte just before the sample's end
      (void)DetectEncoding(bytes);
    }
  }
}

}  // namespace
}  // namespace morvelle::text
