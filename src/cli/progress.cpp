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
  if (shown_ > 0 && now - lastDrawn_ < kRedraw && done < total_) return;
  lastDrawn_ = now;
  const int filled = int(done * kWidth / total_);
  std::string line = "\r[";
  line.append(size_t(filled), '#');
  line.append(size_t(kWidth - filled), '.');
  line += "] " + std::to_string(done) + "/" + std::to_string(total_);
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
  shown_ = line.size() - 1;
}

void ProgressBar::Clear() {
  if (shown_ == 0) return;
  // Blanks over the bar rather than an erase sequence, which a dumb terminal would print.
  const std::string blank = "\r" + std::string(shown_, ' ') + "\r";
  std::fputs(blank.c_str(), out_);
  std::fflush(out_);
  shown_ = 0;
}

}  // namespace morvelle::cli
