#pragma once
// The window a batch shows while it runs. It has no title bar, so the user moves it by
// dragging its bare surface with the left button; the batch, not the user, closes it.

#include <QString>
#include <QWidget>

class QLabel;

namespace morvelle {

namespace animation {
class ClipPlayer;
}

class frmStatus : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidthTwips = 5700;
  static constexpr int kClientHeightTwips = 990;
  static constexpr int kFramePx = 3;  // the thin fixed frame, drawn around the client area

  frmStatus();
  ~frmStatus() override;

  void setShowMsg(const QString& text);
  QString AviPath() const { return aviPath_; }
  void setAviPath(const QString& path) { aviPath_ = path; }

  // Opens the clip named by AviPath and plays it, looping, until the window closes.
  // Throws ServiceError naming the file and the cause when it cannot be played.
  void StartAni();

  // Button: 1 left, 2 right, 4 middle. Shift, X and Y are not used.
  void Form_MouseMove(int Button, int Shift, int X, int Y);

  // The client area (inside the frame) in this widget's coordinates.
  QRect clientRect() const;
  QLabel* Label1() const { return label1_; }
  animation::ClipPlayer* Animation1() const { return animation1_; }

 protected:
  // Hands the move to the window system; tests count calls instead.
  virtual void beginSystemMove();

  void mouseMoveEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QString aviPath_;
  QLabel* label1_;
  animation::ClipPlayer* animation1_;
};

}  // namespace morvelle
