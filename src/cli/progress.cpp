#include "cli/progress.h"

#include <string>

namespace morvelle::cli {

namespace {
constexpr int kWidth = 30;
constexpr auto kDelay = std::chrono::seconds(1);
constexpr auto kRedraw = std::chrono::milliseconds(100);
}  // namespace

ProgressBar::ProgressBar(std::FILE* out, long long total, bool enabled)
    : out_(out),
      total_(total),
      enabled_(enabled && total > 0),
      start_(std::chrono::steady_clock::now()) {}

ProgressBar::~ProgressBar() { Clear(); }

void ProgressBar::Update(long long done) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - start_ < kDelay) return;
  if (shown_ && now - lastDrawn_ < kRedraw && done < total_) return;
  lastDrawn_ = now;
  const int filled = int(done * kWidth / total_);
  std::string line = "\r[";
  line.append(size_t(filled), '#');
  line.append(size_t(kWidth - filled), '.');
  line += "] " + std::to_string(done) + "/" + std::to_string(total_);
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
  shown_ = true;
}

void ProgressBar::Clear() {
  if (!shown_) return;
  // Carriage return, erase to the end of the line.
  std::fputs("\r\x1b[K", out_);
  std::fflush(out_);
  shown_ = false;
}

}  // namespace morvelle::cli
