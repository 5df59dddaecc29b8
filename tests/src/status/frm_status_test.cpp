#include "status/frm_status.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QTemporaryDir>

#include "clip_player.h"
#include "services/service_error.h"

namespace morvelle {
namespace {

const QString kGeneratedClip = QString::fromUtf8(MORVELLE_TEST_FILEFIND_AVI);

class CountingStatus : public frmStatus {
 public:
  int moves = 0;

 protected:
  void beginSystemMove() override { ++moves; }
};

QString StartAniError(frmStatus& w) {
  try {
    w.StartAni();
  } catch (const ServiceError& e) {
    return e.description();
  }
  return {};
}

TEST(frmStatus, LayoutInTwips) {
  frmStatus w;
  const int f = frmStatus::kFramePx;
  EXPECT_EQ(w.clientRect(), QRect(f, f, 380, 66));
  EXPECT_EQ(w.size(), QSize(380 + 2 * f, 66 + 2 * f));
  EXPECT_EQ(w.minimumSize(), w.maximumSize());  // fixed frame: cannot be resized
  EXPECT_EQ(w.Animation1()->geometry(), QRect(f + 16, f + 16, 33, 25));
  EXPECT_EQ(w.Label1()->geometry(), QRect(f + 64, f + 24, 225, 17));

  const Qt::WindowFlags flags = w.windowFlags();
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);  // no task bar entry
  EXPECT_TRUE(flags & Qt::FramelessWindowHint);
  EXPECT_FALSE(w.testAttribute(Qt::WA_QuitOnClose));
  EXPECT_EQ(w.parentWidget(), nullptr);
}

TEST(frmStatus, PropertiesAreKeptAsGiven) {
  frmStatus w;
  EXPECT_TRUE(w.AviPath().isEmpty());
  EXPECT_TRUE(w.Label1()->text().isEmpty());

  const QString message = QStringLiteral("ただ今置換を行っています。");
  w.setShowMsg(message);
  EXPECT_EQ(w.Label1()->text(), message);
  // Markup in a message is shown as text, not interpreted.
  w.setShowMsg(QStringLiteral("<b>a & b</b>"));
  EXPECT_EQ(w.Label1()->textFormat(), Qt::PlainText);

  const QString path = QStringLiteral("/some where/ファイル/FileFind.avi");
  w.setAviPath(path);
  EXPECT_EQ(w.AviPath(), path);
}

TEST(frmStatus, StartAniErrorsNameTheFileAndTheCause) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString missing = dir.filePath(QStringLiteral("FileFind.avi"));
  const QString broken = dir.filePath(QStringLiteral("broken.avi"));
  QFile f(broken);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  QFile good(kGeneratedClip);
  ASSERT_TRUE(good.open(QIODevice::ReadOnly));
  f.write(good.readAll().left(500));
  f.close();

  const struct {
    QString path;
    QString description;
  } cases[] = {
      {missing,
       QStringLiteral("アニメーションを再生できません: %1 (ファイルがありません)").arg(missing)},
      {broken, QStringLiteral("アニメーションを再生できません: %1 (クリップが壊れています: "
                              "ファイルが途中で切れています)")
                   .arg(broken)},
      {QString(),
       QStringLiteral("アニメーションを再生できません: (なし) (ファイル名が指定されていません)")},
  };
  for (const auto& c : cases) {
    frmStatus w;
    w.setAviPath(c.path);
    EXPECT_EQ(StartAniError(w), c.description);
    EXPECT_FALSE(w.Animation1()->isPlaying());
  }
}

TEST(frmStatus, StartAniPlaysUntilClosed) {
  frmStatus w;
  w.setAviPath(kGeneratedClip);
  ASSERT_EQ(StartAniError(w), QString());
  EXPECT_TRUE(w.Animation1()->isPlaying());
  w.show();
  QDeadlineTimer cap(10000);
  while (w.Animation1()->currentFrame() < 2 && !cap.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  EXPECT_GE(w.Animation1()->currentFrame(), 2);
  w.close();
  EXPECT_FALSE(w.Animation1()->isPlaying());
}

TEST(frmStatus, FormMouseMoveMovesOnlyWithTheLeftButtonAlone) {
  const struct {
    int button;
    int moves;
  } cases[] = {{0, 0}, {1, 1}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {7, 0}};
  for (const auto& c : cases) {
    CountingStatus w;
    w.Form_MouseMove(c.button, 0, 10, 10);
    EXPECT_EQ(w.moves, c.moves) << "Button " << c.button;
  }
}

// Real mouse events, delivered as the window system would: to the widget under the pointer,
// passed up to the window when that widget ignores them.
TEST(frmStatus, DragStartsFromTheBareSurfaceOnly) {
  const struct {
    const char* where;
    Qt::MouseButtons buttons;
    int moves;
  } cases[] = {
      {"surface", Qt::LeftButton, 1},
      {"surface", Qt::RightButton, 0},
      {"surface", Qt::LeftButton | Qt::RightButton, 0},
      {"surface", Qt::MiddleButton, 0},
      {"surface", Qt::NoButton, 0},
      {"frame", Qt::LeftButton, 0},
      {"label", Qt::LeftButton, 0},
      {"animation", Qt::LeftButton, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.where);
    CountingStatus w;
    w.setShowMsg(QStringLiteral("ただ今置換を行っています。"));
    w.show();
    const std::string where = c.where;
    QWidget* target = &w;
    QPoint local(200, 55);  // right of the label, below nothing
    if (where == "frame") local = QPoint(1, 1);
    if (where == "label") target = w.Label1(), local = QPoint(5, 5);
    if (where == "animation") target = w.Animation1(), local = QPoint(5, 5);
    ASSERT_EQ(w.childAt(target->mapTo(&w, local)), target == &w ? nullptr : target);

    const QPointF global = target->mapToGlobal(QPointF(local));
    QMouseEvent move(QEvent::MouseMove, QPointF(local), global, Qt::NoButton, c.buttons,
                     Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    EXPECT_EQ(w.moves, c.moves);
  }
}

}  // namespace
}  // namespace morvelle
