#include "avi_clip.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

namespace morvelle::animation {

namespace {

using u8 = std::uint8_t;
using u32 = std::uint32_t;

[[noreturn]] void Fail(const QString& cause) { throw ClipError(cause); }
[[noreturn]] void Damaged(const QString& what) {
  Fail(QStringLiteral("クリップが壊れています: %1").arg(what));
}

// A bounds-checked view of part of the file.
class Span {
 public:
  Span() = default;
  Span(const u8* data, qint64 size) : data_(data), size_(size) {}

  qint64 size() const { return size_; }
  const u8* data() const { return data_; }

  bool Has(qint64 offset, qint64 n) const {
    return offset >= 0 && n >= 0 && offset <= size_ && n <= size_ - offset;
  }
  u32 U32(qint64 offset) const {
    if (!Has(offset, 4)) Damaged(QStringLiteral("ヘッダーが短すぎます"));
    const u8* p = data_ + offset;
    return u32(p[0]) | u32(p[1]) << 8 | u32(p[2]) << 16 | u32(p[3]) << 24;
  }
  std::uint16_t U16(qint64 offset) const {
    if (!Has(offset, 2)) Damaged(QStringLiteral("ヘッダーが短すぎます"));
    const u8* p = data_ + offset;
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
  }
  bool FourCc(qint64 offset, const char (&cc)[5]) const {
    return Has(offset, 4) && std::memcmp(data_ + offset, cc, 4) == 0;
  }
  Span Sub(qint64 offset, qint64 n) const {
    if (!Has(offset, n)) Damaged(QStringLiteral("チャンクがファイルの外にはみ出しています"));
    return Span(data_ + offset, n);
  }

 private:
  const u8* data_ = nullptr;
  qint64 size_ = 0;
};

struct Chunk {
  std::array<char, 4> id{};
  Span body;
};

// Walks the chunks of a RIFF list body. A chunk that claims more than is left is damage;
// only the pad byte of the very last chunk may be missing.
class Chunks {
 public:
  explicit Chunks(Span list) : list_(list) {}

  std::optional<Chunk> Next() {
    if (pos_ >= list_.size()) return std::nullopt;
    if (!list_.Has(pos_, 8)) Damaged(QStringLiteral("チャンクの見出しが途中で切れています"));
    Chunk c;
    std::memcpy(c.id.data(), list_.data() + pos_, 4);
    const qint64 size = list_.U32(pos_ + 4);
    c.body = list_.Sub(pos_ + 8, size);
    pos_ += 8 + size + (size & 1);
    return c;
  }

 private:
  Span list_;
  qint64 pos_ = 0;
};

bool Is(const Chunk& c, const char (&cc)[5]) { return std::memcmp(c.id.data(), cc, 4) == 0; }

struct VideoFormat {
  int width = 0;
  int height = 0;
  bool topDown = false;
  int bitCount = 0;
  bool rle8 = false;
  std::array<QRgb, 256> palette{};
};

struct Header {
  u32 microSecPerFrame = 0;
  u32 rate = 0;
  u32 scale = 0;
  int videoStream = -1;
  std::optional<VideoFormat> format;
};

VideoFormat ReadFormat(Span strf) {
  if (strf.size() < 40) Damaged(QStringLiteral("画像形式の情報が短すぎます"));
  const u32 headerSize = strf.U32(0);
  if (headerSize < 40 || headerSize > strf.size())
    Damaged(QStringLiteral("画像形式の情報の長さが不正です"));
  const auto width = static_cast<std::int32_t>(strf.U32(4));
  const auto height = static_cast<std::int32_t>(strf.U32(8));
  const int bitCount = strf.U16(14);
  const u32 compression = strf.U32(16);
  u32 colours = strf.U32(32);

  VideoFormat f;
  // Negative heights mean top-down rows; INT32_MIN has no positive twin.
  if (width <= 0 || height == 0 || height == INT32_MIN)
    Damaged(QStringLiteral("画像の大きさが不正です"));
  f.width = width;
  f.height = height < 0 ? -height : height;
  f.topDown = height < 0;
  if (f.width > kMaxClipSide || f.height > kMaxClipSide) Fail(QStringLiteral("画像が大きすぎます"));
  f.bitCount = bitCount;

  if (compression == 1) {
    if (bitCount != 8 || f.topDown) Damaged(QStringLiteral("RLE8 の画像形式が不正です"));
    f.rle8 = true;
  } else if (compression == 0 || compression == 3) {
    // BI_BITFIELDS with 32 bits is what some writers use for plain BGRX.
    const bool ok = (compression == 0 && (bitCount == 8 || bitCount == 24 || bitCount == 32)) ||
                    (compression == 3 && bitCount == 32);
    if (!ok) Fail(QStringLiteral("対応していない画素形式です (%1 ビット)").arg(bitCount));
  } else {
    Fail(QStringLiteral("対応していない圧縮形式です"));
  }

  if (bitCount == 8) {
    if (colours == 0) colours = 256;
    if (colours > 256) Damaged(QStringLiteral("パレットの色数が不正です"));
    // Writers are allowed to leave the palette short; missing entries stay black.
    const qint64 available = (strf.size() - headerSize) / 4;
    const qint64 n = std::min<qint64>(colours, available);
    f.palette.fill(qRgb(0, 0, 0));
    for (qint64 i = 0; i < n; ++i) {
      const qint64 at = headerSize + 4 * i;
      const u8* p = strf.data() + at;
      f.palette[static_cast<std::size_t>(i)] = qRgb(p[2], p[1], p[0]);
    }
  }
  return f;
}

void ReadStreamList(Span strl, int streamIndex, Header& h) {
  Chunks chunks(strl);
  std::optional<Span> strh;
  std::optional<Span> strf;
  while (auto c = chunks.Next()) {
    if (Is(*c, "strh")) strh = c->body;
    if (Is(*c, "strf")) strf = c->body;
  }
  if (!strh || !strh->FourCc(0, "vids") || h.videoStream >= 0)
    return;  // sound, text, a second video
  if (strh->size() < 36) Damaged(QStringLiteral("ストリームの情報が短すぎます"));
  if (!strf) Damaged(QStringLiteral("画像形式の情報がありません"));
  h.videoStream = streamIndex;
  h.scale = strh->U32(20);
  h.rate = strh->U32(24);
  h.format = ReadFormat(*strf);
}

Header ReadHeader(Span hdrl) {
  Header h;
  Chunks chunks(hdrl);
  int streamIndex = 0;
  while (auto c = chunks.Next()) {
    if (Is(*c, "avih")) {
      if (c->body.size() < 40) Damaged(QStringLiteral("AVI ヘッダーが短すぎます"));
      h.microSecPerFrame = c->body.U32(0);
    } else if (Is(*c, "LIST") && c->body.FourCc(0, "strl")) {
      ReadStreamList(c->body.Sub(4, c->body.size() - 4), streamIndex++, h);
    }
  }
  if (!h.format) Fail(QStringLiteral("映像のストリームがありません"));
  return h;
}

int FrameIntervalMs(const Header& h) {
  qint64 us = h.microSecPerFrame;
  if (us == 0 && h.rate != 0 && h.scale != 0) us = qint64(h.scale) * 1000000 / h.rate;
  if (us == 0) Damaged(QStringLiteral("フレームの間隔がありません"));
  // Anything slower than one frame a minute is a damaged header, not a clip.
  if (us > 60'000'000) Damaged(QStringLiteral("フレームの間隔が不正です"));
  return static_cast<int>(std::max<qint64>(1, (us + 500) / 1000));
}

// Collects the video stream's frame chunks of movi, in order, descending into "rec " lists.
void CollectFrames(Span list, const std::array<char, 2>& prefix, std::vector<Span>& out,
                   int depth) {
  if (depth > 4) Damaged(QStringLiteral("リストの入れ子が深すぎます"));
  Chunks chunks(list);
  while (auto c = chunks.Next()) {
    if (Is(*c, "LIST")) {
      if (c->body.FourCc(0, "rec ")) {
        CollectFrames(c->body.Sub(4, c->body.size() - 4), prefix, out, depth + 1);
      }
      continue;
    }
    if (c->id[0] != prefix[0] || c->id[1] != prefix[1]) continue;
    if ((c->id[2] == 'd' && c->id[3] == 'b') || (c->id[2] == 'd' && c->id[3] == 'c')) {
      out.push_back(c->body);
    }
    // "pc" palette changes are not applied: the clips we play keep one palette.
  }
}

class FrameDecoder {
 public:
  explicit FrameDecoder(const VideoFormat& f)
      : f_(f), indices_(std::size_t(f.width) * f.height, 0) {}

  // An empty chunk repeats the previous frame, as AVI defines it.
  QImage Decode(Span bits, const QImage* previous) {
    if (bits.size() == 0) {
      if (previous == nullptr) Damaged(QStringLiteral("最初のフレームが空です"));
      return *previous;
    }
    if (f_.rle8) {
      DecodeRle8(bits);
      return FromIndices();
    }
    return FromDib(bits);
  }

 private:
  void DecodeRle8(Span s) {
    const QString bad = QStringLiteral("RLE8 のデータが不正です");
    // Delta frames draw over the previous picture, so the index canvas carries over.
    qint64 p = 0;
    int x = 0;
    int y = f_.height - 1;  // bottom-up
    auto need = [&](qint64 n) {
      if (!s.Has(p, n)) Damaged(bad);
    };
    auto put = [&](u8 v) {
      if (x >= f_.width || y < 0) Damaged(bad);
      indices_[std::size_t(y) * f_.width + x] = v;
      ++x;
    };
    while (p < s.size()) {
      need(2);
      const u8 a = s.data()[p];
      const u8 b = s.data()[p + 1];
      p += 2;
      if (a != 0) {
        for (int i = 0; i < a; ++i) put(b);
      } else if (b == 0) {
        x = 0;
        --y;
      } else if (b == 1) {
        return;
      } else if (b == 2) {
        need(2);
        x += s.data()[p];
        y -= s.data()[p + 1];
        p += 2;
        if (x > f_.width || y < -1) Damaged(bad);
      } else {
        need(b);
        for (int i = 0; i < b; ++i) put(s.data()[p + i]);
        p += b + (b & 1);
      }
    }
    // Some writers end the data without an end-of-picture mark; what was drawn stands.
  }

  QImage FromIndices() const {
    QImage img(f_.width, f_.height, QImage::Format_RGB32);
    for (int y = 0; y < f_.height; ++y) {
      auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
      const u8* src = indices_.data() + std::size_t(y) * f_.width;
      for (int x = 0; x < f_.width; ++x) line[x] = f_.palette[src[x]];
    }
    return img;
  }

  QImage FromDib(Span s) const {
    const qint64 stride = ((qint64(f_.width) * f_.bitCount + 31) / 32) * 4;
    if (s.size() < stride * f_.height) Damaged(QStringLiteral("フレームのデータが足りません"));
    QImage img(f_.width, f_.height, QImage::Format_RGB32);
    for (int y = 0; y < f_.height; ++y) {
      const int srcRow = f_.topDown ? y : f_.height - 1 - y;
      const u8* src = s.data() + srcRow * stride;
      auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
      for (int x = 0; x < f_.width; ++x) {
        switch (f_.bitCount) {
          case 8:
            line[x] = f_.palette[src[x]];
            break;
          case 24:
            line[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
            break;
          default:
            line[x] = qRgb(src[4 * x + 2], src[4 * x + 1], src[4 * x]);
            break;
        }
      }
    }
    return img;
  }

  const VideoFormat& f_;
  std::vector<u8> indices_;
};

}  // namespace

Clip DecodeClip(const QByteArray& data) {
  const Span file(reinterpret_cast<const u8*>(data.constData()), data.size());
  if (!file.FourCc(0, "RIFF") || !file.FourCc(8, "AVI ")) {
    Fail(QStringLiteral("AVI クリップではありません"));
  }
  const qint64 riffSize = file.U32(4);
  if (riffSize < 4 || !file.Has(8, riffSize))
    Damaged(QStringLiteral("ファイルが途中で切れています"));
  const Span riff = file.Sub(12, riffSize - 4);

  std::optional<Header> header;
  std::vector<Span> frameChunks;
  Chunks top(riff);
  while (auto c = top.Next()) {
    if (!Is(*c, "LIST") || c->body.size() < 4) continue;
    const Span body = c->body.Sub(4, c->body.size() - 4);
    if (c->body.FourCc(0, "hdrl") && !header) {
      header = ReadHeader(body);
    } else if (c->body.FourCc(0, "movi")) {
      if (!header) Damaged(QStringLiteral("ヘッダーより前に映像があります"));
      const int n = header->videoStream;
      const std::array<char, 2> prefix{char('0' + n / 10 % 10), char('0' + n % 10)};
      CollectFrames(body, prefix, frameChunks, 0);
    }
  }
  if (!header) Damaged(QStringLiteral("AVI ヘッダーがありません"));
  if (frameChunks.empty()) Damaged(QStringLiteral("フレームがありません"));

  const VideoFormat& f = *header->format;
  const qint64 frameBytes = qint64(f.width) * f.height * 4;
  if (frameBytes * qint64(frameChunks.size()) > kMaxDecodedBytes) {
    Fail(QStringLiteral("クリップが大きすぎます"));
  }

  Clip clip;
  clip.size = QSize(f.width, f.height);
  clip.frameIntervalMs = FrameIntervalMs(*header);
  clip.frames.reserve(frameChunks.size());
  FrameDecoder decoder(f);
  for (const Span& bits : frameChunks) {
    clip.frames.push_back(
        decoder.Decode(bits, clip.frames.empty() ? nullptr : &clip.frames.back()));
  }
  return clip;
}

Clip LoadClip(const QString& path) {
  if (path.isEmpty()) Fail(QStringLiteral("ファイル名が指定されていません"));
  const QFileInfo info(path);
  if (!info.exists()) Fail(QStringLiteral("ファイルがありません"));
  if (info.isDir()) Fail(QStringLiteral("フォルダーです"));
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    Fail(QStringLiteral("読み込めません: %1").arg(file.errorString()));
  }
  if (file.size() > kMaxClipFileBytes) Fail(QStringLiteral("ファイルが大きすぎます"));
  const QByteArray data = file.read(kMaxClipFileBytes + 1);
  if (file.error() != QFileDevice::NoError) {
    Fail(QStringLiteral("読み込めません: %1").arg(file.errorString()));
  }
  if (data.size() > kMaxClipFileBytes) Fail(QStringLiteral("ファイルが大きすぎます"));
  return DecodeClip(data);
}

}  // namespace morvelle::animation
