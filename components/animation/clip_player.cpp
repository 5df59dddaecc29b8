#include "clip_player.h"

#include <QPainter>
#include <algorithm>

namespace morvelle::animation {

namespace {
// Faster clips are slowed down rather than let their timer crowd out the rest of the loop.
constexpr int kMinTimerMs = 10;
int TimerMs(const Clip& clip) { return std::max(kMinTimerMs, clip.frameIntervalMs); }
}  // namespace

ClipPlayer::ClipPlayer(QWidget* parent) : QWidget(parent) {
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &ClipPlayer::advance);
}

void ClipPlayer::open(const QString& path) { setClip(LoadClip(path)); }

void ClipPlayer::setClip(Clip clip) {
  if (clip.frames.empty()) throw ClipError(QStringLiteral("フレームがありません"));
  const bool playing = isPlaying();
  timer_.stop();
  clip_ = std::move(clip);
  frame_ = 0;
  prepareImages();
  if (playing) play();
  update();
}

void ClipPlayer::play() {
  if (!clip_) return;
  frame_ = 0;
  wantPlaying_ = true;
  timer_.start(TimerMs(*clip_));
  update();
}

void ClipPlayer::stop() {
  wantPlaying_ = false;
  timer_.stop();
}

void ClipPlayer::setTransparent(bool on) {
  transparent_ = on;
  prepareImages();
  update();
}

void ClipPlayer::prepareImages() {
  shown_.clear();
  if (!clip_) return;
  if (!transparent_) {
    shown_ = clip_->frames;
    return;
  }
  const QRgb key = clip_->frames.front().pixel(0, 0);
  shown_.reserve(clip_->frames.size());
  for (const QImage& frame : clip_->frames) {
    QImage img = frame.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
      for (int x = 0; x < img.width(); ++x) {
        if (line[x] == key) line[x] = 0;
      }
    }
    shown_.push_back(std::move(img));
  }
}

void ClipPlayer::advance() {
  if (!clip_) return;
  frame_ = (frame_ + 1) % static_cast<int>(clip_->frames.size());
  update();
}

void ClipPlayer::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Button));
  if (shown_.empty()) return;
  const QImage& img = shown_[static_cast<std::size_t>(frame_)];
  // Centred, and cut at the edges when the clip is larger than the area.
  const QPoint at((width() - img.width()) / 2, (height() - img.height()) / 2);
  painter.drawImage(at, img);
}

// A hidden player keeps no timer running; showing it again resumes where it was.
void ClipPlayer::hideEvent(QHideEvent* event) {
  timer_.stop();
  QWidget::hideEvent(event);
}

void ClipPlayer::showEvent(QShowEvent* event) {
  if (wantPlaying_ && clip_ && !timer_.isActive()) timer_.start(TimerMs(*clip_));
  QWidget::showEvent(event);
}

}  // namespace morvelle::animation
