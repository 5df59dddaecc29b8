#include "rulegrid/rule_grid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QStyledItemDelegate>

#include "mousecodes/mouse_codes.h"

namespace morvelle::rulegrid {

// Remembers the open editor so that commitEdit() can finish it from outside.
class RuleGrid::Delegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    editor_ = editor;
    return editor;
  }

  QWidget* openEditor() const { return editor_.data(); }

 private:
  mutable QPointer<QWidget> editor_;
};

RuleGrid::RuleGrid(QWidget* parent)
    : QTableView(parent), model_(new RuleGridModel(this)), delegate_(new Delegate(this)) {
  setModel(model_);
  setItemDelegate(delegate_);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
  setWordWrap(false);
  horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
  horizontalHeader()->resizeSection(0, 44);
  horizontalHeader()->setStretchLastSection(true);
  horizontalHeader()->setHighlightSections(false);
  verticalHeader()->setDefaultSectionSize(22);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current, const QModelIndex& previous) {
            if (silent_ || !current.isValid()) return;
            if (previous.isValid() && previous.row() == current.row()) return;
            Q_EMIT rowEntered(current.row());
          });
}

void RuleGrid::clearRows() {
  // An open editor would write its text into a row that no longer exists.
  if (QWidget* editor = delegate_->openEditor()) closeEditor(editor, QAbstractItemDelegate::NoHint);
  silent_ = true;
  model_->clear();
  selectionModel()->clearCurrentIndex();
  silent_ = false;
}

int RuleGrid::appendRow(const RuleGridModel::Row& values) {
  silent_ = true;
  const int at = model_->append(values);
  silent_ = false;
  return at;
}

int RuleGrid::currentRowIndex() const {
  const QModelIndex current = currentIndex();
  return current.isValid() ? current.row() : -1;
}

void RuleGrid::setCurrentRowIndex(int row) {
  if (row == -1) {
    silent_ = true;
    selectionModel()->clearCurrentIndex();
    silent_ = false;
    return;
  }
  if (row < 0 || row >= model_->rowCount()) return;
  const int column = currentIndex().isValid() ? currentIndex().column() : 1;
  silent_ = true;
  setCurrentIndex(model_->index(row, column));
  silent_ = false;
  scrollTo(model_->index(row, column));
}

void RuleGrid::commitEdit() {
  QWidget* editor = delegate_->openEditor();
  if (editor == nullptr || state() != QAbstractItemView::EditingState) return;
  commitData(editor);
  closeEditor(editor, QAbstractItemDelegate::NoHint);
}

bool RuleGrid::requestDeleteRow(int row) {
  if (row < 0 || row >= model_->rowCount()) return false;
  int cancel = 0;
  Q_EMIT beforeRowAction(row, &cancel);
  if (cancel != 0) return false;
  if (QWidget* editor = delegate_->openEditor()) closeEditor(editor, QAbstractItemDelegate::NoHint);
  silent_ = true;
  model_->remove(row);
  silent_ = false;
  return true;
}

void RuleGrid::keyPressEvent(QKeyEvent* event) {
  // Down from the spare row being written: the text goes in first, so that the new spare row
  // it brings is there to move into.
  if (event->key() == Qt::Key_Down && state() == QAbstractItemView::EditingState &&
      currentRowIndex() == model_->rowCount() - 1) {
    commitEdit();
  }
  QTableView::keyPressEvent(event);
}

void RuleGrid::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  Q_EMIT mouseDown(mousecodes::ButtonCode(event->button()),
                   mousecodes::ShiftCode(event->modifiers()), at.x(), at.y());
  // A right press opens the menu for the current cell; it must not move that cell.
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QTableView::mousePressEvent(event);
}

}  // namespace morvelle::rulegrid
