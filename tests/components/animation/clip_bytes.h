#pragma once
// Builds small clips in memory for the decoder and player tests, and patches their headers.

#include <QByteArray>
#include <cstdint>
#include <cstring>
#include <vector>

#include "avi_writer.h"

namespace morvelle::animation::testing {

inline QByteArray ToQt(const std::vector<std::uint8_t>& v) {
  return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

// Offset of the first occurrence of a four-character code, or -1.
inline qsizetype Find(const QByteArray& clip, const char* fourCc) {
  return clip.indexOf(QByteArray(fourCc, 4));
}

inline void PutU32(QByteArray& clip, qsizetype at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) clip[at + i] = static_cast<char>(v >> (8 * i));
}
inline void PutU16(QByteArray& clip, qsizetype at, std::uint16_t v) {
  clip[at] = static_cast<char>(v);
  clip[at + 1] = static_cast<char>(v >> 8);
}

// Field offsets inside the file, counted from the chunk's four-character code.
inline qsizetype BitmapField(const QByteArray& clip, int offset) {
  return Find(clip, "strf") + 8 + offset;
}
inline qsizetype AvihField(const QByteArray& clip, int offset) {
  return Find(clip, "avih") + 8 + offset;
}
inline qsizetype StrhField(const QByteArray& clip, int offset) {
  return Find(clip, "strh") + 8 + offset;
}

// An 8-bit clip with a four-colour palette; frames are given as index pictures, top row first.
inline QByteArray IndexedClip(int width, int height,
                              const std::vector<std::vector<std::uint8_t>>& frames, bool rle) {
  AviFormat f;
  f.width = width;
  f.height = height;
  f.bitCount = 8;
  f.compression = rle ? AviCompression::Rle8 : AviCompression::Rgb;
  f.microSecPerFrame = 50000;
  f.palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  AviWriter w(f);
  for (const auto& px : frames) {
    w.AddFrame(rle ? EncodeRle8(px.data(), width, height) : PackDib(px.data(), width, height, 8));
  }
  return ToQt(w.Finish());
}

// An RLE8 clip whose frame payloads are given as raw RLE bytes.
inline QByteArray RawRleClip(int width, int height,
                             const std::vector<std::vector<std::uint8_t>>& payloads) {
  AviFormat f;
  f.width = width;
  f.height = height;
  f.bitCount = 8;
  f.compression = AviCompression::Rle8;
  f.palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  AviWriter w(f);
  for (const auto& p : payloads) w.AddFrame(p);
  return ToQt(w.Finish());
}

}  // namespace morvelle::animation::testing
