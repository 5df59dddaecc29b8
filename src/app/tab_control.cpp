#include "app/tab_control.h"

#include <QPainter>
#include <QStyleOptionTabWidgetFrame>

namespace morvelle {

// Every tab takes an equal share of the strip.
class TabControl::Bar : public QTabBar {
 public:
  Bar(QWidget* parent, int height) : QTabBar(parent), height_(height) {
    setExpanding(true);
    setDrawBase(false);
    setUsesScrollButtons(false);
    setElideMode(Qt::ElideNone);
  }

 protected:
  QSize tabSizeHint(int index) const override {
    const int n = count() > 0 ? count() : 1;
    const int w = width() / n + (index < width() % n ? 1 : 0);
    return QSize(w, height_);
  }
  QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }

 private:
  int height_;
};

TabControl::TabControl(QWidget* parent, int stripHeight)
    : QWidget(parent), bar_(new Bar(this, stripHeight)), stripHeight_(stripHeight) {
  connect(bar_, &QTabBar::currentChanged, this, &TabControl::showPage);
}

int TabControl::currentIndex() const { return bar_->currentIndex(); }
void TabControl::setCurrentIndex(int index) { bar_->setCurrentIndex(index); }
QTabBar* TabControl::tabBar() const { return bar_; }

QWidget* TabControl::addPage(const QString& caption) {
  auto* page = new QWidget(this);
  page->setGeometry(rect());
  pages_.push_back(page);
  bar_->addTab(caption);
  bar_->raise();
  showPage(bar_->currentIndex());
  return page;
}

void TabControl::showPage(int index) {
  for (size_t i = 0; i < pages_.size(); ++i) pages_[i]->setVisible(int(i) == index);
  bar_->raise();
}

void TabControl::resizeEvent(QResizeEvent*) {
  bar_->setGeometry(0, 0, width(), stripHeight_);
  for (QWidget* page : pages_) page->setGeometry(rect());
}

void TabControl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOptionTabWidgetFrame frame;
  frame.initFrom(this);
  frame.rect = rect().adjusted(0, stripHeight_ - 1, 0, 0);
  frame.shape = QTabBar::RoundedNorth;
  frame.tabBarSize = bar_->size();
  style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
}

}  // namespace morvelle
