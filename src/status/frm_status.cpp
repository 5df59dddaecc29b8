#include "frm_status.h"

#include <qdrawutil.h>

#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "clip_player.h"
#include "mousecodes/mouse_codes.h"
#include "services/service_error.h"
#include "status/twips.h"

namespace morvelle {

namespace {

// Controls sit in the client area, inside the drawn frame.
QRect ClientTwipsRect(int left, int top, int width, int height) {
  return TwipsRect(left, top, width, height).translated(frmStatus::kFramePx, frmStatus::kFramePx);
}

}  // namespace

frmStatus::frmStatus()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint),
      label1_(new QLabel(this)),
      animation1_(new animation::ClipPlayer(this)) {
  // Closing this window must never end the program; the main window does that.
  setAttribute(Qt::WA_QuitOnClose, false);
  setFixedSize(Twips(kClientWidthTwips) + 2 * kFramePx, Twips(kClientHeightTwips) + 2 * kFramePx);

  animation1_->setObjectName(QStringLiteral("Animation1"));
  animation1_->setGeometry(ClientTwipsRect(240, 240, 495, 375));
  animation1_->setTransparent(true);

  label1_->setObjectName(QStringLiteral("Label1"));
  label1_->setGeometry(ClientTwipsRect(960, 360, 3375, 255));
  label1_->setTextFormat(Qt::PlainText);  // the text is shown as given, never as markup
}

frmStatus::~frmStatus() = default;

void frmStatus::setShowMsg(const QString& text) { label1_->setText(text); }

QRect frmStatus::clientRect() const {
  return QRect(kFramePx, kFramePx, Twips(kClientWidthTwips), Twips(kClientHeightTwips));
}

void frmStatus::StartAni() {
  try {
    animation1_->open(aviPath_);
  } catch (const animation::ClipError& e) {
    const QString name = aviPath_.isEmpty() ? QStringLiteral("(なし)") : aviPath_;
    throw ServiceError(
        QStringLiteral("アニメーションを再生できません: %1 (%2)").arg(name, e.cause()));
  }
  animation1_->play();
}

void frmStatus::Form_MouseMove(int Button, int /*Shift*/, int /*X*/, int /*Y*/) {
  if (Button != 1) return;
  beginSystemMove();
}

void frmStatus::beginSystemMove() {
  // The window system takes the pointer for the move; no grab of ours may stay behind.
  if (QWidget::mouseGrabber() == this) releaseMouse();
  if (QWindow* w = windowHandle()) w->startSystemMove();
}

void frmStatus::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  // Moves over the label or the animation reach us only because those ignore them; the
  // frame is not client surface, as a fixed dialog frame would not be.
  const QPoint pos = event->position().toPoint();
  if (childAt(pos) != nullptr || !clientRect().contains(pos)) return;
  Form_MouseMove(mousecodes::ButtonCode(event->buttons()),
                 mousecodes::ShiftCode(event->modifiers()), pos.x(), pos.y());
}

void frmStatus::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Window));
  // A raised two-pixel panel edge, then one pixel of face colour: the look of a fixed
  // dialog frame.
  qDrawWinPanel(&painter, rect(), palette(), false);
}

void frmStatus::closeEvent(QCloseEvent* event) {
  animation1_->stop();
  QWidget::closeEvent(event);
}

}  // namespace morvelle
