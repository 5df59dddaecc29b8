// Draws the status window's clip: a magnifier circling over a page of text, the lens showing
// the lines it passes twice as large. Written as RLE8 so the file stays a few kilobytes and
// every frame is a key frame, which keeps looping exact.
//
// usage: avigen OUTPUT.avi

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <vector>

#include "avi_writer.h"

namespace {

using morvelle::animation::AviCompression;
using morvelle::animation::AviFormat;
using morvelle::animation::AviWriter;
using morvelle::animation::EncodeRle8;
using morvelle::animation::Rgb;

constexpr int kWidth = 33;  // 495 x 375 twips
constexpr int kHeight = 25;
constexpr int kFrames = 24;
constexpr std::uint32_t kMicroSecPerFrame = 83333;  // 12 frames a second, a two-second loop

enum Colour : std::uint8_t {
  kBackground,  // first so that the top-left pixel, the transparency key, is background
  kOutline,
  kPaper,
  kText,
  kFold,
  kLensPaper,
  kLensText,
  kLensBackground,
  kRim,
  kHandle,
  kGlint,
};

const std::vector<Rgb> kPalette = {
    {192, 192, 192}, {0, 0, 0},       {255, 255, 255}, {96, 96, 128},
    {160, 160, 160}, {214, 236, 255}, {0, 0, 160},     {150, 180, 210},
    {64, 64, 64},    {128, 64, 0},    {255, 255, 255},
};

// The page: 17 x 21 with a folded top-right corner and five lines of text.
std::uint8_t Page(int x, int y) {
  constexpr int left = 4, top = 2, right = 20, bottom = 22, fold = 4;
  if (x < left || x > right || y < top || y > bottom) return kBackground;
  const int dx = right - x, dy = y - top;
  if (dx + dy < fold) return kBackground;  // cut corner
  if (dx + dy == fold || x == left || y == bottom || (x == right && dy >= fold) ||
      (y == top && dx >= fold))
    return kOutline;
  if (dx < fold && dy < fold) return kFold;
  static constexpr int lineEnds[] = {15, 17, 13, 17, 11};
  for (int i = 0; i < 5; ++i) {
    if (y == 7 + 3 * i && x >= left + 3 && x <= lineEnds[i]) return kText;
  }
  return kPaper;
}

std::uint8_t Magnified(std::uint8_t c) {
  switch (c) {
    case kPaper:
    case kFold:
      return kLensPaper;
    case kText:
    case kOutline:
      return kLensText;
    default:
      return kLensBackground;
  }
}

void DrawFrame(std::vector<std::uint8_t>& px, double t) {
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) px[y * kWidth + x] = Page(x, y);

  const double cx = 12.5 + 6.0 * std::cos(t);
  const double cy = 11.5 + 4.0 * std::sin(t);
  constexpr double lens = 4.5, rim = 5.6;

  // Handle first, so the rim covers its end.
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const double dx = x - cx, dy = y - cy;
      const double along = (dx + dy) / std::numbers::sqrt2;
      const double across = (dx - dy) / std::numbers::sqrt2;
      if (along > rim - 1 && along < rim + 6 && std::abs(across) < 1.3)
        px[y * kWidth + x] = kHandle;
    }
  }
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const double dx = x - cx, dy = y - cy;
      const double d = std::hypot(dx, dy);
      std::uint8_t& p = px[y * kWidth + x];
      if (d <= lens) {
        const int sx = static_cast<int>(std::floor(cx + dx / 2 + 0.5));
        const int sy = static_cast<int>(std::floor(cy + dy / 2 + 0.5));
        p = Magnified(Page(sx, sy));
        if (dx < -1.5 && dy < -1.5 && d > lens - 1.6) p = kGlint;
      } else if (d <= rim) {
        p = kRim;
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: avigen OUTPUT.avi\n");
    return 2;
  }
  AviFormat format;
  format.width = kWidth;
  format.height = kHeight;
  format.bitCount = 8;
  format.compression = AviCompression::Rle8;
  format.microSecPerFrame = kMicroSecPerFrame;
  format.palette = kPalette;
  AviWriter writer(format);

  std::vector<std::uint8_t> px(kWidth * kHeight);
  for (int i = 0; i < kFrames; ++i) {
    DrawFrame(px, 2 * std::numbers::pi * i / kFrames);
    writer.AddFrame(EncodeRle8(px.data(), kWidth, kHeight));
  }
  const std::vector<std::uint8_t> bytes = writer.Finish();

  // Written beside the target and renamed, so an interrupted build leaves no half clip.
  const std::filesystem::path out = argv[1];
  std::filesystem::path tmp = out;
  tmp += ".tmp";
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
    if (!f.good()) {
      std::fprintf(stderr, "avigen: cannot write %s\n", tmp.c_str());
      return 1;
    }
  }
  std::error_code ec;
  std::filesystem::rename(tmp, out, ec);
  if (ec) {
    std::fprintf(stderr, "avigen: cannot rename to %s: %s\n", out.c_str(), ec.message().c_str());
    return 1;
  }
  return 0;
}
