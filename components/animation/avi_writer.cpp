#include "avi_writer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace morvelle::animation {

namespace {

class Out {
 public:
  void U8(std::uint8_t v) { bytes.push_back(v); }
  void U16(std::uint16_t v) {
    U8(static_cast<std::uint8_t>(v));
    U8(static_cast<std::uint8_t>(v >> 8));
  }
  void U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v));
    U16(static_cast<std::uint16_t>(v >> 16));
  }
  void FourCc(std::string_view cc) {
    for (char c : cc) U8(static_cast<std::uint8_t>(c));
  }
  void Bytes(const std::vector<std::uint8_t>& b) { bytes.insert(bytes.end(), b.begin(), b.end()); }

  // Opens a chunk and returns where its size field sits, for Close().
  std::size_t Open(std::string_view id) {
    FourCc(id);
    U32(0);
    return bytes.size() - 4;
  }
  std::size_t OpenList(std::string_view id, std::string_view type) {
    const std::size_t at = Open(id);
    FourCc(type);
    return at;
  }
  void Close(std::size_t sizeAt) {
    const auto size = static_cast<std::uint32_t>(bytes.size() - sizeAt - 4);
    for (int i = 0; i < 4; ++i) bytes[sizeAt + i] = static_cast<std::uint8_t>(size >> (8 * i));
    if (size % 2 != 0) U8(0);  // chunks are word aligned
  }

  std::vector<std::uint8_t> bytes;
};

int Stride(int width, int bitCount) { return ((width * bitCount + 31) / 32) * 4; }

void FlushLiteral(std::vector<std::uint8_t>& out, const std::uint8_t* p, int n) {
  while (n > 0) {
    const int take = n > 255 ? 255 : n;
    if (take < 3) {
      // Absolute mode needs at least three bytes; shorter stretches go as runs of one.
      for (int i = 0; i < take; ++i) {
        out.push_back(1);
        out.push_back(p[i]);
      }
    } else {
      out.push_back(0);
      out.push_back(static_cast<std::uint8_t>(take));
      out.insert(out.end(), p, p + take);
      if (take % 2 != 0) out.push_back(0);
    }
    p += take;
    n -= take;
  }
}

}  // namespace

std::vector<std::uint8_t> EncodeRle8(const std::uint8_t* indices, int width, int height) {
  std::vector<std::uint8_t> out;
  for (int y = height - 1; y >= 0; --y) {
    const std::uint8_t* row = indices + static_cast<std::size_t>(y) * width;
    int literalStart = 0;
    int x = 0;
    while (x < width) {
      int run = 1;
      while (x + run < width && run < 255 && row[x + run] == row[x]) ++run;
      if (run >= 3) {
        FlushLiteral(out, row + literalStart, x - literalStart);
        out.push_back(static_cast<std::uint8_t>(run));
        out.push_back(row[x]);
        x += run;
        literalStart = x;
      } else {
        x += run;
      }
    }
    FlushLiteral(out, row + literalStart, width - literalStart);
    if (y > 0) {
      out.push_back(0);
      out.push_back(0);
    }
  }
  out.push_back(0);
  out.push_back(1);
  return out;
}

std::vector<std::uint8_t> PackDib(const std::uint8_t* pixels, int width, int height, int bitCount) {
  const int rowBytes = width * (bitCount / 8);
  const int stride = Stride(width, bitCount);
  std::vector<std::uint8_t> out(static_cast<std::size_t>(stride) * height, 0);
  for (int y = 0; y < height; ++y) {
    std::memcpy(out.data() + static_cast<std::size_t>(height - 1 - y) * stride,
                pixels + static_cast<std::size_t>(y) * rowBytes, rowBytes);
  }
  return out;
}

AviWriter::AviWriter(AviFormat format) : format_(std::move(format)) {
  if (format_.palette.size() > 256) throw std::invalid_argument("palette holds more than 256");
}

void AviWriter::AddFrame(std::vector<std::uint8_t> bits) { frames_.push_back(std::move(bits)); }

std::vector<std::uint8_t> AviWriter::Finish() const {
  const bool rle = format_.compression == AviCompression::Rle8;
  const auto width = static_cast<std::uint32_t>(format_.width);
  const auto height = static_cast<std::uint32_t>(format_.height);
  const auto frameCount = static_cast<std::uint32_t>(frames_.size());
  const auto imageSize =
      static_cast<std::uint32_t>(Stride(format_.width, format_.bitCount)) * height;
  std::uint32_t largest = 0;
  for (const auto& f : frames_) largest = std::max(largest, static_cast<std::uint32_t>(f.size()));

  Out o;
  const std::size_t riff = o.OpenList("RIFF", "AVI ");
  const std::size_t hdrl = o.OpenList("LIST", "hdrl");

  const std::size_t avih = o.Open("avih");
  o.U32(format_.microSecPerFrame);
  o.U32(0);     // max bytes per second
  o.U32(0);     // padding granularity
  o.U32(0x10);  // AVIF_HASINDEX
  o.U32(frameCount);
  o.U32(0);  // initial frames
  o.U32(1);  // streams
  o.U32(largest);
  o.U32(width);
  o.U32(height);
  for (int i = 0; i < 4; ++i) o.U32(0);
  o.Close(avih);

  const std::size_t strl = o.OpenList("LIST", "strl");
  const std::size_t strh = o.Open("strh");
  o.FourCc("vids");
  o.FourCc(rle ? "mrle" : "DIB ");
  o.U32(0);                         // flags
  o.U16(0);                         // priority
  o.U16(0);                         // language
  o.U32(0);                         // initial frames
  o.U32(format_.microSecPerFrame);  // scale: rate / scale = frames per second
  o.U32(1000000);
  o.U32(0);  // start
  o.U32(frameCount);
  o.U32(largest);
  o.U32(0xFFFFFFFFu);  // quality: default
  o.U32(0);            // sample size
  o.U16(0);
  o.U16(0);
  o.U16(static_cast<std::uint16_t>(width));
  o.U16(static_cast<std::uint16_t>(height));
  o.Close(strh);

  const std::size_t strf = o.Open("strf");
  o.U32(40);
  o.U32(width);
  o.U32(height);
  o.U16(1);
  o.U16(static_cast<std::uint16_t>(format_.bitCount));
  o.U32(static_cast<std::uint32_t>(format_.compression));
  o.U32(imageSize);
  o.U32(0);
  o.U32(0);
  o.U32(static_cast<std::uint32_t>(format_.palette.size()));
  o.U32(0);
  for (const Rgb& c : format_.palette) {
    o.U8(c.b);
    o.U8(c.g);
    o.U8(c.r);
    o.U8(0);
  }
  o.Close(strf);
  o.Close(strl);
  o.Close(hdrl);

  const std::size_t movi = o.OpenList("LIST", "movi");
  const std::size_t moviData = movi + 4;  // idx1 offsets count from the "movi" fourcc
  std::vector<std::pair<std::uint32_t, std::uint32_t>> index;
  for (const auto& f : frames_) {
    index.emplace_back(static_cast<std::uint32_t>(o.bytes.size() - moviData),
                       static_cast<std::uint32_t>(f.size()));
    const std::size_t chunk = o.Open(rle ? "00dc" : "00db");
    o.Bytes(f);
    o.Close(chunk);
  }
  o.Close(movi);

  const std::size_t idx1 = o.Open("idx1");
  for (const auto& [offset, size] : index) {
    o.FourCc(rle ? "00dc" : "00db");
    o.U32(0x10);  // AVIIF_KEYFRAME
    o.U32(offset);
    o.U32(size);
  }
  o.Close(idx1);
  o.Close(riff);
  return o.bytes;
}

}  // namespace morvelle::animation
