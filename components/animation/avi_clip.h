#pragma once
// A clip is decoded whole when it is opened, so a damaged file fails at once, with a reason,
// instead of half-way through playback. Every read of the file's bytes is bounds-checked:
// the clip may come from anywhere.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <exception>
#include <vector>

namespace morvelle::animation {

// The clip could not be opened or decoded. cause() is a short Japanese reason without the
// file name; callers add the name.
class ClipError : public std::exception {
 public:
  explicit ClipError(QString cause) : cause_(std::move(cause)), utf8_(cause_.toUtf8()) {}
  const QString& cause() const noexcept { return cause_; }
  const char* what() const noexcept override { return utf8_.constData(); }

 private:
  QString cause_;
  QByteArray utf8_;
};

struct Clip {
  QSize size;
  int frameIntervalMs = 0;     // time each frame stays on screen, at least 1
  std::vector<QImage> frames;  // Format_RGB32, all of `size`; never empty
};

// Limits that keep a hostile header from making us allocate without end.
inline constexpr int kMaxClipSide = 4096;
inline constexpr qint64 kMaxClipFileBytes = 64ll * 1024 * 1024;
inline constexpr qint64 kMaxDecodedBytes = 256ll * 1024 * 1024;

// RIFF AVI with one video stream of uncompressed 8, 24 or 32-bit DIBs or RLE8.
Clip DecodeClip(const QByteArray& data);

// Reads and decodes the file at `path`.
Clip LoadClip(const QString& path);

}  // namespace morvelle::animation
