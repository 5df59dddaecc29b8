#include "clip_player.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>

#include "clip_bytes.h"

namespace morvelle::animation {
namespace {

// Lets timer events through until `done` holds; a generous cap keeps a broken player from
// hanging the run. The cap is a safety net, not a timing assertion.
template <typename Pred>
bool PumpUntil(Pred done) {
  QDeadlineTimer cap(10000);
  while (!done() && !cap.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

Clip ThreeFrames() {
  const std::vector<std::uint8_t> a(4, 1), b(4, 2), c(4, 3);
  return DecodeClip(testing::IndexedClip(2, 2, {a, b, c}, true));
}

TEST(ClipPlayer, PlaysEveryFrameInOrderAndLoops) {
  ClipPlayer player;
  player.setClip(ThreeFrames());
  player.play();
  ASSERT_TRUE(player.isPlaying());
  std::vector<int> seen = {player.currentFrame()};
  ASSERT_TRUE(PumpUntil([&] {
    if (player.currentFrame() != seen.back()) seen.push_back(player.currentFrame());
    return seen.size() >= 5;
  }));
  // Frames are not skipped even when the loop is slow to deliver timer events.
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 0, 1}));

  player.stop();
  const int stoppedAt = player.currentFrame();
  QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
  EXPECT_EQ(player.currentFrame(), stoppedAt);
}

TEST(ClipPlayer, PaintsTheButtonColourAroundTheClipAndUnderItsKeyColour) {
  ClipPlayer player;
  player.resize(6, 6);
  QPalette pal = player.palette();
  pal.setColor(QPalette::Button, QColor(10, 20, 30));
  player.setPalette(pal);
  EXPECT_EQ(player.grab().toImage().pixel(3, 3), qRgb(10, 20, 30));  // no clip yet

  // Top-left pixel black (the key), the rest red; the clip sits centred at (2,2).
  player.setClip(DecodeClip(testing::IndexedClip(2, 2, {{0, 1, 1, 1}}, false)));
  const QImage opaque = player.grab().toImage();
  EXPECT_EQ(opaque.pixel(0, 0), qRgb(10, 20, 30));
  EXPECT_EQ(opaque.pixel(2, 2), qRgb(0, 0, 0));
  EXPECT_EQ(opaque.pixel(3, 3), qRgb(255, 0, 0));

  player.setTransparent(true);
  const QImage keyed = player.grab().toImage();
  EXPECT_EQ(keyed.pixel(2, 2), qRgb(10, 20, 30));
  EXPECT_EQ(keyed.pixel(3, 3), qRgb(255, 0, 0));
}

TEST(ClipPlayer, FailedOpenKeepsThePreviousClip) {
  ClipPlayer player;
  player.setClip(ThreeFrames());
  EXPECT_THROW(player.open(QStringLiteral("no/such/clip.avi")), ClipError);
  ASSERT_TRUE(player.hasClip());
  EXPECT_EQ(player.clip()->frames.size(), 3u);
}

}  // namespace
}  // namespace morvelle::animation
