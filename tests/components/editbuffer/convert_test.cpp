// ConvertFile: every source code to every target, byte-for-byte copies for a source already in
// the target code, and failures that name the file and write nothing.

#include "editbuffer/convert.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "editbuffer/file_buffer.h"
#include "sample_text.h"
#include "temp_dir.h"

namespace morvelle::editbuffer {
namespace {

using testing::Encoded;
using testing::ErrorOf;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using text::Encoding;
using namespace std::string_literals;

// Long and varied enough to leave no doubt about its code; mixed line ends.
std::u16string Sample() {
  std::u16string t;
  for (int i = 0; i < 30; ++i) {
    t += u"日本語の文章です。ｶﾀｶﾅ、①Ⅱ、髙橋さんの﨑、～と−。\r\n";
    t += u"Plain ASCII line with ~ and \\.\n漢字かな交じり文\r";
  }
  return t;
}

std::string Repeated(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

struct Target {
  TargetCode code;
  Encoding encoding;
  bool bom;
};
const Target kTargets[] = {{TargetCode::ShiftJis, Encoding::ShiftJis, false},
                           {TargetCode::EucJp, Encoding::EucJp, false},
                           {TargetCode::Jis, Encoding::Iso2022Jp, false},
                           {TargetCode::Utf16LeBom, Encoding::Utf16Le, true},
                           {TargetCode::Utf8, Encoding::Utf8, false}};

TEST(ConvertFile, EverySourceToEveryTarget) {
  TempDir dir;
  const std::u16string text = Sample();
  for (Encoding source : {Encoding::ShiftJis, Encoding::EucJp, Encoding::Iso2022Jp, Encoding::Utf8,
                          Encoding::Utf8Bom, Encoding::Utf16Le, Encoding::Utf16Be}) {
    const std::string input = Encoded(source, text);
    WriteFile(dir / "in.txt", input);
    for (const Target& t : kTargets) {
      SCOPED_TRACE(std::string(text::EncodingName(source)) + " -> " +
                   std::string(text::EncodingName(t.encoding)));
      ConvertFile(dir / "in.txt", dir / "in.txt.exp", t.code);
      // −, ‖ and the like come back as the characters the source's code decodes them to.
      std::u16string decoded = text::DecodeText(
          source, {reinterpret_cast<const unsigned char*>(input.data()), input.size()});
      EXPECT_TRUE(ReadFile(dir / "in.txt.exp") == Encoded(t.encoding, decoded, t.bom));
    }
    EXPECT_EQ(ReadFile(dir / "in.txt"), input);  // the source is never touched
  }
}

TEST(ConvertFile, SourceInTheTargetCodeIsCopiedByteForByte) {
  TempDir dir;
  // ED40 and 8790 are duplicates that a decode and encode would rewrite (as FA5C and 81E0).
  std::string sjis = Encoded(Encoding::ShiftJis, Sample()) + "\xED\x40\x87\x90\r\n";
  std::string euc = Encoded(Encoding::EucJp, Sample()) + "\xAD\xF0\n";  // NEC row 13 ≒
  std::string jis = "\x1B$B\x30\x21\x1B(J~\x1B(B" + Encoded(Encoding::Iso2022Jp, Sample());
  struct Case {
    std::string input;
    TargetCode code;
    std::string expected;
  };
  const Case cases[] = {
      {sjis, TargetCode::ShiftJis, sjis},
      {euc, TargetCode::EucJp, euc},
      {jis, TargetCode::Jis, jis},
      {"\xFF\xFE" + Encoded(Encoding::Utf16Le, Sample(), false), TargetCode::Utf16LeBom,
       "\xFF\xFE" + Encoded(Encoding::Utf16Le, Sample(), false)},
      {Encoded(Encoding::Utf8, Sample()), TargetCode::Utf8, Encoded(Encoding::Utf8, Sample())},
      {Encoded(Encoding::Utf8Bom, Sample()), TargetCode::Utf8,
       Encoded(Encoding::Utf8, Sample())},  // BOM dropped
      {"plain ascii\r\n", TargetCode::ShiftJis, "plain ascii\r\n"},
      // Files read in blocks, of which every pair, or every three bytes, straddle the ends.
      {"a" + Repeated("\xED\x40\x87\x90" + Encoded(Encoding::ShiftJis, u"漢字"), 50000),
       TargetCode::ShiftJis,
       "a" + Repeated("\xED\x40\x87\x90" + Encoded(Encoding::ShiftJis, u"漢字"), 50000)},
      {"ab" + Repeated(Encoded(Encoding::Utf8, u"漢字かな"), 40000), TargetCode::Utf8,
       "ab" + Repeated(Encoded(Encoding::Utf8, u"漢字かな"), 40000)},
  };
  for (const Case& c : cases) {
    WriteFile(dir / "in.txt", c.input);
    ConvertFile(dir / "in.txt", dir / "out.exp", c.code);
    EXPECT_TRUE(ReadFile(dir / "out.exp") == c.expected) << "case " << &c - cases;
  }
}

TEST(ConvertFile, FailuresNameTheFileAndWriteNothing) {
  TempDir dir;
  const std::string in = dir / "in.txt", out = dir / "in.txt.exp";
  struct Case {
    std::string input;
    TargetCode code;
    std::string message;  // after the path
  };
  const Case cases[] = {
      {Encoded(Encoding::Utf8, u"一行目\n二行目 😀\n"), TargetCode::ShiftJis,
       " の 2 行 5 列目の U+1F600 を Shift_JIS で表せません"},
      {Encoded(Encoding::Utf8, u"外字\uE000です"), TargetCode::Jis,
       " の 1 行 3 列目の U+E000 を ISO-2022-JP で表せません"},
      {std::string("\x00\x01\x02\x03\xFF\x00\x10\x80", 8) + std::string(4000, '\0'),
       TargetCode::Utf8, ""},
  };
  for (const Case& c : cases) {
    WriteFile(in, c.input);
    std::string error = ErrorOf([&] { ConvertFile(in, out, c.code); });
    EXPECT_NE(error.find(in), std::string::npos) << error;
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(out)) << error;
  }
  EXPECT_EQ(
      ErrorOf([&] { ConvertFile(dir / "missing", out, TargetCode::ShiftJis); }),
      "ファイルを開けません: " + (dir / "missing") + " (ファイルまたはフォルダーが見つかりません)");
  EXPECT_EQ(dir.entries(), 1u);
}

// A stray NUL or an unknown escape leaves the file its code; converting it, even to that code,
// stops at the byte like any other undecodable one.
TEST(ConvertFile, StrayBytesStopItNamingByteLineAndColumn) {
  TempDir dir;
  const std::string in = dir / "in.txt", out = dir / "in.txt.exp";
  const std::string jis = Encoded(Encoding::Iso2022Jp, u"日本語\n");  // ESC $ B 日本語 ESC ( B
  struct Case {
    std::string input;
    TargetCode code;
    std::string where;
  };
  const Case cases[] = {
      {Encoded(Encoding::ShiftJis, u"一行目\n二行") + '\xFF' + Encoded(Encoding::ShiftJis, u"目\n"),
       TargetCode::Utf8, "2 行 3 列目のバイト 0xFF (Shift_JIS として)"},
      {"\xFF\xFE"
       "a\0\n\0b\0\0\xD8"
       "c\0"s,
       TargetCode::ShiftJis, "2 行 2 列目のバイト 0x00 (UTF-16LE として)"},
      // in a later block of a file copied in its own code
      {Repeated(Encoded(Encoding::ShiftJis, u"一行目\n"), 50000) + "a\x85", TargetCode::ShiftJis,
       "50001 行 2 列目のバイト 0x85 (Shift_JIS として)"},
      // a set we do not read (JIS X 0213): its escape is named
      {jis.substr(0, 7) + "\x1B$(Q\x30\x21" + jis.substr(7), TargetCode::Utf8,
       "1 行 3 列目のエスケープシーケンス ESC $ ( Q (ISO-2022-JP として)"},
  };
  for (const Case& c : cases) {
    WriteFile(in, c.input);
    EXPECT_EQ(ErrorOf([&] { ConvertFile(in, out, c.code); }),
              "読めないバイトがあるので変換できません: " + in + " の " + c.where);
    EXPECT_FALSE(std::filesystem::exists(out));
  }
}

TEST(ConvertFile, ExistingDestinationSurvivesAFailure) {
  TempDir dir;
  WriteFile(dir / "in.txt", Encoded(Encoding::Utf8, u"絵文字 😀"));
  WriteFile(dir / "in.txt.exp", "earlier");
  EXPECT_THROW(ConvertFile(dir / "in.txt", dir / "in.txt.exp", TargetCode::EucJp), BufferError);
  EXPECT_EQ(ReadFile(dir / "in.txt.exp"), "earlier");
}

}  // namespace
}  // namespace morvelle::editbuffer
