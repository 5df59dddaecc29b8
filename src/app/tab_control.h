#pragma once
// A two-page tab control whose pages share its own coordinates: a page control placed at
// Top 480 sits 480 twips below the control's top edge, tab strip included, as the layout
// gives it. QTabWidget would offset every page control by the strip's height.

#include <QTabBar>
#include <QWidget>
#include <vector>

namespace morvelle {

class TabControl : public QWidget {
  Q_OBJECT

 public:
  TabControl(QWidget* parent, int stripHeight);

  // A page covers the whole control; the strip stays on top of it.
  QWidget* addPage(const QString& caption);
  QWidget* page(int index) const { return pages_.at(size_t(index)); }
  int currentIndex() const;
  void setCurrentIndex(int index);
  QTabBar* tabBar() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  class Bar;

  void showPage(int index);

  Bar* bar_;
  int stripHeight_;
  std::vector<QWidget*> pages_;
};

}  // namespace morvelle
