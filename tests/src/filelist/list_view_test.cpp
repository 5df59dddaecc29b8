#include "filelist/list_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QHeaderView>
#include <QTest>

#include "test_support.h"

namespace morvelle {
namespace {

using testing::Scratch;
using testing::UrlsOf;

// Wires the view as the main window does: the drop goes to the list, and a press opens the
// pop-up menu when the list wants it (counted here instead of showing a menu).
class ListViewTest : public ::testing::Test {
 protected:
  ListViewTest() {
    QObject::connect(&view, &ListView1::OLEDragDrop,
                     [this](const QMimeData* data) { list.DropData(data); });
    QObject::connect(&view, &ListView1::MouseDown, [this](int button, int, int, int) {
      if (list.WantsPopupMenu(button)) ++menusOpened;
    });
    view.resize(561, 385);
    view.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
  }

  // Enters, moves and drops as a drag from a file manager does; returns the drop's action
  // or IgnoreAction when the view refused it.
  Qt::DropAction DragAndDrop(const QMimeData* data, Qt::DropActions offered) {
    QWidget* target = view.viewport();
    const QPointF at(20, 20);
    QDragEnterEvent enter(at.toPoint(), offered, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return Qt::IgnoreAction;
    QDragMoveEvent move(at.toPoint(), offered, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(at, offered, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
  }

  void DropFiles(int count) {
    QStringList paths;
    for (int i = 1; i <= count; ++i) paths << scratch.File(QStringLiteral("row%1.txt").arg(i));
    DragAndDrop(UrlsOf(paths).get(), Qt::CopyAction);
  }

  QPoint RowCentre(int row) const { return view.visualRect(list.Model().index(row, 0)).center(); }

  QStringList Names() const {
    QStringList names;
    for (const TargetEntry& e : list.Model().Entries()) names << e.FileName;
    return names;
  }

  Scratch scratch;
  TargetList list;
  ListView1 view{list};
  int menusOpened = 0;
};

TEST_F(ListViewTest, ShowsFourLeftAlignedColumnsAtTheDesignWidths) {
  QHeaderView* header = view.header();
  const int widths[] = {113, 67, 67, 333};
  for (int c = 0; c < 4; ++c) EXPECT_EQ(header->sectionSize(c), widths[c]) << c;
  EXPECT_EQ(header->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("ｻｲｽﾞ"));
  EXPECT_EQ(view.selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(view.editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_FALSE(view.isSortingEnabled());
  EXPECT_EQ(view.selectionModel(), &list.Selection());
  EXPECT_EQ(view.iconSize(), QSize(16, 16));
}

TEST_F(ListViewTest, DropOfFilesAddsRowsAndIsAlwaysACopy) {
  const QString a = scratch.File(QStringLiteral("Notes.TXT"), 3);
  const QString b = scratch.Folder(QStringLiteral("Sub"));
  auto data = UrlsOf({a, b});
  // A source offering a move must not be told the files were moved: it might delete them.
  EXPECT_EQ(DragAndDrop(data.get(), Qt::MoveAction | Qt::CopyAction), Qt::CopyAction);
  EXPECT_EQ(Names(), QStringList({QStringLiteral("notes.txt"), QStringLiteral("sub")}));
  EXPECT_EQ(list.Model().Entry(1).IconIndex, ImageList::kFolderImage);
  EXPECT_EQ(DragAndDrop(data.get(), Qt::MoveAction), Qt::IgnoreAction);
  EXPECT_EQ(list.Model().rowCount(), 2);
}

TEST_F(ListViewTest, TextAndWebLinksAreRefusedAtTheDoor) {
  QMimeData text;
  text.setText(QStringLiteral("selected text from an editor"));
  QMimeData web;
  web.setUrls({QUrl(QStringLiteral("https://example.org/page.html"))});
  EXPECT_EQ(DragAndDrop(&text, Qt::CopyAction), Qt::IgnoreAction);
  EXPECT_EQ(DragAndDrop(&web, Qt::CopyAction), Qt::IgnoreAction);
  EXPECT_EQ(list.Model().rowCount(), 0);
}

TEST_F(ListViewTest, MouseDownReportsClassicButtonAndShiftCodes) {
  std::vector<std::array<int, 4>> presses;
  QObject::connect(&view, &ListView1::MouseDown, [&](int button, int shift, int x, int y) {
    presses.push_back({button, shift, x, y});
  });
  QTest::mousePress(view.viewport(), Qt::RightButton, Qt::ShiftModifier | Qt::AltModifier,
                    QPoint(30, 40));
  QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::ControlModifier, QPoint(5, 6));
  QTest::mousePress(view.viewport(), Qt::MiddleButton, Qt::NoModifier, QPoint(7, 8));
  ASSERT_EQ(presses.size(), 3u);
  EXPECT_EQ(presses[0], (std::array<int, 4>{2, 5, 30, 40}));
  EXPECT_EQ(presses[1], (std::array<int, 4>{1, 2, 5, 6}));
  EXPECT_EQ(presses[2], (std::array<int, 4>{4, 0, 7, 8}));
}

TEST_F(ListViewTest, RightPressOpensTheMenuOnlyWhileARowIsSelected) {
  DropFiles(3);
  QTest::mousePress(view.viewport(), Qt::RightButton, Qt::NoModifier, RowCentre(1));
  EXPECT_EQ(menusOpened, 0);  // a right press selects nothing
  EXPECT_FALSE(list.HasSelection());

  QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, RowCentre(0));
  EXPECT_EQ(menusOpened, 0);  // a left press never opens it
  ASSERT_TRUE(list.HasSelection());
  // Wherever the pointer is, even below the last row.
  QTest::mousePress(view.viewport(), Qt::RightButton, Qt::NoModifier, QPoint(300, 350));
  EXPECT_EQ(menusOpened, 1);
  EXPECT_TRUE(list.Selection().isRowSelected(0, {}));  // still what "削除" will remove
}

TEST_F(ListViewTest, DeleteOfRowsTwoThreeAndFiveLeavesOneAndFour) {
  DropFiles(5);
  QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, RowCentre(1));
  QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier, RowCentre(2));
  QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier, RowCentre(4));
  QTest::mousePress(view.viewport(), Qt::RightButton, Qt::NoModifier, RowCentre(4));
  EXPECT_EQ(menusOpened, 1);
  list.RemoveSelected();  // what the menu item's handler forwards to
  EXPECT_EQ(Names(), QStringList({QStringLiteral("row1.txt"), QStringLiteral("row4.txt")}));
  EXPECT_EQ(view.model()->rowCount(), 2);
}

TEST_F(ListViewTest, ResetEmptiesTheViewAndTheSelection) {
  DropFiles(2);
  QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, RowCentre(0));
  list.Clear();
  EXPECT_EQ(view.model()->rowCount(), 0);
  EXPECT_FALSE(list.HasSelection());
  QTest::mousePress(view.viewport(), Qt::RightButton, Qt::NoModifier, QPoint(30, 30));
  EXPECT_EQ(menusOpened, 0);
}

}  // namespace
}  // namespace morvelle
