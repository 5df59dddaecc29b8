// The clip decoder on any bytes: a clip whose every frame has the announced size, or a
// ClipError with a reason. ASan catches any read outside the buffer.
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "avi_clip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // As LoadClip hands it over: a QByteArray holding exactly the file.
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  try {
    const morvelle::animation::Clip clip = morvelle::animation::DecodeClip(bytes);
    bool ok = !clip.frames.empty() && clip.frameIntervalMs >= 1 && !clip.size.isEmpty() &&
              clip.size.width() <= morvelle::animation::kMaxClipSide &&
              clip.size.height() <= morvelle::animation::kMaxClipSide;
    for (const QImage& frame : clip.frames) {
      ok = ok && frame.size() == clip.size && frame.format() == QImage::Format_RGB32;
    }
    if (!ok) {
      std::fprintf(stderr, "fuzz_avi: a decoded clip breaks its promises\n");
      std::abort();
    }
  } catch (const morvelle::animation::ClipError& e) {
    if (e.cause().isEmpty()) {
      std::fprintf(stderr, "fuzz_avi: an error without a reason\n");
      std::abort();
    }
  }
  return 0;
}
