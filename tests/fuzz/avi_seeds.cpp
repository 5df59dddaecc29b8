// Writes small clips of every kind the decoder reads (8-bit with a palette, RLE8, 24 and
// 32-bit), as the decoder's tests build them, into the folder given: the avi fuzz seeds.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "avi_writer.h"

namespace {

using morvelle::animation::AviCompression;
using morvelle::animation::AviFormat;
using morvelle::animation::AviWriter;

bool Save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::vector<std::uint8_t> Clip(int width, int height, int bitCount, bool rle, int frames) {
  AviFormat f;
  f.width = width;
  f.height = height;
  f.bitCount = bitCount;
  f.compression = rle ? AviCompression::Rle8 : AviCompression::Rgb;
  f.microSecPerFrame = 50000;
  if (bitCount == 8) f.palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  AviWriter w(f);
  const int depth = bitCount / 8;
  for (int n = 0; n < frames; ++n) {
    std::vector<std::uint8_t> px(static_cast<std::size_t>(width * height * depth));
    for (std::size_t i = 0; i < px.size(); ++i) {
      px[i] = static_cast<std::uint8_t>(bitCount == 8 ? (i / 3 + n) % 4 : i * 7 + n);
    }
    w.AddFrame(rle ? morvelle::animation::EncodeRle8(px.data(), width, height)
                   : morvelle::animation::PackDib(px.data(), width, height, bitCount));
  }
  return w.Finish();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const bool ok = Save(dir + "/indexed.avi", Clip(5, 3, 8, false, 2)) &&
                  Save(dir + "/rle8.avi", Clip(7, 4, 8, true, 3)) &&
                  Save(dir + "/rgb24.avi", Clip(3, 2, 24, false, 1)) &&
                  Save(dir + "/rgb32.avi", Clip(2, 2, 32, false, 2));
  return ok ? 0 : 1;
}
