#include "avi_clip.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <random>

#include "clip_bytes.h"

namespace morvelle::animation {
namespace {

using testing::AvihField;
using testing::BitmapField;
using testing::IndexedClip;
using testing::PutU16;
using testing::PutU32;
using testing::RawRleClip;
using testing::StrhField;
using testing::ToQt;

constexpr QRgb kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kBlack = 0xFF000000;

QByteArray GeneratedClip() {
  QFile f(QString::fromUtf8(MORVELLE_TEST_FILEFIND_AVI));
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << MORVELLE_TEST_FILEFIND_AVI;
  return f.readAll();
}

std::vector<QRgb> Pixels(const QImage& img) {
  std::vector<QRgb> out;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) out.push_back(img.pixel(x, y));
  return out;
}

// Decoding must fail with a ClipError whose cause mentions `expected`.
void ExpectCause(const QByteArray& data, const QString& expected) {
  try {
    DecodeClip(data);
    ADD_FAILURE() << "decoded, expected: " << expected.toStdString();
  } catch (const ClipError& e) {
    EXPECT_TRUE(e.cause().contains(expected)) << e.cause().toStdString();
  }
}

TEST(GeneratedClip, IsTheSizeOfTheStatusAreaAndLoops) {
  const Clip clip = DecodeClip(GeneratedClip());
  EXPECT_EQ(clip.size, QSize(33, 25));
  EXPECT_EQ(clip.frames.size(), 24u);
  EXPECT_EQ(clip.frameIntervalMs, 83);
  for (const QImage& f : clip.frames) EXPECT_EQ(f.size(), clip.size);
  // The magnifier moves: no two neighbouring frames are the same picture.
  for (std::size_t i = 0; i < clip.frames.size(); ++i) {
    EXPECT_NE(clip.frames[i], clip.frames[(i + 1) % clip.frames.size()]) << "frame " << i;
  }
  // The top-left pixel is the transparency key; it must be the background in every frame.
  for (const QImage& f : clip.frames) EXPECT_EQ(f.pixel(0, 0), clip.frames[0].pixel(0, 0));
}

TEST(GeneratedClip, IsRle8) {
  const QByteArray data = GeneratedClip();
  EXPECT_EQ(data.mid(BitmapField(data, 14), 2), QByteArray("\x08\x00", 2));
  EXPECT_EQ(data.mid(BitmapField(data, 16), 4), QByteArray("\x01\x00\x00\x00", 4));
}

// Every stored kind of frame decodes to exactly the pixels written.
TEST(DecodeClip, UncompressedAndRleFramesRoundTrip) {
  // 5 wide so that 8 and 24-bit rows need padding; the RLE picture has runs and literals.
  const std::vector<std::uint8_t> a = {1, 1, 1, 1, 2, /**/ 3, 2, 1, 0, 3, /**/ 0, 0, 0, 0, 0};
  const std::vector<std::uint8_t> b = {2, 3, 2, 3, 2, /**/ 1, 1, 1, 1, 1, /**/ 3, 3, 0, 3, 3};
  const QRgb colours[] = {kBlack, kRed, kGreen, kBlue};
  for (bool rle : {false, true}) {
    SCOPED_TRACE(rle ? "rle8" : "8-bit");
    const Clip clip = DecodeClip(IndexedClip(5, 3, {a, b}, rle));
    ASSERT_EQ(clip.frames.size(), 2u);
    EXPECT_EQ(clip.frameIntervalMs, 50);
    std::vector<QRgb> wantA, wantB;
    for (auto i : a) wantA.push_back(colours[i]);
    for (auto i : b) wantB.push_back(colours[i]);
    EXPECT_EQ(Pixels(clip.frames[0]), wantA);
    EXPECT_EQ(Pixels(clip.frames[1]), wantB);
  }
  for (int bits : {24, 32}) {
    SCOPED_TRACE(bits);
    const int w = 3, h = 2, bpp = bits / 8;
    std::vector<std::uint8_t> px(w * h * bpp);
    for (std::size_t i = 0; i < px.size(); ++i) px[i] = static_cast<std::uint8_t>(17 * i + 5);
    AviFormat f{w, h, bits, AviCompression::Rgb, 40000, {}};
    AviWriter writer(f);
    writer.AddFrame(PackDib(px.data(), w, h, bits));
    const Clip clip = DecodeClip(ToQt(writer.Finish()));
    ASSERT_EQ(clip.frames.size(), 1u);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const std::uint8_t* p = px.data() + (y * w + x) * bpp;
        EXPECT_EQ(clip.frames[0].pixel(x, y), qRgb(p[2], p[1], p[0])) << x << "," << y;
      }
    }
  }
}

TEST(DecodeClip, TopDownDibIsNotFlipped) {
  const std::vector<std::uint8_t> px = {1, 2, /**/ 3, 0};
  QByteArray data = IndexedClip(2, 2, {px}, false);
  // Rows as stored: top-down now, so swap them and negate the height.
  const qsizetype bits = testing::Find(data, "00db") + 8;
  const QByteArray bottom = data.mid(bits, 4), top = data.mid(bits + 4, 4);
  data.replace(bits, 4, top);
  data.replace(bits + 4, 4, bottom);
  PutU32(data, BitmapField(data, 8), static_cast<std::uint32_t>(-2));
  const Clip clip = DecodeClip(data);
  EXPECT_EQ(Pixels(clip.frames[0]), (std::vector<QRgb>{kRed, kGreen, kBlue, kBlack}));
}

TEST(DecodeClip, FrameIntervalFallsBackToStreamRate) {
  QByteArray data = IndexedClip(1, 1, {{1}}, false);
  PutU32(data, AvihField(data, 0), 0);
  PutU32(data, StrhField(data, 20), 1);   // scale
  PutU32(data, StrhField(data, 24), 25);  // rate: 25 frames a second
  EXPECT_EQ(DecodeClip(data).frameIntervalMs, 40);
}

// RLE8 escapes as the classic decoders read them, each on a 4 x 2 picture.
TEST(DecodeClip, Rle8Escapes) {
  struct Case {
    const char* name;
    std::vector<std::vector<std::uint8_t>> payloads;
    std::vector<QRgb> lastFrame;  // top row first
  };
  const std::vector<Case> cases = {
      {"runs per line",
       {{4, 1, 0, 0, 4, 2, 0, 1}},
       {kGreen, kGreen, kGreen, kGreen, kRed, kRed, kRed, kRed}},
      {"absolute mode with pad byte",
       {{0, 3, 1, 2, 3, 0, 1, 0, 0, 0, 4, 3, 0, 1}},
       {kBlue, kBlue, kBlue, kBlue, kRed, kGreen, kBlue, kBlack}},
      {"delta skips pixels",
       {{0, 2, 1, 1, 2, 2, 0, 1}},
       {kBlack, kGreen, kGreen, kBlack, kBlack, kBlack, kBlack, kBlack}},
      {"delta frame keeps the earlier picture",
       {{4, 1, 0, 0, 4, 1, 0, 1}, {0, 2, 2, 0, 1, 3, 0, 1}},
       {kRed, kRed, kRed, kRed, kRed, kRed, kBlue, kRed}},
      {"empty chunk repeats the frame",
       {{4, 3, 0, 0, 4, 3, 0, 1}, {}},
       std::vector<QRgb>(8, kBlue)},
      {"missing end of picture",
       {{4, 2}},
       {kBlack, kBlack, kBlack, kBlack, kGreen, kGreen, kGreen, kGreen}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Clip clip = DecodeClip(RawRleClip(4, 2, c.payloads));
    ASSERT_EQ(clip.frames.size(), c.payloads.size());
    EXPECT_EQ(Pixels(clip.frames.back()), c.lastFrame);
  }
}

TEST(DecodeClip, BadRle8IsDamage) {
  const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> cases = {
      {"run past the line end", {5, 1, 0, 1}},
      {"absolute run past the line end", {0, 5, 1, 1, 1, 1, 1, 0, 0, 1}},
      {"absolute run past the data", {0, 4, 1, 1}},
      {"delta past the right edge", {0, 2, 5, 0, 0, 1}},
      {"delta below the picture", {0, 2, 0, 3, 0, 1}},
      {"more lines than the picture", {0, 0, 0, 0, 1, 1, 0, 1}},
      {"escape cut in half", {4, 1, 0}},
      {"delta cut in half", {0, 2, 1}},
  };
  for (const auto& [name, payload] : cases) {
    SCOPED_TRACE(name);
    ExpectCause(RawRleClip(4, 2, {payload}), QStringLiteral("RLE8 のデータが不正です"));
  }
}

TEST(DecodeClip, DamagedHeadersAreErrors) {
  const QByteArray good = IndexedClip(2, 2, {{0, 1, 2, 3}}, false);
  struct Case {
    const char* name;
    std::function<void(QByteArray&)> damage;
    QString cause;
  };
  const std::vector<Case> cases = {
      {"not RIFF", [](QByteArray& d) { d[0] = 'X'; }, QStringLiteral("AVI クリップではありません")},
      {"RIFF of another kind", [](QByteArray& d) { d.replace(8, 4, "WAVE"); },
       QStringLiteral("AVI クリップではありません")},
      {"empty file", [](QByteArray& d) { d.clear(); },
       QStringLiteral("AVI クリップではありません")},
      {"truncated", [](QByteArray& d) { d.chop(10); }, QStringLiteral("途中で切れています")},
      {"chunk larger than its list",
       [](QByteArray& d) { PutU32(d, testing::Find(d, "avih") + 4, 0x7FFFFFF0); },
       QStringLiteral("はみ出しています")},
      {"zero width", [](QByteArray& d) { PutU32(d, BitmapField(d, 4), 0); },
       QStringLiteral("大きさが不正です")},
      {"negative width", [](QByteArray& d) { PutU32(d, BitmapField(d, 4), 0xFFFFFFFE); },
       QStringLiteral("大きさが不正です")},
      {"height INT32_MIN", [](QByteArray& d) { PutU32(d, BitmapField(d, 8), 0x80000000u); },
       QStringLiteral("大きさが不正です")},
      {"huge picture", [](QByteArray& d) { PutU32(d, BitmapField(d, 4), 100000); },
       QStringLiteral("大きすぎます")},
      {"frame shorter than its picture", [](QByteArray& d) { PutU32(d, BitmapField(d, 4), 64); },
       QStringLiteral("データが足りません")},
      {"16-bit pixels", [](QByteArray& d) { PutU16(d, BitmapField(d, 14), 16); },
       QStringLiteral("16 ビット")},
      {"RLE4", [](QByteArray& d) { PutU32(d, BitmapField(d, 16), 2); }, QStringLiteral("圧縮形式")},
      {"palette of 300", [](QByteArray& d) { PutU32(d, BitmapField(d, 32), 300); },
       QStringLiteral("色数")},
      {"header size beyond strf", [](QByteArray& d) { PutU32(d, BitmapField(d, 0), 4000); },
       QStringLiteral("長さが不正です")},
      {"no video stream", [](QByteArray& d) { d.replace(testing::StrhField(d, 0), 4, "auds"); },
       QStringLiteral("映像のストリームがありません")},
      {"no frames", [](QByteArray& d) { d.replace(testing::Find(d, "00db"), 4, "01wb"); },
       QStringLiteral("フレームがありません")},
      {"no frame rate",
       [](QByteArray& d) {
         PutU32(d, AvihField(d, 0), 0);
         PutU32(d, StrhField(d, 24), 0);
       },
       QStringLiteral("フレームの間隔")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QByteArray data = good;
    c.damage(data);
    ExpectCause(data, c.cause);
  }
}

// Every way of cutting the clip short, and random damage, gives an error or a clip whose
// frames all have the clip's size; never a read outside the buffer (run under ASan).
TEST(DecodeClip, SurvivesTruncationAndRandomDamage) {
  const QByteArray generated = GeneratedClip();
  for (qsizetype n = 0; n < generated.size(); ++n) {
    EXPECT_THROW(DecodeClip(generated.left(n)), ClipError) << n;
  }
  const std::vector<QByteArray> seeds = {
      generated, IndexedClip(5, 3, {std::vector<std::uint8_t>(15, 2)}, false)};
  std::mt19937 random(20261208);
  int decoded = 0;
  for (int i = 0; i < 4000; ++i) {
    QByteArray data = seeds[i % 2];
    const int flips = 1 + static_cast<int>(random() % 8);
    for (int k = 0; k < flips; ++k) {
      data[static_cast<qsizetype>(random() % data.size())] = static_cast<char>(random());
    }
    try {
      const Clip clip = DecodeClip(data);
      ++decoded;
      ASSERT_FALSE(clip.frames.empty());
      for (const QImage& f : clip.frames) ASSERT_EQ(f.size(), clip.size);
    } catch (const ClipError&) {
    }
  }
  EXPECT_GT(decoded, 0);  // damage in pixel data alone still plays

  // Random RLE8 streams, biased towards escapes and small counts so every branch is hit.
  for (int i = 0; i < 4000; ++i) {
    std::vector<std::uint8_t> payload(random() % 48);
    for (auto& b : payload) b = static_cast<std::uint8_t>(random() % 3 == 0 ? 0 : random() % 7);
    try {
      const Clip clip = DecodeClip(RawRleClip(5, 4, {payload, payload}));
      ASSERT_EQ(clip.frames.size(), 2u);
    } catch (const ClipError& e) {
      ASSERT_FALSE(e.cause().isEmpty());
    }
  }
}

TEST(LoadClip, FileProblemsNameTheCause) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const auto cause = [](const QString& path) {
    try {
      LoadClip(path);
    } catch (const ClipError& e) {
      return e.cause();
    }
    return QString();
  };
  EXPECT_EQ(cause(dir.filePath(QStringLiteral("FileFind.avi"))),
            QStringLiteral("ファイルがありません"));
  EXPECT_EQ(cause(dir.path()), QStringLiteral("フォルダーです"));
  EXPECT_EQ(cause(QString()), QStringLiteral("ファイル名が指定されていません"));

  QFile text(dir.filePath(QStringLiteral("notes.avi")));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.write("just some text, not a clip\n");
  text.close();
  EXPECT_EQ(cause(text.fileName()), QStringLiteral("AVI クリップではありません"));

  EXPECT_EQ(LoadClip(QString::fromUtf8(MORVELLE_TEST_FILEFIND_AVI)).frames.size(), 24u);
}

}  // namespace
}  // namespace morvelle::animation
