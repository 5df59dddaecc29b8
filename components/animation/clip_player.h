#pragma once
// The player owns its timer: once play() has run, frames advance whenever the event loop
// delivers timer events, without the program stepping them.

#include <QTimer>
#include <QWidget>
#include <optional>

#include "avi_clip.h"

namespace morvelle::animation {

class ClipPlayer : public QWidget {
  Q_OBJECT

 public:
  explicit ClipPlayer(QWidget* parent = nullptr);

  // Loads the clip at `path` and shows its first frame; throws ClipError and keeps the
  // previous clip when the file cannot be played.
  void open(const QString& path);
  void setClip(Clip clip);
  bool hasClip() const { return clip_.has_value(); }
  const Clip* clip() const { return clip_ ? &*clip_ : nullptr; }

  // Plays from the first frame to the last, then again from the first, until stop().
  void play();
  void stop();
  bool isPlaying() const { return timer_.isActive(); }
  int currentFrame() const { return frame_; }

  // The colour of the first frame's top-left pixel is drawn as the background, so the clip
  // sits on the area's fill as the classic control's transparent mode does.
  void setTransparent(bool on);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void advance();
  void prepareImages();

  std::optional<Clip> clip_;
  std::vector<QImage> shown_;  // frames as painted, with the key colour cleared if transparent
  QTimer timer_;
  int frame_ = 0;
  bool transparent_ = false;
  bool wantPlaying_ = false;
};

}  // namespace morvelle::animation
