#include "filelist/target_list.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QFile>

#include "filelist/path_parts.h"
#include "test_support.h"

namespace morvelle {
namespace {

using testing::LocalTime;
using testing::Scratch;
using testing::UrlsOf;

class TargetListTest : public ::testing::Test {
 protected:
  Scratch scratch;
  TargetList list{QColor(Qt::white)};
  QAbstractItemModelTester tester{&list.Model(),
                                  QAbstractItemModelTester::FailureReportingMode::Fatal};

  void Drop(const QStringList& paths) { list.DropData(UrlsOf(paths).get()); }
  const TargetEntry& Row(int i) const { return list.Model().Entry(i); }
  int Rows() const { return list.Model().rowCount(); }
  QStringList Names() const {
    QStringList names;
    for (const TargetEntry& e : list.Model().Entries()) names << e.FileName;
    return names;
  }
  void SelectRows(std::initializer_list<int> rows) {
    for (int row : rows) {
      list.Selection().select(list.Model().index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
  }
};

// --- name, folder and letter case ---------------------------------------------------------

TEST_F(TargetListTest, FileWithCapitalsShowsLowerCaseButIsReadAsDropped) {
  const QString path =
      scratch.File(QStringLiteral("ReadMe.TXT"), 42, LocalTime(2001, 3, 3, 9, 5, 7));
  Drop({path});
  ASSERT_EQ(Rows(), 1);
  const TargetEntry& row = Row(0);
  EXPECT_EQ(row.FileName, QStringLiteral("readme.txt"));
  EXPECT_EQ(row.DroppedName, QStringLiteral("ReadMe.TXT"));
  EXPECT_EQ(row.Folder, scratch.Path());
  EXPECT_EQ(row.SizeText, QStringLiteral("42"));
  EXPECT_EQ(row.ModifiedText, QStringLiteral("2001/3/3 9:5:7"));
  EXPECT_EQ(row.IconIndex, 2);
  const BatchTarget target = list.Model().TargetAt(0);
  EXPECT_EQ(target.sourcePath, path);
  EXPECT_EQ(target.outputPath, scratch.At(QStringLiteral("readme.txt.exp")));
  const QModelIndex name = list.Model().index(0, TargetListModel::NameColumn);
  EXPECT_EQ(name.data().toString(), QStringLiteral("readme.txt"));
  EXPECT_FALSE(name.data(Qt::DecorationRole).value<QPixmap>().isNull());
  EXPECT_EQ(list.Model().index(0, TargetListModel::FolderColumn).data().toString(), scratch.Path());
}

TEST_F(TargetListTest, FolderBecomesOneRowWithTheFolderImage) {
  const QString folder = scratch.Folder(QStringLiteral("Old"));
  QFile(folder + QStringLiteral("/inside.txt")).open(QIODevice::WriteOnly);
  Drop({folder});
  ASSERT_EQ(Rows(), 1);
  EXPECT_EQ(Row(0).FileName, QStringLiteral("old"));
  EXPECT_EQ(Row(0).Folder, scratch.Path());
  EXPECT_EQ(Row(0).SizeText, QString());
  EXPECT_EQ(Row(0).ModifiedText, QString());
  EXPECT_EQ(Row(0).IconIndex, ImageList::kFolderImage);
  EXPECT_EQ(list.Images().Count(), 1);
}

TEST_F(TargetListTest, FileInTheRootAndTheRootItself) {
  Drop({QStringLiteral("/"), QStringLiteral("/a.txt")});
  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(Row(0).FileName, QString());
  EXPECT_EQ(Row(0).Folder, QString());
  EXPECT_EQ(Row(0).IconIndex, ImageList::kFolderImage);
  EXPECT_EQ(list.Model().TargetAt(0).sourcePath, QStringLiteral("/"));
  EXPECT_EQ(Row(1).FileName, QStringLiteral("a.txt"));
  EXPECT_EQ(Row(1).Folder, QString());
  EXPECT_EQ(list.Model().TargetAt(1).sourcePath, QStringLiteral("/a.txt"));
  EXPECT_EQ(list.Model().TargetAt(1).outputPath, QStringLiteral("/a.txt.exp"));
}

TEST_F(TargetListTest, SameFileTwiceGivesTwoRowsWithTheirOwnImages) {
  const QString path = scratch.File(QStringLiteral("twice.txt"), 5);
  Drop({path, path});
  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(Row(0).FileName, Row(1).FileName);
  EXPECT_EQ(Row(0).SizeText, Row(1).SizeText);
  EXPECT_EQ(Row(0).IconIndex, 2);
  EXPECT_EQ(Row(1).IconIndex, 3);
}

TEST_F(TargetListTest, LaterDropAppendsInDropOrder) {
  Drop({scratch.File(QStringLiteral("first.txt"))});
  Drop({scratch.File(QStringLiteral("C.txt")), scratch.File(QStringLiteral("a.txt")),
        scratch.File(QStringLiteral("B.txt"))});
  EXPECT_EQ(Names(), QStringList({QStringLiteral("first.txt"), QStringLiteral("c.txt"),
                                  QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
  EXPECT_EQ(list.Model().TargetCount(), 4);
  EXPECT_EQ(list.Model().TargetAt(3).sourcePath, scratch.At(QStringLiteral("B.txt")));
}

TEST_F(TargetListTest, DataWithoutLocalFilesChangesNothing) {
  Drop({scratch.File(QStringLiteral("keep.txt"))});
  QMimeData text;
  text.setText(scratch.At(QStringLiteral("keep.txt")));
  list.DropData(&text);
  QMimeData web;
  web.setUrls({QUrl(QStringLiteral("https://example.org/x.txt"))});
  list.DropData(&web);
  list.DropData(nullptr);
  EXPECT_EQ(Rows(), 1);
  EXPECT_EQ(list.Images().Count(), 2);

  QMimeData mixed;
  mixed.setUrls({QUrl(QStringLiteral("https://example.org/x.txt")),
                 QUrl::fromLocalFile(scratch.At(QStringLiteral("keep.txt")))});
  list.DropData(&mixed);
  EXPECT_EQ(Rows(), 2);
}

TEST_F(TargetListTest, UnreadableFileKeepsNameAndFolderOnly) {
  Drop({scratch.DanglingLink(QStringLiteral("Gone.txt"))});
  ASSERT_EQ(Rows(), 1);
  EXPECT_EQ(Row(0).FileName, QStringLiteral("gone.txt"));
  EXPECT_EQ(Row(0).Folder, scratch.Path());
  EXPECT_EQ(Row(0).SizeText, QString());
  EXPECT_EQ(Row(0).ModifiedText, QString());
  EXPECT_EQ(Row(0).IconIndex, 0);
  EXPECT_FALSE(list.Model().index(0, 0).data(Qt::DecorationRole).isValid());
}

TEST_F(TargetListTest, NameThatIsNotUtf8StillAddressesItsFile) {
  const QByteArray bytes = scratch.RawFile(QByteArray("Caf\xe9.TXT"), 999);
  QMimeData data;  // what a file manager sends: the raw bytes percent-encoded
  data.setData(QStringLiteral("text/uri-list"),
               QByteArray("file://") + bytes.toPercentEncoding("/") + QByteArray("\r\n"));
  list.DropData(&data);
  ASSERT_EQ(Rows(), 1);
  EXPECT_EQ(Row(0).SizeText, QStringLiteral("999"));  // the file was found and read
  EXPECT_EQ(EncodeFileName(list.Model().TargetAt(0).sourcePath), bytes);
  EXPECT_TRUE(Row(0).FileName.startsWith(QStringLiteral("caf")));
  EXPECT_TRUE(EncodeFileName(list.Model().TargetAt(0).outputPath).endsWith("\xe9.txt.exp"));
}

// --- images ---------------------------------------------------------------------------------

TEST_F(TargetListTest, ImagesOnlyGrowAcrossDeleteAndReset) {
  Drop({scratch.File(QStringLiteral("one.txt")), scratch.File(QStringLiteral("two.txt"))});
  EXPECT_EQ(list.Images().Count(), 3);
  EXPECT_EQ(Row(0).IconIndex, 2);
  EXPECT_EQ(Row(1).IconIndex, 3);
  SelectRows({0});
  list.RemoveSelected();
  EXPECT_EQ(Row(0).IconIndex, 3);
  EXPECT_FALSE(list.Images().At(3).isNull());
  list.Clear();
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(list.Images().Count(), 3);
  Drop({scratch.File(QStringLiteral("three.txt"))});
  EXPECT_EQ(Row(0).IconIndex, 4);
}

// --- delete, reset and the pop-up menu ----------------------------------------------------

TEST_F(TargetListTest, DeleteRemovesSelectedRowsAndKeepsTheOrder) {
  for (const char* name : {"r1", "r2", "r3", "r4", "r5"}) {
    Drop({scratch.File(QString::fromLatin1(name))});
  }
  SelectRows({1, 2, 4});
  list.RemoveSelected();
  EXPECT_EQ(Names(), QStringList({QStringLiteral("r1"), QStringLiteral("r4")}));
  EXPECT_FALSE(list.HasSelection());
  list.RemoveSelected();  // nothing selected: nothing removed
  EXPECT_EQ(Rows(), 2);
}

TEST_F(TargetListTest, DeleteAfterSelectingSingleCells) {
  for (const char* name : {"r1", "r2", "r3"}) Drop({scratch.File(QString::fromLatin1(name))});
  list.Selection().select(list.Model().index(1, TargetListModel::FolderColumn),
                          QItemSelectionModel::Select);
  list.RemoveSelected();
  EXPECT_EQ(Names(), QStringList({QStringLiteral("r1"), QStringLiteral("r3")}));
}

TEST_F(TargetListTest, ResetOfAnEmptyListDoesNothing) {
  list.Clear();
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(list.Images().Count(), 1);
}

TEST_F(TargetListTest, PopupMenuWantsARightPressAndASelection) {
  Drop({scratch.File(QStringLiteral("x.txt"))});
  EXPECT_FALSE(list.WantsPopupMenu(2));
  SelectRows({0});
  EXPECT_TRUE(list.WantsPopupMenu(2));
  EXPECT_FALSE(list.WantsPopupMenu(1));
  EXPECT_FALSE(list.WantsPopupMenu(4));
}

// --- the model as views see it --------------------------------------------------------------

TEST(TargetListModelShape, HeadersWidthsAndFlags) {
  ImageList images{QPixmap()};
  TargetListModel model(&images);
  const char* headers[] = {"ﾌｧｲﾙ名", "ｻｲｽﾞ", "更新日", "ﾊﾟｽ"};
  const int widths[] = {113, 67, 67, 333};
  ASSERT_EQ(model.columnCount(), 4);
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
              QString::fromUtf8(headers[c]));
    EXPECT_EQ(model.headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignLeft | Qt::AlignVCenter);
    EXPECT_EQ(TargetListModel::DesignWidth(c), widths[c]);
  }
  model.Append({TargetEntry{QStringLiteral("a"), QStringLiteral("1,000"), {}, {}, 0, {}}});
  const QModelIndex size = model.index(0, TargetListModel::SizeColumn);
  EXPECT_EQ(size.data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
            Qt::AlignLeft);
  EXPECT_FALSE(model.flags(size) & Qt::ItemIsEditable);
  EXPECT_FALSE(model.flags(size) & Qt::ItemIsDragEnabled);
  EXPECT_TRUE(model.flags(size) & Qt::ItemIsSelectable);
}

}  // namespace
}  // namespace morvelle
