#pragma once
// Writes minimal RIFF AVI clips with one video stream and no sound: the kind of clip the
// status window plays. Plain C++ so the build-time generator needs nothing but a compiler.

#include <array>
#include <cstdint>
#include <vector>

namespace morvelle::animation {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
};

enum class AviCompression : std::uint32_t { Rgb = 0, Rle8 = 1 };

struct AviFormat {
  int width = 0;
  int height = 0;
  int bitCount = 8;  // 8 (with palette), 24 or 32
  AviCompression compression = AviCompression::Rgb;
  std::uint32_t microSecPerFrame = 100000;
  std::vector<Rgb> palette;  // 8-bit clips only; at most 256 entries
};

// RLE8 encoding of one bottom-up 8-bit picture, every pixel written (a key frame).
// `indices` holds `height` rows of `width` bytes, top row first.
std::vector<std::uint8_t> EncodeRle8(const std::uint8_t* indices, int width, int height);

// Uncompressed DIB bits for one picture, bottom-up with rows padded to 4 bytes.
// `pixels` holds top-down rows of width * (bitCount / 8) bytes in B, G, R(, X) order.
std::vector<std::uint8_t> PackDib(const std::uint8_t* pixels, int width, int height, int bitCount);

class AviWriter {
 public:
  explicit AviWriter(AviFormat format);

  // `bits` is the frame chunk's payload as it goes into the file (PackDib or EncodeRle8).
  void AddFrame(std::vector<std::uint8_t> bits);

  // The whole file: RIFF header, hdrl, movi and idx1.
  std::vector<std::uint8_t> Finish() const;

 private:
  AviFormat format_;
  std::vector<std::vector<std::uint8_t>> frames_;
};

}  // namespace morvelle::animation
