// The buffer's promises: an untouched file comes back byte for byte, and edits keep every byte
// outside them (ISO-2022-JP seams included).

#include "editbuffer/file_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "sample_text.h"
#include "temp_dir.h"

namespace morvelle::editbuffer {
namespace {

using namespace std::string_literals;
using testing::Encoded;
using testing::ErrorOf;
using testing::kSample;
using testing::Span;
using text::Encoding;

const Encoding kAll[] = {Encoding::Ascii,     Encoding::ShiftJis, Encoding::EucJp,
                         Encoding::Iso2022Jp, Encoding::Utf8,     Encoding::Utf8Bom,
                         Encoding::Utf16Le,   Encoding::Utf16Be,  Encoding::Binary};

TEST(FileBuffer, UntouchedBytesComeBackInEveryCode) {
  std::mt19937 random(7);
  std::vector<std::string> inputs = {"",
                                     "\xEF\xBB\xBF",
                                     "\xFF\xFE"
                                     "a"s,
                                     "\xED\x40\xEE\xFC\xFA\x5C",  // NEC-selected IBM codes
                                     "a\r\nb\rc\n\x82\xA0\x81",
                                     "\x1B$B\x30\x21\x1B(B\x1B$B",
                                     "\x1B(I\x31\r\n\x0E\x32\x0F"};
  for (Encoding e : {Encoding::ShiftJis, Encoding::EucJp, Encoding::Iso2022Jp, Encoding::Utf8,
                     Encoding::Utf16Le}) {
    inputs.push_back(Encoded(e, kSample));
  }
  for (int n = 0; n < 40; ++n) {
    std::string bytes(random() % 300, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    inputs.push_back(bytes);
  }
  for (const std::string& input : inputs) {
    for (Encoding e : kAll) {
      FileBuffer buffer;
      buffer.loadBytes(input, "f", e);
      buffer.setText(std::u16string(buffer.text()));  // the same text: nothing changes
      EXPECT_TRUE(buffer.unchanged());
      ASSERT_EQ(buffer.bytes("f"), input) << text::EncodingName(e);
    }
  }
}

// The test's own model of the text: for each unit, the original unit it is, or -1 if new.
struct Model {
  std::u16string text;
  std::vector<long> origin;
};

void Apply(Model& m, const std::vector<Edit>& edits) {
  Model next;
  std::size_t at = 0;
  for (const Edit& e : edits) {
    next.text.append(m.text, at, e.start - at);
    next.origin.insert(next.origin.end(), m.origin.begin() + static_cast<long>(at),
                       m.origin.begin() + static_cast<long>(e.start));
    next.text += e.replacement;
    next.origin.insert(next.origin.end(), e.replacement.size(), -1);
    at = e.start + e.length;
  }
  next.text.append(m.text, at);
  next.origin.insert(next.origin.end(), m.origin.begin() + static_cast<long>(at), m.origin.end());
  m = std::move(next);
}

// Random edits at character boundaries, sorted and disjoint.
std::vector<Edit> RandomEdits(std::u16string_view t, std::mt19937& random) {
  static const std::u16string pieces[] = {u"", u"x", u"漢字", u"ｱｲ", u"\r\n", u"①", u"abc"};
  std::vector<Edit> edits;
  std::size_t at = 0;
  while (at < t.size()) {
    at += random() % 12;
    if (at >= t.size()) break;
    std::size_t length = std::min<std::size_t>(random() % 4, t.size() - at);
    edits.push_back({at, length, pieces[random() % std::size(pieces)]});
    at += length + 1;
  }
  return edits;
}

TEST(FileBuffer, EditsKeepEveryByteOutsideThem) {
  std::mt19937 random(11);
  for (Encoding e : {Encoding::ShiftJis, Encoding::EucJp, Encoding::Iso2022Jp, Encoding::Utf8,
                     Encoding::Utf8Bom, Encoding::Utf16Le, Encoding::Utf16Be}) {
    SCOPED_TRACE(text::EncodingName(e));
    std::string original;
    // Broken bytes between the lines where the code has bytes that are invalid whatever
    // surrounds them; they must survive edits next to them as they are.
    const char* junk = e == Encoding::ShiftJis ? "\x80\xA0\xFD"
                       : e == Encoding::EucJp  ? "\xFF"
                       : e == Encoding::Utf8   ? "\xC0\xFF"
                                               : "";
    for (int i = 0; i < 20; ++i) {
      text::Encode(e, kSample, original, nullptr, {.bom = i == 0});
      original += junk;
    }
    const text::Decoded decoded = text::Decode(e, Span(original));
    for (int round = 0; round < 5; ++round) {
      FileBuffer buffer;
      buffer.loadBytes(original, "f", e);
      Model model{std::u16string(buffer.text()), {}};
      for (std::size_t i = 0; i < model.text.size(); ++i) model.origin.push_back(long(i));
      for (int rule = 0; rule < 6; ++rule) {  // a chain of rules, each on the last one's text
        auto edits = RandomEdits(buffer.text(), random);
        buffer.applyEdits(edits);
        Apply(model, edits);
        ASSERT_EQ(buffer.text(), model.text);
      }
      const std::string saved = buffer.bytes("f");
      EXPECT_EQ(text::DecodeText(e, Span(saved)), model.text);
      // Each run of untouched original units is in the output, in order, as its own bytes.
      std::size_t cursor = 0;
      for (std::size_t i = 0; i < model.origin.size();) {
        if (model.origin[i] < 0) {
          ++i;
          continue;
        }
        std::size_t j = i + 1;
        while (j < model.origin.size() && model.origin[j] == model.origin[j - 1] + 1) ++j;
        auto from = decoded.offsets[std::size_t(model.origin[i])];
        auto to = decoded.offsets[std::size_t(model.origin[j - 1]) + 1];
        std::size_t found = saved.find(original.substr(from, to - from), cursor);
        ASSERT_NE(found, std::string::npos) << "units " << i << ".." << j;
        cursor = found + (to - from);
        i = j;
      }
    }
  }
}

TEST(FileBuffer, JisSeamsRestoreTheEscapeState) {
  struct Case {
    std::string original;
    std::vector<Edit> edits;
    std::string saved;
  };
  const Case cases[] = {
      // ASCII inserted into a kanji run: out to ASCII and back to JIS X 0208
      {"\x1B$B\x34\x41\x3B\x7A\x1B(B", {{1, 0, u"x"}}, "\x1B$B\x34\x41\x1B(Bx\x1B$B\x3B\x7A\x1B(B"},
      // kanji replacing kanji: no shift needed at either seam
      {"\x1B$B\x34\x41\x3B\x7A\x1B(B", {{0, 1, u"亜"}}, "\x1B$B\x30\x21\x3B\x7A\x1B(B"},
      // kana after JIS Roman; the original's ESC ( J is restored after it
      {"\x1B(Jab", {{1, 0, u"ｱ"}}, "\x1B(Ja\x1B(I\x31\x1B(Jb"},
      // new text at the end returns to ASCII
      {"a\x1B$B\x34\x41", {{2, 0, u"字"}}, "a\x1B$B\x34\x41\x3B\x7A\x1B(B"},
      // text inside an SO run: SI for ours, SO again for the original
      {"\x0E\x31\x32\x0F", {{1, 0, u"漢"}}, "\x0E\x31\x1B$B\x0F\x34\x41\x1B(B\x0E\x32\x0F"},
  };
  for (const Case& c : cases) {
    FileBuffer buffer;
    buffer.loadBytes(c.original, "f", Encoding::Iso2022Jp);
    buffer.applyEdits(c.edits);
    EXPECT_EQ(buffer.bytes("f"), c.saved) << c.original;
  }
}

TEST(FileBuffer, HeadAndTailKeepTheirBytesAndBom) {
  FileBuffer buffer;
  buffer.loadBytes("\xED\x40-\x81\x60-\xED\x40", "f", Encoding::ShiftJis);
  std::u16string t(buffer.text());
  t[2] = u'〜';  // U+301C writes as 8160 too: an equal-byte change
  t[1] = u'+';
  buffer.setText(t);
  EXPECT_EQ(buffer.bytes("f"), "\xED\x40+\x81\x60-\xED\x40");  // ED40 is not rewritten FA5C

  buffer.loadBytes("\xED\x40", "f", Encoding::ShiftJis);
  buffer.applyEdits({{0, 1, u"纊"}, {1, 0, u""}});  // a rule that puts back what it matched
  EXPECT_TRUE(buffer.unchanged());

  buffer.loadBytes(
      "\xEF\xBB\xBF"
      "abc",
      "f", Encoding::Utf8Bom);
  buffer.applyEdits({{0, 1, u"あ"}});
  EXPECT_EQ(buffer.bytes("f"),
            "\xEF\xBB\xBF\xE3\x81\x82"
            "bc");
  buffer.loadBytes(
      "\xFE\xFF\x00"
      "a"s,
      "f", Encoding::Utf16Be);
  buffer.applyEdits({{1, 0, u"b"}});
  EXPECT_EQ(buffer.bytes("f"),
            "\xFE\xFF\x00"
            "a\x00"
            "b"s);
}

TEST(FileBuffer, SplitSurrogatePairIsWrittenAnew) {
  FileBuffer buffer;
  buffer.loadBytes(
      "\x3D\xD8\x00\xDE"
      "a\x00"s,
      "f", Encoding::Utf16Le);        // 😀a
  buffer.applyEdits({{0, 1, u"x"}});  // only the high half
  EXPECT_EQ(buffer.bytes("f"),
            "x\x00\x00\xDE"
            "a\x00"s);
  buffer.loadBytes("\xF0\x9F\x98\x80", "f", Encoding::Utf8);
  buffer.applyEdits({{1, 1, u""}});
  EXPECT_THROW(buffer.bytes("f"), BufferError);  // a lone surrogate has no UTF-8 form
}

// setText keeps the common head and tail; 😀 → 😁 share their first half and 😀 → 🈀 their
// second, which once became a cut inside the pair and a lone half that no code can write.
TEST(FileBuffer, SetTextNeverCutsASurrogatePairSharedByOldAndNewText) {
  const std::u16string before = u"a😀b 😀";
  const std::u16string after = u"a😁b 🈀";
  for (Encoding e : {Encoding::Utf8, Encoding::Utf8Bom, Encoding::Utf16Le, Encoding::Utf16Be}) {
    SCOPED_TRACE(std::string(text::EncodingName(e)));
    FileBuffer buffer;
    buffer.loadBytes(Encoded(e, before), "f", e);
    buffer.setText(after);
    EXPECT_EQ(buffer.text(), after);
    EXPECT_EQ(buffer.bytes("f"), Encoded(e, after));
  }
}

TEST(FileBuffer, UnencodableCharacterNamesFileLineAndColumn) {
  FileBuffer buffer;
  buffer.loadBytes(Encoded(Encoding::ShiftJis, u"一\r\n二\n三四五六七"), "/home/user/memo.txt",
                   Encoding::ShiftJis);
  buffer.applyEdits({{9, 0, u"😀"}});
  try {
    (void)buffer.bytes("/home/user/memo.txt");
    FAIL();
  } catch (const BufferError& e) {
    EXPECT_STREQ(e.what(),
                 "書き込めない文字があります: /home/user/memo.txt の 3 行 5 列目の U+1F600 を "
                 "Shift_JIS で表せません");
  }
}

// A stray NUL or an unknown escape stays byte for byte while rules change the text around it.
// Kept unreadable bytes never join what an edit puts after them into another character: the
// save reads them back and refuses, naming the place.
TEST(FileBuffer, KeptBytesThatWouldJoinAnEditStopTheSave) {
  struct Case {
    std::string bytes;
    Encoding code;
    std::size_t at, length;  // the edit, which puts "B" or nothing there
    std::u16string to;
    std::string where;
  };
  const Case cases[] = {
      {"x\xE3\x81\n\x82y\n", Encoding::Utf8, 3, 1, u"", "1 行 4 列目"},       // E3 81 82: あ
      {"\x93\x8C\x82\r\nA\n", Encoding::ShiftJis, 2, 2, u"", "1 行 3 列目"},  // 82 41: Ａ
      {"\x1B$(Q\x30\x21\x1B(B\n\x1B$\n", Encoding::Iso2022Jp, 9, 1, u"B", "2 行 1 列目"},
  };
  for (const Case& c : cases) {
    FileBuffer buffer;
    buffer.loadBytes(c.bytes, "f", c.code);
    buffer.applyEdits({Edit{c.at, c.length, c.to}});
    EXPECT_EQ(ErrorOf([&] { (void)buffer.bytes("f"); }),
              "書き込めません: f の " + c.where +
                  "で、元のまま残す読めないバイトが前後とつながり、別の文字として読まれます");
  }
}

TEST(FileBuffer, StrayBytesStayWhileTheTextAroundThemChanges) {
  const std::string jis = Encoded(Encoding::Iso2022Jp, u"日本語\n");  // ESC $ B 日本語 ESC ( B
  struct Case {
    std::string bytes;
    Encoding code;
    std::u16string from, to;
    std::string saved;
  };
  const Case cases[] = {
      {"foo\0bar\nbaz foo\n"s, Encoding::Ascii, u"foo", u"X", "X\0bar\nbaz X\n"s},
      {Encoded(Encoding::ShiftJis, u"日本語foo") + '\0' +
           Encoded(Encoding::ShiftJis, u"テキスト\n"),
       Encoding::ShiftJis, u"テキスト", u"文章",
       Encoded(Encoding::ShiftJis, u"日本語foo") + '\0' + Encoded(Encoding::ShiftJis, u"文章\n")},
      {jis.substr(0, 7) + "\x1B$)Z" + jis.substr(7), Encoding::Iso2022Jp, u"語", u"話",
       jis.substr(0, 7) + "\x1B$)Z" + Encoded(Encoding::Iso2022Jp, u"話\n").substr(3)},
      // a set we do not read: its bytes are out of reach, the text after it is not
      {"\x1B$(Q\x30\x21\x1B(B-a-\n", Encoding::Iso2022Jp, u"-", u"+", "\x1B$(Q\x30\x21\x1B(B+a+\n"},
  };
  for (const Case& c : cases) {
    FileBuffer buffer;
    buffer.loadBytes(c.bytes, "f");
    EXPECT_EQ(buffer.encoding(), c.code) << c.saved;
    std::vector<Edit> edits;
    for (std::size_t at = buffer.text().find(c.from); at != std::u16string::npos;
         at = buffer.text().find(c.from, at + 1)) {
      edits.push_back({at, c.from.size(), c.to});
    }
    buffer.applyEdits(edits);
    EXPECT_EQ(buffer.bytes("f"), c.saved);
  }
}

TEST(FileBuffer, EditsOutOfOrderOrRangeAreRefused) {
  FileBuffer buffer;
  buffer.loadBytes("abcdef", "f", Encoding::Ascii);
  const std::vector<std::vector<Edit>> bad = {
      {{3, 1, u"x"}, {1, 1, u"y"}}, {{2, 2, u"x"}, {3, 1, u"y"}}, {{5, 2, u"x"}}, {{7, 0, u"x"}}};
  for (const auto& edits : bad) EXPECT_THROW(buffer.applyEdits(edits), BufferError);
  EXPECT_EQ(buffer.text(), u"abcdef");
  buffer.applyEdits({{0, 0, u"<"}, {6, 0, u">"}});
  EXPECT_EQ(buffer.text(), u"<abcdef>");
}

TEST(FileBuffer, LongChainOfRulesStaysExact) {
  // Many rules with many matches each: the piece list must stay correct as it fragments.
  std::u16string text;
  for (int i = 0; i < 2000; ++i) text += u"ab漢";
  FileBuffer buffer;
  buffer.loadBytes(Encoded(Encoding::ShiftJis, text), "f", Encoding::ShiftJis);
  for (int rule = 0; rule < 50; ++rule) {
    std::vector<Edit> edits;
    const std::u16string_view now = buffer.text();
    for (std::size_t i = rule % 3; i < now.size(); i += 7) edits.push_back({i, 1, u"字"});
    buffer.applyEdits(edits);
  }
  EXPECT_EQ(text::DecodeText(Encoding::ShiftJis, Span(buffer.bytes("f"))), buffer.text());
}

TEST(FileBuffer, MayHoldNeverSaysNoWhereTheTextHoldsOneOrAByteIsUnreadable) {
  // From the bytes, before decoding, as the decoded text answers: "no" lets rules skip the file.
  const std::vector<std::u16string> needed[] = {{u"概要"},    {u"①"},  {u"Ⅰ"},    {u"∵"},
                                                {u"~\\"},     {u"髙"}, {u"要\r"}, {u"ﾀ"},
                                                {u"x", u"😀"}, {u"る"}, {u"¥"}};
  std::vector<std::pair<std::string, Encoding>> files;
  for (Encoding e : kAll) {
    if (e != Encoding::Binary && e != Encoding::Ascii) files.emplace_back(Encoded(e, kSample), e);
  }
  // ∵ as CP932 and eucJP-ms write it, and in its other codes (NEC row 13, IBM rows).
  for (const char* s : {"\x81\xE6", "\x87\x9A", "\xFA\x5B", "\xA2\xE8", "\xAD\xFA"}) {
    files.emplace_back(s, Encoding::ShiftJis);
    files.emplace_back(s, Encoding::EucJp);
  }
  // 概要, and 概 before a lead byte cut off.
  files.emplace_back("\x8a\x54\x97\x76", Encoding::ShiftJis);
  files.emplace_back("\x8a\x54\x97", Encoding::ShiftJis);
  files.emplace_back("abc", Encoding::Ascii);
  int nos = 0;
  for (const auto& [bytes, code] : files) {
    for (const auto& texts : needed) {
      for (bool recognise : {false, true}) {
        FileBuffer buffer;
        if (recognise) {
          buffer.loadBytes(bytes, "f");
        } else {
          buffer.loadBytes(bytes, "f", code);
        }
        const bool may = buffer.mayHold(texts);
        const std::u16string_view text = buffer.text();
        EXPECT_EQ(text, text::DecodeText(buffer.encoding(), Span(bytes)));
        const bool holds = std::any_of(texts.begin(), texts.end(), [&](const auto& t) {
          return text.find(t) != std::u16string_view::npos;
        });
        if (!may) ++nos;
        EXPECT_TRUE(may || (!holds && buffer.unreadable().count == 0))
            << text::EncodingName(buffer.encoding()) << " " << ::testing::PrintToString(bytes);
        EXPECT_EQ(buffer.bytes("f"), bytes);
      }
    }
  }
  EXPECT_GT(nos, 20);
}

TEST(FileBuffer, RulesAppliedToTheBytesGiveWhatTheDecodedTextGives) {
  // Trail bytes that are ASCII (ソ and 表 end in 5C, 能 in 5C, @ is a trail byte), a character
  // that has two codes (∵), half-width kana, a pattern that repeats.
  const std::u16string texts[] = {kSample, u"ソース表示@能力\\ソソソ ｶﾀｶﾅ 概要\r\n∵髙~ 表\\"};
  const LiteralEdit rules[] = {{u"\\", u"/", true},    {u"@", u"＠", true},
                               {u"ソ", u"そ", true},   {u"概要", u"まとめの章", false},
                               {u"要\r", u"", true},   {u"ｶﾀ", u"カタ", true},
                               {u"髙", u"高", true},   {u"∵", u"x", true},
                               {u"ソソ", u"ソ", true}, {u"~", u"～", true},
                               {u"ソ", u"ソ", true}};
  std::vector<std::pair<std::string, bool>> files;  // bytes, whether rules may go by them
  for (const std::u16string& t : texts) {
    for (Encoding e : {Encoding::ShiftJis, Encoding::EucJp, Encoding::Utf8, Encoding::Utf8Bom}) {
      files.emplace_back(Encoded(e, t), true);
    }
    for (Encoding e : {Encoding::Iso2022Jp, Encoding::Utf16Le})
      files.emplace_back(Encoded(e, t), false);
    files.emplace_back(Encoded(Encoding::ShiftJis, t) + "\x85", false);  // an unreadable byte
    files.emplace_back(Encoded(Encoding::EucJp, t) + "\x8F", false);     // a character cut off
  }
  // EUC-JP's C1 controls are characters of one byte, as ASCII ones are.
  files.emplace_back(
      Encoded(Encoding::EucJp, u"これは\u0095ソースの表示です。\u0085ソースを表示します。"), true);
  int onBytes = 0;
  for (const auto& [bytes, byBytes] : files) {
    for (const LiteralEdit& rule : rules) {
      SCOPED_TRACE(::testing::PrintToString(bytes) + " rule " +
                   std::to_string(&rule - std::begin(rules)));
      // The decoded way: leftmost occurrences, never overlapping.
      FileBuffer decoded;
      decoded.loadBytes(bytes, "f");
      const std::u16string_view text = decoded.text();
      std::vector<Edit> edits;
      for (std::size_t at = text.find(rule.pattern); at != std::u16string_view::npos;
           at = text.find(rule.pattern, at + rule.pattern.size())) {
        edits.push_back({at, rule.pattern.size(), rule.replacement});
        if (!rule.global) break;
      }
      decoded.applyEdits(edits);

      FileBuffer buffer;
      buffer.loadBytes(bytes, "f");
      const std::optional<std::vector<std::size_t>> counts = buffer.replaceLiterals({rule});
      if (!counts) {
        EXPECT_EQ(buffer.bytes("f"), bytes);
        continue;
      }
      ++onBytes;
      EXPECT_TRUE(byBytes);
      // Spans changed: none where the rule puts back what it finds.
      const std::size_t changed = rule.pattern == rule.replacement ? 0 : edits.size();
      EXPECT_EQ(*counts, std::vector<std::size_t>{changed});
      EXPECT_EQ(buffer.bytes("f"), decoded.bytes("f"));
      EXPECT_EQ(buffer.text(), decoded.text());
      EXPECT_EQ(buffer.unreadable().count, 0u);
    }
  }
  EXPECT_GT(onBytes, 60);
}

}  // namespace
}  // namespace morvelle::editbuffer
